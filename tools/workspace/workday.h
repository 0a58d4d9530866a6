#pragma once

#include "basic/validity.h"
#include "correction.h"
#include "daybatches.h"
#include "store/dailycolumns.h"
#include "store/pendingwrites.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace tallic::workspace {

// What the editor takes from the club's configuration.
struct EditorSettings
{
    QString clubName;
    int validityMode = 0;
    int editorLevel = 0; // the lowest access level that may correct chits
    qint32 arYear = 0; // the open A/R month, which a batch may be moved within
    int arMonth = 0;
    ChargeSettings charges;
};

// A day's chits as the workspace editor reads them from ardaily, and its changes to them.
// Every statement goes through the suite's database layer.
class Workday
{
public:
    // The user named in the activity log.
    explicit Workday(const QString &user = QString());

    // Reads the settings and the chits of the date (yyyymmdd); false with problem() when
    // they cannot be read, and then no rows. The workstation's writes that the server left
    // untold are looked up first: takeResolutions() gives the operator's lines of those
    // settled, once.
    bool load(qint32 date);
    QStringList takeResolutions();
    QString problem() const { return problem_; }

    qint32 date() const { return date_; }
    const EditorSettings &settings() const { return settings_; }
    const QStringList &columns() const { return columns_; }
    const QList<DayRow> &rows() const { return rows_; }
    const QList<Batch> &batches() const { return batches_; }

    // The correction of one amount of a row, with the account's rates and the member's
    // record read now. Nothing is written.
    Correction propose(int row, AmountColumn column, Cents typed, bool adjustmentCharges);

    // A change is one transaction, and only of the row as it was read, every column alike:
    // a row another workstation changed or deleted meanwhile is refused, never touched, even
    // where the engine has given its place to a new row. Each change is written to the
    // activity log with the row before and after; one that cannot be logged is not made.
    // A change the server left untold (Unknown) is noted on the disk and looked up when the
    // chits are read again.
    enum class Change { Done, ChangedMeanwhile, NotLogged, Failed, Unknown };
    Change correct(int row, const Amounts &after);
    Change deleteRow(int row);
    // A batch as a whole, every row of the day with its start stamp, in one transaction of
    // the same changes: refused, and nothing changed, when any of its rows changed meanwhile
    // or another workstation added one to it on the day.
    Change deleteBatch(const QString &origin);
    Change moveBatch(const QString &origin, qint32 toDate);

    // Writes the proof of every batch of the date, as the database holds it now, as a PDF
    // file; false with problem() when it cannot.
    bool printProof(const QString &path);

private:
    // One row's change: the statement's action, its values, the row after (none for a
    // deletion), and what the activity log says was done.
    struct RowChange
    {
        int row;
        QString action;
        QVariantList values;
        QVariantList after;
        QString done;
    };
    bool readSettings();
    bool readRows(qint32 date, QStringList &columns, QList<DayRow> &rows);
    Change change(int row, const QString &action, const QVariantList &values,
                  const QVariantList &after);
    QList<int> rowsOfBatch(const QString &origin) const;
    QString asRead(const RowChange &change, QVariantList &bound) const;
    // The changes, each logged; with a batch, none of its rows left on the day.
    Result<void> writeChanges(SuiteDb &daily, const QList<RowChange> &changes, const QString &batch,
                              Change &refused) const;
    Change changeRows(const QList<RowChange> &changes, const QString &description,
                      const QString &what, const QString &batch);
    PendingWrite pendingChange(const DayRow &before, bool deletion, const QString &key,
                               const ServerSession &session) const;
    // The activity log names the editor's user and place.
    void useLogIdentity() const;

    QString user_;
    qint32 date_ = 0;
    QString problem_;
    EditorSettings settings_;
    QStringList columns_;
    QList<DayRow> rows_;
    QList<Batch> batches_;
    QStringList resolutions_;
};

} // namespace tallic::workspace

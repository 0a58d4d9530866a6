#pragma once

#include "basic/validity.h"

#include <QList>
#include <QSqlQueryModel>
#include <QStandardItemModel>
#include <QString>
#include <QWidget>

class QTableView;

namespace tallic::workspace {

// One batch of a day: its chits are the rows that share the batch's origin stamp.
struct Batch
{
    QString origin;
    int chits = 0;
    double total = 0;
    ValidityTotals validity;
};

// A day's chits as the workspace editor reads them from ardaily, batch by batch.
class Workday
{
public:
    Workday();
    ~Workday();
    Workday(const Workday &) = delete;
    Workday &operator=(const Workday &) = delete;

    // Reads the chits of the date (yyyymmdd) from daily.mdb and the validity mode from
    // config.mdb in the working folder; false with problem() when they cannot be read.
    bool load(qint32 date);
    QString problem() const { return problem_; }

    qint32 date() const { return date_; }
    int validityMode() const { return validityMode_; }
    // The columns of the day's rows, in batch order: origin, chit, account, member,
    // employee, base sale, service charge, tax, total, memo.
    QSqlQueryModel *rows() { return &rows_; }
    const QList<Batch> &batches() const { return batches_; }

    // Writes the proof of every batch, a page each, as a PDF file; false when it cannot.
    bool printProof(const QString &path) const;

    // A correction is one transaction, and only of the row as it was read: a row another
    // workstation changed or deleted meanwhile is refused, never overwritten.
    enum class Change { Done, ChangedMeanwhile, Failed };
    // Sets the base sale, service charge or tax (columns 5 to 7) of a row, and its total.
    Change correctAmount(int row, int column, double value);
    Change deleteRow(int row);

private:
    QString connection_; // prefix of this day's connection names
    qint32 date_ = 0;
    int validityMode_ = 0;
    QString problem_;
    Change change(const QString &action, int row, const QVariantList &values);
    QSqlQueryModel rows_;
    QList<Batch> batches_;
};

// The editor's window: the day's chits and the batches' totals, and Print proof.
class WorkspaceWindow : public QWidget
{
    Q_OBJECT

public:
    explicit WorkspaceWindow(Workday &day, QWidget *parent = nullptr);

private:
    void printProof();
    void correct(const QModelIndex &index);
    void deleteChit();
    void reload();
    bool confirm(const QString &question);
    void showOutcome(Workday::Change outcome);

    Workday &day_;
    QStandardItemModel batches_;
    QTableView *rowsView_ = nullptr;
};

} // namespace tallic::workspace

#pragma once

#include "clubdb.h"
#include "console.h"
#include "target.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace tallic::club {

// Where a whole club is read from: old Jet files or a data folder.
class ClubSource
{
public:
    virtual ~ClubSource() = default;
    // The suite's file names it holds ("daily.mdb"), and what it calls them.
    virtual QStringList databases() const = 0;
    virtual QString origin(const QString &file) const = 0;
    virtual Result<QList<TableDef>> tables(const QString &file) = 0;
    // Every row, total set to the rows the table holds before the first batch; the figures
    // of the table as the source holds it.
    virtual Result<Figures> readRows(const QString &file, const TableDef &table, qint64 &total,
                                     const RowSink &sink)
        = 0;
    // The same, where the source gives them so, faster than as Qt's values: as plain values
    // for a database file, or as the text of a server's copy, whose figures are then
    // figures()'s (asked for while the server builds the table's indexes). Nothing (and
    // nothing read) where it does not.
    virtual std::optional<Result<Figures>> readAsPlainRows(const QString &, const TableDef &,
                                                           qint64 &, const PlainSink &)
    {
        return std::nullopt;
    }
    virtual std::optional<Result<void>> readAsCopyText(const QString &, const TableDef &, qint64 &,
                                                       const TextSink &)
    {
        return std::nullopt;
    }
    virtual Result<Figures> figures(const QString &file, const TableDef &table) = 0;
};

// The Jet files of a folder under the suite's names, whatever their letter case.
Result<std::unique_ptr<ClubSource>> jetFolder(const QString &folder);
// A data folder's databases, read in one transaction that sees one moment of them.
Result<std::unique_ptr<ClubSource>> dataFolder(const DataSource &source);

struct TableReport
{
    QString file;
    TableDef table;
    Figures source, target;
    QStringList differences;
};

// What a copy wrote and how each table compared with its source.
struct Report
{
    QString title;
    QList<TableReport> tables;
    QStringList warnings;

    QString text() const;
    bool agrees() const;
};

// Writes every table of the source into the target begun, checks each against the source
// and says what the program will miss; the reason of the first failure.
Result<void> transferClub(ClubSource &source, ClubTarget &target, Console &console, Report &report);

// Begins the target, writes every table of the source into it and commits: the whole club
// or nothing.
Result<void> writeClub(ClubSource &source, ClubTarget &target, bool replace, Console &console,
                       Report &report);

// What the program reads that the database's tables lack, each with what it breaks.
QStringList missingForProgram(const QString &file, const QList<TableDef> &tables);
// What the operator loses without the database.
QString whatItBreaks(const QString &file);

} // namespace tallic::club

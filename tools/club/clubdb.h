#pragma once

#include "clubrows.h"
#include "store/datasource.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>

namespace tallic::club {

// What a copy is verified by: the rows, and for each column the sum of its numbers or
// the total length of its texts (characters) and blobs (bytes); for a column of numbers
// also the sum of their cents, exact, so that an amount a cent off is found in any sum.
struct Figures
{
    qint64 rows = 0;
    QList<double> columns;
    QList<qint64> cents;

    void add(const QVariantList &row);
};

// The differences between two tables' figures, one line each; none when they agree.
QStringList compareFigures(const TableDef &table, const Figures &source, const Figures &target);

// The schema names of the suite databases the data folder holds (files found whatever
// their letter case, or schemas on its server); the reason when that cannot be told.
Result<QStringList> suiteDatabasesIn(const DataSource &source);

// One connection to a data folder's databases, each under its schema name ("daily"), so
// that one transaction spans them all: attached files, or the schemas of the server's
// database.
class ClubDb
{
public:
    ClubDb();
    ~ClubDb();
    ClubDb(const ClubDb &) = delete;
    ClubDb &operator=(const ClubDb &) = delete;

    // The folder's files by their suite names ("daily.mdb"), which must be there.
    Result<void> openFiles(const QString &folder, const QStringList &files, Access access);
    Result<void> openServer(const DataSource &source);
    // Attaches one more file of the folder, under the database's schema name.
    Result<void> attach(const QString &path, const QString &file);
    void close();

    bool onServer() const { return onServer_; }
    QSqlDatabase &db() { return db_; }
    // "daily"."ardaily"; names in lower case on a server.
    QString table(const QString &file, const QString &table) const;
    QString column(const QString &name) const;
    // The table's columns as a statement lists them, in their order.
    QString columnList(const TableDef &table) const;

    Result<void> exec(const QString &sql);
    Result<void> exec(const QStringList &statements);

    // The tables of a database and their columns, in the database's order.
    Result<QList<TableDef>> tables(const QString &file);
    // Every row of the table, in batches.
    Result<void> readRows(const QString &file, const TableDef &table, const RowSink &sink);
    // Whether a server's table comes whole through its copy, as readPlainRows() reads it.
    bool copiesRows(const TableDef &table) const;
    Result<void> readPlainRows(const QString &file, const TableDef &table, const PlainSink &sink);
    // Every row of a table of the files, as the text of a server's copy.
    Result<void> readRowsAsCopyText(const QString &file, const TableDef &table,
                                    const TextSink &sink);
    Result<Figures> figures(const QString &file, const TableDef &table);
    // A new table of those columns; once its rows are in, its key and the suite's indexes
    // on it when the table is one the program reads (built once, not row by row).
    Result<void> createTable(const QString &file, const TableDef &table);
    Result<void> addIndexes(const QString &file, const TableDef &table);
    QStringList indexStatements(const QString &file, const TableDef &table) const;
    Result<void> insertRows(const QString &file, const TableDef &table, const Rows &rows);
    // Into a table of the files.
    Result<void> insertRows(const QString &file, const TableDef &table, const PlainRows &rows);
    // The count of rows.
    Result<qint64> count(const QString &file, const QString &table);

private:
    // Every row through the server's copy, each line to take.
    Result<void> copyRows(const QString &file, const TableDef &table,
                          const std::function<Result<void>(QByteArrayView line)> &take);

    QString connection_;
    QSqlDatabase db_;
    bool onServer_ = false;
};

} // namespace tallic::club

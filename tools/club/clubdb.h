#pragma once

#include "suite/datasource.h"
#include "suite/schema.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>

namespace tallic::club {

// A table as it is found in a data folder or an old file: its columns in their order.
struct ColumnDef
{
    QString name;
    ColumnKind kind = ColumnKind::Text;
};

struct TableDef
{
    QString name;
    QList<ColumnDef> columns;
    QString key; // the primary key's column, when the table has one of a single column
};

using Rows = QList<QVariantList>;
// Takes a batch of rows; false with the reason stops the reading.
using RowSink = std::function<bool(const Rows &rows, QString &problem)>;

// What a copy is verified by: the rows, and for each column the sum of its numbers or
// the total length of its texts (characters) and blobs (bytes).
struct Figures
{
    qint64 rows = 0;
    QList<double> columns;

    void add(const QVariantList &row);
};

// The differences between two tables' figures, one line each; none when they agree.
QStringList compareFigures(const TableDef &table, const Figures &source, const Figures &target);

// The schema names of the suite databases the data folder holds (files found whatever
// their letter case, or schemas on its server); problem says why that cannot be told.
QStringList suiteDatabasesIn(const DataSource &source, QString &problem);

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
    bool openFiles(const QString &folder, const QStringList &files, Access access,
                   QString &problem);
    bool openServer(const DataSource &source, QString &problem);
    // Attaches one more file of the folder, under the database's schema name.
    bool attach(const QString &path, const QString &file, QString &problem);
    void close();

    bool onServer() const { return onServer_; }
    QSqlDatabase &db() { return db_; }
    // "daily"."ardaily"; names in lower case on a server.
    QString table(const QString &file, const QString &table) const;
    QString column(const QString &name) const;

    bool exec(const QString &sql, QString &problem);
    bool exec(const QStringList &statements, QString &problem);

    // The tables of a database and their columns, in the database's order.
    QList<TableDef> tables(const QString &file, QString &problem);
    // Every row of the table, in batches.
    bool readRows(const QString &file, const TableDef &table, const RowSink &sink,
                  QString &problem);
    bool figures(const QString &file, const TableDef &table, Figures &figures, QString &problem);
    // A new table of those columns; once its rows are in, its key and the suite's indexes
    // on it when the table is one the program reads (built once, not row by row).
    bool createTable(const QString &file, const TableDef &table, QString &problem);
    bool addIndexes(const QString &file, const TableDef &table, QString &problem);
    bool insertRows(const QString &file, const TableDef &table, const Rows &rows, QString &problem);
    // The count of rows, -1 with the reason on failure.
    qint64 count(const QString &file, const QString &table, QString &problem);

private:
    QString connection_;
    QSqlDatabase db_;
    bool onServer_ = false;
};

} // namespace tallic::club

#pragma once

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include "basic/result.h"

namespace tallic {

// The one description of the suite's databases: every table and column that the program
// and its companions read, each table in its column order (rows are read by position).

// The layout the program reads. A folder's files (SQLite's user_version) or its server (the
// table tallic.schema_version) say which layout they were written in; 0 is a folder written
// before layouts were counted. Layout 2 added the table of write keys to the daily database,
// layout 3 the index of ardaily's chit numbers as they are compared.
constexpr int SuiteSchemaVersion = 3;

enum class ColumnKind {
    Integer,
    Real,
    Text,
    Currency, // four decimals, exact on a server
    Blob,
};

// An index on an expression of a table's columns, for the statements that compare by it.
struct SuiteIndex
{
    QString name;
    QString column; // the column it reads
    QString expression; // written alike for both engines
};

struct SuiteColumn
{
    QString name;
    ColumnKind kind = ColumnKind::Text;
};

struct SuiteTable
{
    QString name;
    QList<SuiteColumn> columns;
    QString key; // unique and not null; every other column may be Null
    QStringList indexed; // other columns that statements look rows up by
    // The columns statements name; the program reads the first `positions` columns by
    // position besides, whatever their names.
    QStringList named;
    int positions = 0;
    // On SQLite the rows are kept in the key's own order, in one tree rather than two: a
    // table that is only ever looked up by its key.
    bool keyedRows = false;
    QList<SuiteIndex> expressions = {};
};

struct SuiteDatabase
{
    QString file; // "daily.mdb"
    QList<SuiteTable> tables;
};

// The eight databases, in the suite's order.
const QList<SuiteDatabase> &suiteDatabases();
// The definition of a database by its file or schema name ("DAILY.MDB", "daily"); null
// when it is not one of the suite's.
const SuiteDatabase *suiteDatabase(const QString &name);

// The column's type on SQLite or on a server.
QString columnType(ColumnKind kind, bool onServer);
// The kind of a column by the type it was declared with, in a file, on a server or in the
// suite's old files ("INTEGER", "double precision", "numeric(19,4)"): text when unknown.
ColumnKind columnKindOf(const QString &declaredType);
// Whether a server's type is one whose text form reads back exactly as the kind
// columnKindOf() gives it.
bool exactServerType(const QString &type);

// The tables a database has: their names, in lower case, to their columns' names, in lower
// case and in order.
using TableColumns = QHash<QString, QStringList>;
// Where a database falls short of one table the program reads.
struct TableGap
{
    const SuiteTable *table = nullptr;
    bool missing = false; // the table itself is not there
    QStringList columns; // the columns statements name that it lacks, in the order named
    qsizetype has = 0; // how many columns it has
};
// The tables of the database that lack something the program reads; tables that lack
// nothing are left out.
QList<TableGap> gapsForProgram(const SuiteDatabase &definition, const TableColumns &tables);
// The statements that make the table and its indexes, in the schema given (an attached
// file's name on SQLite).
QStringList tableStatements(const SuiteTable &table, bool onServer,
                            const QString &schema = QString());
// The statements that make the table's expression indexes where it lacks them.
QStringList expressionIndexStatements(const SuiteTable &table, bool onServer,
                                      const QString &schema = QString());
// A name in double quotes. On a server in lower case, where the program's statements,
// which name columns without quotes, find it.
QString quotedName(const QString &name, bool onServer);

// Makes a complete database file at the path from the definition, with the layout's
// version; the reason when it cannot (which may be empty, for a file left unfinished). An
// existing file there is replaced.
Result<void> createSuiteFile(const QString &path, const SuiteDatabase &definition);

// Runs the statements in turn, up to the first that fails: that statement and the
// database's reason.
Result<void> runStatements(QSqlDatabase &db, const QStringList &statements);

// Sets a connection to a new or rewritten file up for bulk writing: nothing waits for the
// disk until the file is closed (it is made under a temporary name and synced once).
void prepareForBulkWrite(QSqlDatabase &db);

// The statements that make the database's schema on a server, case-blind text found in
// textSchema; the caller runs them in its own transaction.
QStringList schemaStatements(const SuiteDatabase &definition, const QString &textSchema);
// The statements that make the version table on a server, and set it.
QStringList versionStatements(int version);
// The schema that holds case-blind text (citext) on the connection's server, the extension
// added to the database when it lacks it; the reason on failure.
Result<QString> textSchemaOf(QSqlDatabase &db);

// Creates, in the folder, every suite database that is missing there (whatever the letter
// case of an existing file's name), with its tables and indexes; existing files are left
// as they are. When the folder's tallic.ini names a server, the databases are schemas
// there, made the same way. Returns the files it made.
QStringList createSuiteDatabases(const QString &folder);

// The path of a file of that name in the folder, matched without regard to letter case;
// the empty string when there is none.
QString findSuiteFile(const QString &folder, const QString &fileName);

// The suite databases (by file name) whose schemas the connection's server holds; the
// reason when the server cannot be asked.
Result<QStringList> suiteSchemasOn(QSqlDatabase &db);

// Removes an SQLite file's log companions (-wal, -shm, -journal), the file itself left.
void removeCompanions(const QString &path);
// Removes the file and its log companions.
void removeWithCompanions(const QString &path);

} // namespace tallic

#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include "basic/result.h"

namespace tallic {

// Where a data folder keeps the suite's databases, and what differs between the two
// engines that can hold them. Without a settings file they are SQLite files in the folder
// ("daily.mdb"). A tallic.ini in the folder can name a PostgreSQL server instead, where
// each suite database is a schema ("daily", "config", ...) of one database:
//
//     [database]
//     driver=postgres
//     host=ledger.club.lan
//     port=5432
//     database=tallic
//     user=office
//     sslmode=verify-full
//     sslrootcert=club-ca.crt
//
// The password never lies in the folder: libpq takes it from PGPASSWORD or a pgpass file.
// sslmode is libpq's (verify-full checks the server's certificate and name against
// sslrootcert, a file of the folder or a full path). A primary with a standby is named as
// libpq names several servers: host=ledger1,ledger2 with one port for both or one each
// (port=5432,5433), and target_session_attrs=read-write to reach whichever of them takes
// writes; each server's certificate is checked against its own name.
// Everything else in the program is written once, for both engines: statements pass
// through serverStatement() on the way to a server, and failures are told in the suite's
// numbers either way.
struct DataSource
{
    enum class Engine { Files, Server };

    Engine engine = Engine::Files;
    QString folder; // absolute
    QStringList hosts; // tried in order; empty: libpq's default
    QList<int> ports; // one for every host, or one each; empty: libpq's default
    QString database;
    QString user; // empty: libpq's default
    QString sslMode; // empty: libpq's default
    QString targetSessionAttrs; // libpq's; empty: its default (any)
    QString sslRootCert; // absolute; empty: libpq's default
    // Why the settings file cannot be used; the suite's databases count as missing then.
    QString problem;
    // Named by a settings file in the folder, rather than by its absence.
    bool fromSettings = false;

    bool onServer() const { return engine == Engine::Server; }
    // The folder, or the server and database named: connections made for another
    // identity are not to be used for this one.
    QString identity() const;
};

// The source of the folder's databases, as its settings file names it.
DataSource dataSourceOf(const QString &folder);
// The source of the working folder's databases.
DataSource currentDataSource();

// The schema that holds a suite database on a server: "DAILY.MDB" and "daily" are "daily".
QString schemaOf(const QString &fileName);

enum class Access { ReadWrite, ReadOnly };

// Adds a connection under the name to one suite database and opens it, set up as the
// program's own connections are: on a server its search path is the database's schema, on
// files the Jet functions ucase$() and fix() are there. On failure the connection is not
// open and error says why in the suite's terms: a database that is not there, a settings
// file that cannot be used and a server out of reach are all FileNotFound, the last two
// with the reason in the error's driverText(). The caller removes the name after its last
// use.
QSqlDatabase openSuiteDatabase(const QString &connectionName, const DataSource &source,
                               const QString &fileName, Access access, QSqlError &error);

// Adds a connection under the name to the named suite files of the folder, each attached
// under its schema name ("daily.ardaily"), set up as openSuiteDatabase() sets a file up:
// one transaction then spans them all. Another workstation's lock is waited for as long as
// the program's statements wait, or lockWaitMs when it is given. On failure the connection
// is not open.
QSqlDatabase openSuiteFiles(const QString &connectionName, const QString &folder,
                            const QStringList &fileNames, Access access, QSqlError &error,
                            int lockWaitMs = -1);

// Adds a connection under the name to the server's database itself, in no schema, and
// opens it; the reason when it cannot. For setting the schemas up. The caller removes the
// name after its last use, whether the connection opened or not.
Result<QSqlDatabase> openServerDatabase(const QString &connectionName, const DataSource &source);

// Opens again a server connection that openSuiteDatabase() made, and sets it up as then.
bool openOnServer(QSqlDatabase &db, const QString &fileName, Access access, QSqlError &error);

// The same for the program's own connections, which go through libpq directly: the libpq
// connection string of the source, the statement that sets a new session up for the suite
// database (its columns: two settings, whether the schema is there, whether text is read
// literally), and what its answer means: no error when the session can be used.
QString connectionString(const DataSource &source);
QString sessionSetup(const QString &fileName, Access access);
QSqlError sessionProblem(const QString &fileName, bool schemaThere, bool literalText);
// What libpq said when it could not connect, a line for each server it tried.
QString connectFailureText(const QString &message);

// The failure of a suite database that is not there; the reason, when there is one beyond
// the database's absence (a server out of reach), in driverText().
QSqlError missingDatabase(const QString &fileName, const QString &reason = QString());

// The statement as a server takes it: rowid is the row's locator there (ctid), and a name
// in brackets is a quoted name. Text between quotes is left alone.
QString serverStatement(const QString &sql);
// A server's statement with each ? outside quotes numbered ($1, $2, ...), as the server
// takes the values bound to it.
QString numberedParameters(const QString &statement);

// A server that cannot be reached, with why: a missing database with the reason.
QSqlError serverOutOfReach(const QString &fileName, const QString &why);
// Whether an open failed because the server could not be reached at all (it may be
// restarting), rather than because it refused.
bool isServerOutOfReach(const QSqlError &error);

// How long a statement waits for another workstation's lock, in milliseconds, and a
// database server for its restart; the window repaints meanwhile. Returns the limit it
// replaces (tests shorten the wait).
int setLockWaitLimit(int ms);
int lockWaitLimit();

// The text as a literal of a statement the program writes itself, alike for both engines:
// between apostrophes, its apostrophes doubled, a backslash as itself (a server connection
// is used only when it reads literals so). A NUL character, which neither engine keeps in
// a statement's text, is left out. Where the program builds a statement around a value
// typed or read, it binds the value instead.
QString sqlLiteral(const QString &text);

// How long a server lets one of the program's statements run, given the lock wait
// (above): a little longer, so that a lock is told as a lock.
constexpr int statementTimeout(int lockWait)
{
    return lockWait + qMax(lockWait / 5, 500);
}
// How long the program waits for a server's answer; past it the server is taken for gone
// (a pulled network cable), whatever the network stack thinks.
constexpr int answerTimeout(int lockWait)
{
    return lockWait + qMax(lockWait / 2, 1000);
}

} // namespace tallic

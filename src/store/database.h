#pragma once

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include "basic/result.h"
#include "datasource.h"
#include "dberrors.h"
#include "serversteps.h"

#include <functional>
#include <memory>

namespace tallic {

// The suite's databases are SQLite files in the working folder under the suite's names
// ("DAILY.MDB"), found whatever the letter case on disk, or the schemas of a PostgreSQL
// database that the folder's tallic.ini names (datasource.h). Each database has one
// connection kept for the whole run, opened and set up on first use: opening one costs
// more than a post, and on a server it is a process of its own. Between calls it holds no
// lock and no transaction, so other workstations see each write as soon as it is
// committed; a file deleted, replaced or made read-only since is opened afresh, a server
// connection lost to a restart is opened again, and a missing database is reported
// missing.

// One row of a statement's result, as DbRead gives it: the columns by position.
struct DbRow
{
    // False when the statement gave no row: the values are then all empty, one for every
    // column of the result.
    bool found = false;
    QVariantList values; // a Null column as the integer 0
    QList<bool> nulls; // which positions were Null in the database

    // Past the last column too: a Null, the empty text, 0.
    bool isNull(int position) const;
    QString text(int position) const;
    // A number is read as the number it is, a text by its leading number.
    double number(int position) const;
};

// The first row of the statement's result. A missing database is told to the operator
// (the failure is then shown); any other failure is the caller's to report. The name is
// upper-cased and ".MDB" appended in the caller's variable. An empty name or statement
// reads nothing: no row, no columns.
Result<DbRow> DbRead(QString &dbName, const QString &statement);

// A condition in a statement's where clause ("exists (select ...)"), its ? bound by position
// to the values. On a server, writes guarded by conditions of the same name take their turns:
// a condition sees no row that another transaction has yet to commit.
struct SqlCondition
{
    QString sql;
    QVariantList values;
    QString name;
};

// Writes the row's values back to the first row of the statement ("select * from T" or
// "select * from T where ..."), or as a new row while AddNewMode is on (DbAddNewOn); the
// statement's ? are bound by position to the values. Empty and null elements leave their
// columns alone. A new row with a condition is added only where the condition holds, in the
// same statement. A failure while the values are written ends the routine quietly
// (Failure::quiet): nothing is saved, and the caller decides whether to tell.
Result<void> DbWrite(QString &dbName, const QString &statement, const QVariantList &row,
                     const QVariantList &values = {}, const SqlCondition &addedOnlyIf = {});

void DbAddNewOn();
void DbAddNewOff();

// Closes every connection still open, kept ones included, whatever its owner is doing;
// failures are ignored. The next use opens the file again.
void DbCloseAll();

// The engine's idle call with the free-locks option: lets pending events run. A kept
// connection holds no lock between calls, so there is nothing else to free.
void DbFreeLocks();

// While one lives, every wait for a server within it ends by the time given, counted from
// its making: an operation of several statements is told within that time in all. One made
// inside another changes nothing.
class ServerDeadline
{
public:
    explicit ServerDeadline(int ms);
    ~ServerDeadline();
    ServerDeadline(const ServerDeadline &) = delete;
    ServerDeadline &operator=(const ServerDeadline &) = delete;

    // Milliseconds left of the one in force; -1 when none is.
    static qint64 remaining();

private:
    bool outer_ = false;
};

// What the windows show while a server keeps them waiting longer than a moment: called
// with true once a wait has lasted WaitNoticeMs, with false when it ends.
constexpr int WaitNoticeMs = 2000;
void setServerWaitNotice(std::function<void(bool waiting)> notice);

// A use of one suite database's kept connection, let go when the object goes. Statements
// are written once for both engines and may call the Jet functions ucase$() and fix(); a
// lock held by another workstation is waited for, with the window repainting. Inside a
// transaction a failed statement is undone alone, as SQLite does, and the transaction goes
// on. When the last user lets go, a statement left unfinished is reset and an open
// transaction rolled back, as closing the file would.
//
// On a server every statement runs on the connection's own thread while the window
// repaints, and one that gets no answer within the lock wait and a few seconds more fails:
// the server is taken for gone. A read is run again on a new connection when the old one
// was lost (a restart is waited for); a write never is. A write outside a transaction runs
// in one of its own. A transaction whose connection is lost before its COMMIT is sent is
// not stored; a COMMIT whose answer is lost fails as OutcomeUnknown: only a key written in
// the same transaction can tell later what became of it (writekeys.h).
//
// Every operation answers with a Result, its failure in the suite's terms (dbFailure):
//
//     SuiteDb db(u"gl.mdb"_s);
//     Result<QSqlQuery> q = db.query(sql);
//     if (!q) return q.failure();
//     if (q->next()) ...
//
// Queries are forward-only. They stop working once the last user lets go or DbCloseAll
// runs, so declare them after the SuiteDb they run on.
class SuiteDb
{
public:
    // The bare file name. Nothing is opened before open() or the first statement.
    explicit SuiteDb(const QString &fileName);
    ~SuiteDb();
    SuiteDb(const SuiteDb &) = delete;
    SuiteDb &operator=(const SuiteDb &) = delete;

    // Takes the database's kept connection, opened when there is none. A missing database
    // (or a server out of reach) is a failure numbered FileNotFound, never a new database;
    // once closed, the object's database is ObjectClosed. A statement run first opens it
    // so, and fails with the same failure.
    Result<void> open();
    bool isOpen() const;
    QString fileName() const { return fileName_; }
    // The statement run, its ? bound by position to the values. Text holding a NUL
    // character is refused.
    Result<QSqlQuery> query(const QString &sql);
    Result<QSqlQuery> query(const QString &sql, const QVariantList &values);
    // The same for a statement that gives no rows: how many rows it changed. One that
    // repeats is prepared once for the connection's life where that pays.
    Result<int> execPrepared(const QString &sql, const QVariantList &values);
    // The column names and the first row (empty when none) of a read. A file keeps the
    // statement for the connection's life, as execPrepared() does.
    struct FirstRow
    {
        QStringList names;
        QVariantList values;
    };
    Result<FirstRow> firstRow(const QString &sql, const QVariantList &values);
    Result<void> exec(const QString &sql);
    // How a transaction's writes go: each answered as it is made; or, where nothing needs
    // their answers before the COMMIT, with it. On files the write lock is then taken just
    // before the first execPrepared() (the reads before it see the file as it is then, and
    // the lock is held for the writes alone); on a server the writes are sent with the
    // COMMIT, in one round trip, and execPrepared() answers -1 rows meanwhile (a read among
    // them sends those kept so far first).
    enum class Writes { Answered, WithCommit };
    Result<void> transaction(Writes writes = Writes::Answered);
    // The names of the table's columns, in order: read once for the connection's life.
    Result<QStringList> columnsOf(const QString &table);
    Result<void> commit();
    // The same, and how many rows the transaction's write of that index (0 for its first
    // execPrepared()) changed, where the writes went with the COMMIT to a server; -1 where
    // each write was answered as it was made.
    Result<int> commitCounting(int write);
    Result<void> rollback();
    // Lets go of the connection, which stays kept for the next user; this object runs no
    // statement after it.
    void close();

    // On a server, after a COMMIT failed as OutcomeUnknown: the server's session that held
    // the transaction. Null on files, and when no COMMIT went unanswered.
    ServerSession lostSession() const;

    // The kept connection of one database, shared by its users.
    struct Kept;

private:
    // The last failure of the open or of a statement, kept while an operation runs and
    // handed out in its Result.
    bool failed() const { return error_.isValid(); }
    Failure failure() const { return dbFailure(error_, fileName_); }
    // Nothing when the step was done, else the failure it kept.
    Result<void> outcome(bool done) const;
    QSqlQuery newQuery() const;
    bool usable();
    // Usable, and the values such as a statement may carry; else the failure is kept.
    bool readyFor(const QVariantList &values);
    QSqlQuery run(const QString &sql, const QVariantList &values);
    bool runExec(const QString &sql);
    bool endTransaction(bool commit, int countedWrite = -1);
    bool beginOnFile();
    // On a server (serverdb.cpp).
    QSqlQuery serverRun(const QString &sql, const QVariantList &values);
    bool serverCall(const QList<ServerStep> &steps, int resultStep, const QString &undo, bool again,
                    ServerReply &reply);
    bool serverConnected(const QElapsedTimer &clock);
    bool serverSend(const QList<ServerStep> &steps, int resultStep, const QString &undo,
                    const QElapsedTimer &clock, ServerReply &reply);
    bool serverBegin();
    bool serverEnd(bool commit, int countedWrite = -1);
    bool serverCommit(const QElapsedTimer &clock);
    bool serverCommitWrites(const QElapsedTimer &clock, int resultStep = -1);
    bool sendKeptWrites();
    int answerWait(const QElapsedTimer &clock) const;

    std::shared_ptr<Kept> kept_;
    QString fileName_;
    QSqlError error_;
    int rowsAffected_ = -1;
    bool tried_ = false; // the open has been tried
    bool wasOpen_ = false;
};

// The engine object by the name some routines use.
using SuiteConnection = SuiteDb;

} // namespace tallic

#pragma once

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

namespace tallic {

// The suite's databases are SQLite files in the working folder under the suite's names
// ("DAILY.MDB"), found whatever the letter case on disk. Nothing is kept open between
// calls: each routine opens, uses and closes its own connection.

// The suite's numbers for database failures, those of the engine it was first built on.
// Any other failure of SQLite is Generic + its primary result code.
namespace JetError {
constexpr qint32 Generic = 3000;
constexpr qint32 CannotWriteThrough = 3001;
constexpr qint32 ReadOnly = 3008; // Generic + SQLITE_READONLY
constexpr qint32 DiskFull = 3013; // Generic + SQLITE_FULL
constexpr qint32 NoCurrentRecord = 3021;
constexpr qint32 DuplicateKey = 3022;
constexpr qint32 FileNotFound = 3024;
constexpr qint32 DamagedFile = 3049;
constexpr qint32 NoSuchTable = 3078;
// Locked by another workstation past the wait; the suite's error table has it under 3000.
constexpr qint32 Locked = 3000;
constexpr qint32 NoSuchColumn = 3265;
constexpr qint32 ObjectClosed = 3420;
} // namespace JetError

// Loads the first row of the statement's result into RowValues (a Null column as the
// integer 0, marked in RowNulls); MsgText is "" when a row was read, "QUIT" when none.
// The name is upper-cased and ".MDB" appended in the caller's variable. A failure is
// passed on through ErrNumber and ErrDescription, which are 0 and "" otherwise.
void DbRead(QString &dbName, const QString &statement);

// How a DbWrite ended: whether its row was saved and, when not, the suite's number and
// the engine's text of the failure, a quiet one included. For callers that must not lose
// a row.
struct DbWriteOutcome
{
    bool saved = false;
    qint32 number = 0;
    QString description;
};

// Writes RowValues back to the first row of the statement ("select * from T" or
// "select * from T where ..."), or as a new row while AddNewMode is on. Empty and null
// elements leave their columns alone. Failures before the values are written are passed
// on as for DbRead; a failure while writing them ends the routine quietly, and only the
// outcome tells of it.
DbWriteOutcome DbWrite(QString &dbName, const QString &statement);

// The error table's explanation of a locked database, the description of a Locked failure.
QString lockedDatabaseText();

// How long a statement waits for another workstation's lock, in milliseconds; the window
// repaints meanwhile. Returns the limit it replaces (tests shorten the wait).
int setLockWaitLimit(int ms);

void DbAddNewOn();
void DbAddNewOff();

// Closes every connection still open, whatever its owner is doing; failures are ignored.
void DbCloseAll();

// The engine's idle call with the free-locks option: forgets the connections that have
// been closed and lets pending events run.
void DbFreeLocks();

// The text with its apostrophes doubled, to be put between apostrophes in a statement.
QString sqlQuote(const QString &text);

// The suite's error number for a database failure.
int jetErrorNumber(const QSqlError &error);
// Hands a database failure to the calling routine's handler: ErrNumber, ErrDescription,
// ErrLine 0.
void passOnDbError(const QSqlError &error);

// A direct open of one suite database, closed when the object goes. Statements may call
// the Jet functions ucase$() and fix(); a lock held by another workstation is waited for.
//
//     SuiteDb db(u"gl.mdb"_s);
//     QSqlQuery q = db.query(sql);
//     if (db.failed()) { db.passOnError(); return; }
//     if (q.next()) ...
//
// Queries are forward-only. They stop working once the database is closed (here, by
// close() or by DbCloseAll), so declare them after the SuiteDb they run on.
class SuiteDb
{
public:
    // The bare file name; a missing file is a failure (FileNotFound), never a new database.
    explicit SuiteDb(const QString &fileName);
    ~SuiteDb();
    SuiteDb(const SuiteDb &) = delete;
    SuiteDb &operator=(const SuiteDb &) = delete;

    bool isOpen() const;
    // The statement run; when it fails the query is inactive and failed() is true.
    QSqlQuery query(const QString &sql);
    // A query on this connection for prepare() and bound values.
    QSqlQuery newQuery() const;
    bool exec(const QString &sql);
    bool transaction();
    bool commit();
    bool rollback();
    void close();

    // The last failure of the open or of a statement run through this object; a query's
    // own next() failure is in that query's lastError().
    bool failed() const { return error_.isValid(); }
    QSqlError error() const { return error_; }
    void setError(const QSqlError &error) { error_ = error; }
    void clearError() { error_ = QSqlError(); }
    void passOnError() const { passOnDbError(error_); }

    QString connectionName() const { return name_; }

private:
    friend void DbCloseAll();
    friend void DbFreeLocks();
    void forget();
    // SQLite's busy handler: waits for a lock while the window repaints.
    static int waitForLock(void *self, int attempt);
    void endWait();

    QString name_;
    QElapsedTimer lockClock_;
    bool waiting_ = false;
    QSqlDatabase db_;
    QSqlError error_;
    bool wasOpen_ = false;
};

// The engine object by the name some routines use.
using SuiteConnection = SuiteDb;

} // namespace tallic

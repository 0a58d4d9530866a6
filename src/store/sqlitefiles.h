#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include "basic/result.h"

#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tallic {

// What the layer asks of SQLite itself, below Qt's driver, for a suite database file.

// Adds Jet's ucase$() and fix(), and tallic_cents() (an amount's cents, Cents::of), to the
// open connection; false when they cannot be added.
bool registerJetFunctions(const QSqlDatabase &db);

// Calls wait(context, attempt) whenever a statement meets another connection's lock; the
// statement tries again while it returns non-zero.
void setLockWait(const QSqlDatabase &db, int (*wait)(void *context, int attempt), void *context);

// Whether the file the connection reads has been deleted, replaced or renamed since it was
// opened; true when that cannot be told.
bool fileHasMoved(const QSqlDatabase &db);

// Leaves the connection as a closed file would be: no statement running, no transaction.
void settleFile(const QSqlDatabase &db);

// Copies the attached database of the connection ("daily", or "main") page by page into a
// new file at the path; the reason when it cannot.
Result<void> copyDatabase(const QSqlDatabase &db, const QString &schema, const QString &path);
// SQLite's online backup of the source's attached database into the target's own, in one
// step: SQLite's result.
int backupInto(sqlite3 *target, sqlite3 *source, const QString &schema);

// For a connection whose file has been deleted, moved or replaced since it was opened: its
// closing leaves the log and its index under the file's name alone, which belong to
// whatever file bears the name now (or bears it again once it is put back).
void leaveLogOnClose(const QSqlDatabase &db);

// Runs the statement with its ? bound by position to the values, as Qt's driver binds
// them, through SQLite's own calls: Qt's binding costs more than writing the row. The
// statement is prepared once for the connection. False, with the failure in error as the
// driver would give it, when it fails; when it succeeds, changes (if given) takes the
// number of rows it changed.
bool execBound(const QSqlDatabase &db, const QString &sql, const QVariantList &values,
               QSqlError &error, int *changes = nullptr);
// The same for a statement that reads: the names of its columns and the values of its first
// row (none when it has no row) as Qt's driver reads them, the read ended. False, with the
// failure as the driver would give it, when it fails.
bool firstRowBound(const QSqlDatabase &db, const QString &sql, const QVariantList &values,
                   QStringList &names, QVariantList &row, QSqlError &error);
// Finalizes the statements execBound() and firstRowBound() keep: before the connection closes.
void forgetStatements(const QSqlDatabase &db);

// The connection's own SQLite handle; null for another driver.
sqlite3 *nativeHandle(const QSqlDatabase &db);
// Binds a value as Qt's driver does; SQLite's result. Times and dates, which the driver
// writes in forms of its own, are left to it. With held, a text goes as UTF-8, kept there
// until the statement has run, and a blob is read where the value holds it: a bulk copy
// binds without copying each value again.
int bindLikeQt(sqlite3_stmt *statement, int position, const QVariant &value,
               std::vector<QByteArray> *held = nullptr);

// Every program of the suite keeps a suite file the same way: in write-ahead logging, the
// log synced at every commit (synchronous FULL; the program's own connections sync it right
// after the commit instead, see logsync.h). A commit is then durable with one sync, readers
// never wait for the writer, and a crash leaves a log that the next open replays.
// A file still in rollback mode is switched once this connection can have it alone for a
// moment, which is not waited for: until then it is used as it is.
void setUpSuiteFile(const QSqlDatabase &db);

// For the program's own kept connections, after each commit to the log of the connection
// so named, pages long now: once the log is long, it is copied into the file (checkpointed)
// when the program is idle, never by a commit, as SQLite does by default, in the middle of
// whatever the commit was part of. A checkpoint never waits for another workstation.
void checkpointWhenLong(const QString &connection, int pages);
// The same at once, for a run of many commits that is never idle (generation, between two
// members): a log that only grows costs every commit's sync one write more, for the file's
// new length.
void checkpointBetweenCommits();
// What a checkpoint waits for first: the log's sync going on beside, which uses the same
// log. The log sync sets it when it takes its first connection; before, there is none.
void setCheckpointWait(void (*wait)());

// Whether the connection writes its file, and writes it through the log (write-ahead
// logging).
bool writesThroughLog(const QSqlDatabase &db);

// Gives the connection's log, when it is shorter, the length it reaches before a checkpoint
// starts it afresh, filled with zeros and synced; a commit then writes into the file's
// own blocks, and its sync need not write the file's length too. Takes the write lock for
// that moment, unless the connection's transaction holds it already.
void lengthenLog(const QSqlDatabase &db);

} // namespace tallic

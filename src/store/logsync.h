#pragma once

#include "basic/result.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

namespace tallic {

// The program's own connections to a file in write-ahead logging sync the log after the
// commit rather than inside it: the commit writes its pages to the log and lets the write
// lock go, and the log is synced right after, one sync for each commit as before. Another
// workstation then writes while this one waits for the disk. A post has the sync go on
// beside the screen's update, and waits for it before the operator can act again (the
// command's end, a box, a wait for another program) and before anything else uses a
// database. Nothing stored is reported before it is on the disk.
//
// A sync that fails leaves the file unsafe: the system may have dropped what the sync was
// to write, and a later commit whose own sync succeeds would sit behind that hole, where
// the log's recovery after a crash stops. Nothing more is written to the file until the
// log has been copied into it and both are synced (secureBeforeWrite()).

// Sets the program's own connection up so: SQLite's hook after each commit to the log
// syncs the log (and has a long log checkpointed at an idle moment, sqlitefiles.h); with
// the hook in place, a file in write-ahead logging is no longer synced by SQLite at commits
// (synchronous NORMAL, which still syncs the log before it is copied into the file), and
// the connection refuses the statements that would put another hook in its place or undo
// that setting. A write to an unsafe file is rolled back by the connection.
void syncLogAfterCommits(const QSqlDatabase &db);
// The connection is closing: its sync going on is waited for, and it is forgotten.
void forgetLogSync(const QSqlDatabase &db);

// While one lives, the sync after a commit goes on beside the caller's work, on a thread of
// its own.
class LogSyncBeside
{
public:
    LogSyncBeside();
    ~LogSyncBeside();
    LogSyncBeside(const LogSyncBeside &) = delete;
    LogSyncBeside &operator=(const LogSyncBeside &) = delete;
};

// While one lives, a failed sync names what was being written ("chit S1") in its box and
// in the activity log.
class WriteLabel
{
public:
    explicit WriteLabel(const QString &what);
    ~WriteLabel();
    WriteLabel(const WriteLabel &) = delete;
    WriteLabel &operator=(const WriteLabel &) = delete;

private:
    QString previous_;
};

// Waits for the sync going on beside. A sync that failed is made up for at once when the
// disk takes it now (secureBeforeWrite()), and shown in a box and the activity log; false
// then.
bool awaitLogSync();
// The same without the box, which waits for the next awaitLogSync(): where a box cannot
// show (inside SQLite's hook, as a connection closes, before a checkpoint).
void waitForLogSync();

// Before a write outside a transaction, or a transaction's start, on the connection: a file
// left unsafe by a failed sync has its log copied into it and both synced first. The disk
// error when that cannot be done yet: nothing may be written then.
Result<void> secureBeforeWrite(const QSqlDatabase &db);
// The failure of a statement on the connection, as the caller keeps it: a write that the
// connection refused because its file is unsafe (it did not ask secureBeforeWrite())
// becomes the disk error that secureBeforeWrite() gives.
QSqlError explainRefusedWrite(const QSqlDatabase &db, const QSqlError &error);

} // namespace tallic

#pragma once

#include <QSqlDatabase>

namespace tallic {

// The program's own connections to a file in write-ahead logging sync the log after the
// commit rather than inside it: the commit writes its pages to the log and lets the write
// lock go, and the log is synced right after, one sync for each commit as before. Another
// workstation then writes while this one waits for the disk. A post has the sync go on
// beside the screen's update, and waits for it before the operator can act again (the
// command's end, a box, a wait for another program) and before anything else uses a
// database. Nothing stored is reported before it is on the disk.

// Sets the program's own connection up so: SQLite's hook after each commit to the log
// syncs the log (and has a long log checkpointed at an idle moment, sqlitefiles.h); with
// the hook in place, a file in write-ahead logging is no longer synced by SQLite at commits
// (synchronous NORMAL, which still syncs the log before it is copied into the file), and
// the connection refuses the statements that would put another hook in its place or undo
// that setting.
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

// Waits for the sync going on beside; a sync that failed is shown in a box.
void awaitLogSync();
// The same without the box, which waits for the next awaitLogSync(): where a box cannot
// show (inside SQLite's hook, as a connection closes, before a checkpoint).
void waitForLogSync();

} // namespace tallic

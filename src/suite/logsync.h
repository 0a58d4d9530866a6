#pragma once

#include <QSqlDatabase>

struct sqlite3;
struct sqlite3_file;

namespace tallic {

// The program's own connections to a file in write-ahead logging sync the log after the
// commit rather than inside it: the commit writes its pages to the log and lets the write
// lock go, and the log is synced right after, one sync for each commit as before. Another
// workstation then writes while this one waits for the disk. A post has the sync go on
// beside the screen's update, and waits for it before the operator can act again (the
// command's end, a box, a wait for another program) and before anything else uses a
// database. Nothing stored is reported before it is on the disk.

// Sets the connection up so, when its file is in write-ahead logging: SQLite no longer
// syncs the log at commits (synchronous NORMAL, which still syncs it before it is copied
// into the file), and each commit to the log is followed by its sync.
void syncLogAfterCommits(const QSqlDatabase &db);
// The connection is closing: its sync going on is waited for, and it is forgotten.
void forgetLogSync(const QSqlDatabase &db);

// From SQLite's hook after each commit to the log of the attached database (schema "main"
// for the connection's own file), the write lock let go: the log is synced, or its sync
// begins beside the caller's work.
void logCommitted(sqlite3 *handle, const char *schema);

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

// How a log is synced, SQLite's own call by default; tests put in a disk that fails.
using LogSyncCall = int (*)(sqlite3_file *log);
LogSyncCall setLogSyncCall(LogSyncCall call);

} // namespace tallic

#include "logsync.h"

#include "sqlitefiles.h"

#include "platform/keygate.h"
#include "platform/runtime.h"

#include <QFileInfo>
#include <QHash>

#include <sqlite3.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// The flags SQLite gives the log's sync at a commit when it syncs there itself.
int syncFile(sqlite3_file *file)
{
    return file->pMethods->xSync(file, SQLITE_SYNC_NORMAL);
}

// The thread that syncs a log beside the window's work, one sync at a time.
class Syncer
{
public:
    ~Syncer()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        asked_.notify_one();
        if (thread_.joinable())
            thread_.join();
    }

    void start(sqlite3_file *log)
    {
        {
            std::lock_guard lock(mutex_);
            log_ = log;
            if (!thread_.joinable())
                thread_ = std::thread([this] { run(); });
        }
        asked_.notify_one();
    }

    // The sync's result once it is done. One the thread has not taken yet is done here,
    // sooner than the thread would wake for it.
    int wait()
    {
        std::unique_lock lock(mutex_);
        if (log_)
            runTaken(lock);
        done_.wait(lock, [this] { return !running_; });
        return std::exchange(result_, SQLITE_OK);
    }

private:
    void run()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            asked_.wait(lock, [this] { return stopping_ || log_; });
            if (stopping_)
                return;
            runTaken(lock);
            done_.notify_all();
        }
    }

    void runTaken(std::unique_lock<std::mutex> &lock)
    {
        sqlite3_file *log = std::exchange(log_, nullptr);
        running_ = true;
        lock.unlock();
        const int result = syncFile(log);
        lock.lock();
        running_ = false;
        result_ = result;
    }

    std::mutex mutex_;
    std::condition_variable asked_;
    std::condition_variable done_;
    sqlite3_file *log_ = nullptr; // asked for and not yet taken
    bool running_ = false;
    int result_ = SQLITE_OK;
    bool stopping_ = false;
    std::thread thread_;
};

Syncer &syncer()
{
    static Syncer s;
    return s;
}

// A connection set up by syncLogAfterCommits(): its file's name as the suite writes it,
// the connection's name, and whether the layer syncs its log.
struct Connection
{
    QString file;
    QString name;
    bool syncs = false;
};

// The connections set up; how many callers have the syncs go on beside their work, and the
// file of the one going on; and the failure waiting to be shown. Only the window thread
// uses them.
struct Logs
{
    QHash<sqlite3 *, Connection> connections;
    int beside = 0;
    QString besideFile;
    int failure = SQLITE_OK;
    QString failedFile;

    void note(int result, const QString &file)
    {
        if (result != SQLITE_OK && failure == SQLITE_OK) {
            failure = result;
            failedFile = file;
        }
    }
};

Logs &logs()
{
    static Logs all;
    return all;
}

// After each commit to the log of the attached database (schema "main" for the
// connection's own file), the write lock let go: the log is synced, or its sync begins
// beside the caller's work.
void logCommitted(sqlite3 *handle, const char *schema)
{
    Logs &all = logs();
    const auto found = all.connections.constFind(handle);
    if (found == all.connections.cend() || !found->syncs)
        return;
    waitForLogSync();
    sqlite3_file *log = nullptr;
    if (sqlite3_file_control(handle, schema, SQLITE_FCNTL_JOURNAL_POINTER, &log) != SQLITE_OK
        || !log || !log->pMethods) {
        // A log that cannot be synced is not to pass for one on the disk.
        all.note(SQLITE_IOERR_FSYNC, found->file);
        return;
    }
    if (all.beside > 0) {
        all.besideFile = found->file;
        syncer().start(log);
        return;
    }
    // The commit is made: a failed sync does not undo it, so the statement succeeds and the
    // failure is shown once the caller is done.
    all.note(syncFile(log), found->file);
}

// SQLite's hook after each commit to the log: the log's sync, and in place of SQLite's own
// checkpoint on commit, one at an idle moment.
int committed(void *, sqlite3 *handle, const char *schema, int pages)
{
    logCommitted(handle, schema);
    const auto found = logs().connections.constFind(handle);
    if (found != logs().connections.cend())
        checkpointWhenLong(found->name, pages);
    return SQLITE_OK;
}

// SQLite's authorizer: a statement that would replace the hook (SQLite's checkpoint on
// commit takes its place), stop the syncs or leave write-ahead logging is refused; the
// same pragmas only read are let through.
int refuseUndoing(void *, int action, const char *pragma, const char *value, const char *,
                  const char *)
{
    if (action != SQLITE_PRAGMA || !value)
        return SQLITE_OK;
    for (const char *kept : { "wal_autocheckpoint", "synchronous", "journal_mode" }) {
        if (sqlite3_stricmp(pragma, kept) == 0)
            return SQLITE_DENY;
    }
    return SQLITE_OK;
}

} // namespace

void syncLogAfterCommits(const QSqlDatabase &db)
{
    sqlite3 *handle = nativeHandle(db);
    if (!handle)
        return;
    const QString file = QString::fromUtf8(sqlite3_db_filename(handle, "main"));
    Connection &connection = logs().connections[handle];
    connection = { QFileInfo(file).fileName().toUpper(), db.connectionName(), false };
    // The hook first: SQLite stops syncing the log at commits only once the sync after the
    // commit is in place, and nothing may take its place or undo the setting after. A file
    // in rollback mode keeps its syncs where SQLite makes them.
    sqlite3_wal_hook(handle, &committed, nullptr);
    connection.syncs = writesThroughLog(db)
        && sqlite3_exec(handle, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr)
            == SQLITE_OK;
    sqlite3_set_authorizer(handle, &refuseUndoing, nullptr);
    if (connection.syncs)
        setWorkBeforeOperator(&awaitLogSync);
}

void forgetLogSync(const QSqlDatabase &db)
{
    sqlite3 *handle = nativeHandle(db);
    if (!handle || !logs().connections.contains(handle))
        return;
    waitForLogSync();
    logs().connections.remove(handle);
}

LogSyncBeside::LogSyncBeside()
{
    ++logs().beside;
}

LogSyncBeside::~LogSyncBeside()
{
    --logs().beside;
}

void waitForLogSync()
{
    Logs &all = logs();
    if (!all.besideFile.isNull())
        all.note(syncer().wait(), std::exchange(all.besideFile, QString()));
}

void awaitLogSync()
{
    waitForLogSync();
    Logs &all = logs();
    if (all.failure == SQLITE_OK)
        return;
    const int failure = std::exchange(all.failure, SQLITE_OK);
    const QString file = std::exchange(all.failedFile, QString());
    // What was typed meanwhile was typed before this could be read.
    KeyGate::lockWaitEnded();
    MsgBox(u"The disk reported an error while the last change to "_s + file
               + u" was being written to it:\n"_s + QString::fromUtf8(sqlite3_errstr(failure))
               + u" (code "_s + QString::number(failure)
               + u")\n\nThe change is in the database, but it may be lost if the computer "
                 u"stops. Have the disk checked before going on."_s,
           BoxButtons::Ok, BoxIcon::Critical, u"Disk error"_s);
}

} // namespace tallic

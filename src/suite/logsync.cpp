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
int syncLikeSQLite(sqlite3_file *log)
{
    return log->pMethods->xSync(log, SQLITE_SYNC_NORMAL);
}

LogSyncCall syncCall = &syncLikeSQLite;

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

    void start(sqlite3_file *log, LogSyncCall call)
    {
        {
            std::lock_guard lock(mutex_);
            log_ = log;
            call_ = call;
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
        const int result = call_(log);
        lock.lock();
        running_ = false;
        result_ = result;
    }

    std::mutex mutex_;
    std::condition_variable asked_;
    std::condition_variable done_;
    sqlite3_file *log_ = nullptr; // asked for and not yet taken
    LogSyncCall call_ = nullptr;
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

// The connections whose logs the layer syncs, with their files' names as the suite writes
// them; how many callers have the syncs go on beside their work, and the file of the one
// going on; and the failure waiting to be shown. Only the window thread uses them.
struct Logs
{
    QHash<sqlite3 *, QString> files;
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

} // namespace

void syncLogAfterCommits(const QSqlDatabase &db)
{
    // A file in rollback mode keeps its syncs where SQLite makes them.
    sqlite3 *handle = nativeHandle(db);
    if (!writesThroughLog(db)
        || sqlite3_exec(handle, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr)
            != SQLITE_OK)
        return;
    const QString file = QString::fromUtf8(sqlite3_db_filename(handle, "main"));
    logs().files.insert(handle, QFileInfo(file).fileName().toUpper());
    setWorkBeforeOperator(&awaitLogSync);
}

void forgetLogSync(const QSqlDatabase &db)
{
    sqlite3 *handle = nativeHandle(db);
    if (!handle || !logs().files.contains(handle))
        return;
    waitForLogSync();
    logs().files.remove(handle);
}

void logCommitted(sqlite3 *handle, const char *schema)
{
    Logs &all = logs();
    const auto found = all.files.constFind(handle);
    if (found == all.files.cend())
        return;
    waitForLogSync();
    sqlite3_file *log = nullptr;
    if (sqlite3_file_control(handle, schema, SQLITE_FCNTL_JOURNAL_POINTER, &log) != SQLITE_OK
        || !log || !log->pMethods) {
        // A log that cannot be synced is not to pass for one on the disk.
        all.note(SQLITE_IOERR_FSYNC, *found);
        return;
    }
    if (all.beside > 0) {
        all.besideFile = *found;
        syncer().start(log, syncCall);
        return;
    }
    // The commit is made: a failed sync does not undo it, so the statement succeeds and the
    // failure is shown once the caller is done.
    all.note(syncCall(log), *found);
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

LogSyncCall setLogSyncCall(LogSyncCall call)
{
    waitForLogSync();
    return std::exchange(syncCall, call ? call : &syncLikeSQLite);
}

} // namespace tallic

#include "logsync.h"

#include "storehost.h"

#include "database.h"
#include "kept.h"
#include "sqlitefiles.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <sqlite3.h>

#include <condition_variable>
#include <mutex>
#include <optional>
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
// its full path, the connection's name, and whether the layer syncs its log.
struct Connection
{
    QString file;
    QString path;
    QString name;
    bool syncs = false;
};

// A failed sync waiting to be shown: on which connection (null once it is closed), of
// which file, while what was being written.
struct SyncFailure
{
    int result = SQLITE_OK;
    sqlite3 *handle = nullptr;
    QString file;
    QString path;
    QString what;
};

// The connections set up; how many callers have the syncs go on beside their work, and the
// connection whose sync goes on; what the caller says it writes; the first failure not
// shown yet; and the paths of the files left unsafe. Only the window thread uses them.
struct Logs
{
    QHash<sqlite3 *, Connection> connections;
    int beside = 0;
    sqlite3 *besideHandle = nullptr;
    QString besideWhat;
    QString writing;
    std::optional<SyncFailure> failure;
    QSet<QString> unsafe;

    void note(int result, sqlite3 *handle, const QString &what)
    {
        const auto found = connections.constFind(handle);
        if (result == SQLITE_OK || found == connections.cend())
            return;
        unsafe.insert(found->path);
        if (!failure)
            failure = SyncFailure { result, handle, found->file, found->path, what };
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
        all.note(SQLITE_IOERR_FSYNC, handle, all.writing);
        return;
    }
    if (all.beside > 0) {
        all.besideHandle = handle;
        all.besideWhat = all.writing;
        syncer().start(log);
        return;
    }
    // The commit is made: a failed sync does not undo it, so the statement succeeds and the
    // failure is shown once the caller is done.
    all.note(syncFile(log), handle, all.writing);
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

// SQLite's hook before a write transaction commits: non-zero rolls it back. A write that
// did not make its file safe first must not land behind what the disk may have dropped.
int refuseUnsafe(void *handle)
{
    const Logs &all = logs();
    if (all.unsafe.isEmpty())
        return 0;
    const auto found = all.connections.constFind(static_cast<sqlite3 *>(handle));
    return found != all.connections.cend() && all.unsafe.contains(found->path);
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

// Copies the log into the file, waiting for readers of the log as for a lock, and syncs the
// file and the log, which is then empty: what a failed sync may have dropped is in the
// file, on the disk. False when any step fails, or inside a transaction.
bool secureLog(sqlite3 *handle)
{
    if (!handle || !sqlite3_get_autocommit(handle))
        return false;
    waitForLogSync();
    if (sqlite3_wal_checkpoint_v2(handle, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr)
        != SQLITE_OK)
        return false;
    for (const int pointer : { SQLITE_FCNTL_FILE_POINTER, SQLITE_FCNTL_JOURNAL_POINTER }) {
        sqlite3_file *file = nullptr;
        if (sqlite3_file_control(handle, "main", pointer, &file) != SQLITE_OK
            || (file && file->pMethods && syncFile(file) != SQLITE_OK))
            return false;
    }
    return true;
}

// Makes the unsafe file at the path safe through the connection; whether it is safe now.
bool makeSafe(sqlite3 *handle, const QString &path)
{
    Logs &all = logs();
    if (!all.unsafe.contains(path))
        return true;
    const bool safe = secureLog(handle);
    // The checkpoint waited for readers of the log as for a lock: that wait is over.
    for (const auto &[key, kept] : keptConnections()) {
        if (nativeHandle(kept->db) == handle)
            kept->endWait();
    }
    if (safe)
        all.unsafe.remove(path);
    return safe;
}

Failure unsafeFile(const QString &file)
{
    return Failure { JetError::Generic + SQLITE_IOERR,
                     u"The disk reported an error while "_s + file
                         + u" was being written, and what it may have lost cannot be written "
                           u"again yet: nothing more is stored in "_s
                         + file + u" until it can. Have the disk checked."_s,
                     file };
}

void showFailure(const SyncFailure &failed, bool safe)
{
    const QString what = failed.what.isEmpty() ? u"the last change"_s : failed.what;
    const QString error = QString::fromUtf8(sqlite3_errstr(failed.result)) + u" (code "_s
        + QString::number(failed.result) + u')';
    storeHost().logActivity(u"Disk error while "_s + what + u" was being written to "_s
                            + failed.file + u": "_s + error
                            + (safe ? u". Written to the disk again since."_s
                                    : u". Not on the disk yet: nothing more is stored in "_s
                                       + failed.file + u" until it is."_s));
    // What was typed meanwhile was typed before this could be read.
    storeHost().lockWaitEnded();
    storeHost().tell(
        u"The disk reported an error while "_s + what + u" was being written to "_s + failed.file
            + u":\n"_s + error
            + (safe ? u"\n\nIt is in the database, and it has been written to the disk "
                      u"again since. Have the disk checked before going on."_s
                    : u"\n\nIt is in the database, but it may be lost if the computer "
                      u"stops. Nothing more is stored in "_s
                       + failed.file
                       + u" until the disk takes it. Have the disk checked before going "
                         u"on."_s),
        u"Disk error"_s, StoreHost::Tone::Critical);
}

} // namespace

void syncLogAfterCommits(const QSqlDatabase &db)
{
    sqlite3 *handle = nativeHandle(db);
    if (!handle)
        return;
    setCheckpointWait(&waitForLogSync);
    const QString path = QString::fromUtf8(sqlite3_db_filename(handle, "main"));
    Logs &all = logs();
    Connection &connection = all.connections[handle];
    connection = { QFileInfo(path).fileName().toUpper(), path, db.connectionName(), false };
    // The hooks first: SQLite stops syncing the log at commits only once the sync after the
    // commit is in place, and nothing may take its place or undo the setting after. A file
    // in rollback mode keeps its syncs where SQLite makes them.
    sqlite3_wal_hook(handle, &committed, nullptr);
    sqlite3_commit_hook(handle, &refuseUnsafe, handle);
    connection.syncs = writesThroughLog(db)
        && sqlite3_exec(handle, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr)
            == SQLITE_OK;
    sqlite3_set_authorizer(handle, &refuseUndoing, nullptr);
    if (connection.syncs)
        storeHost().setWorkBeforeOperator([] { (void)awaitLogSync(); });
}

void forgetLogSync(const QSqlDatabase &db)
{
    sqlite3 *handle = nativeHandle(db);
    Logs &all = logs();
    if (!handle || !all.connections.contains(handle))
        return;
    waitForLogSync();
    if (all.failure && all.failure->handle == handle)
        all.failure->handle = nullptr;
    all.connections.remove(handle);
}

LogSyncBeside::LogSyncBeside()
{
    ++logs().beside;
}

LogSyncBeside::~LogSyncBeside()
{
    --logs().beside;
}

WriteLabel::WriteLabel(const QString &what)
    : previous_(std::exchange(logs().writing, what))
{
}

WriteLabel::~WriteLabel()
{
    logs().writing = previous_;
}

void waitForLogSync()
{
    Logs &all = logs();
    if (all.besideHandle) {
        const int result = syncer().wait();
        all.note(result, std::exchange(all.besideHandle, nullptr),
                 std::exchange(all.besideWhat, QString()));
    }
}

bool awaitLogSync()
{
    waitForLogSync();
    Logs &all = logs();
    if (!all.failure)
        return true;
    const SyncFailure failed = *std::exchange(all.failure, std::nullopt);
    // The commit stands: what the sync may have dropped is written again now if the disk
    // takes it, before the operator is told whether it is safe.
    const bool safe = !all.unsafe.contains(failed.path)
        || (failed.handle && makeSafe(failed.handle, failed.path));
    showFailure(failed, safe);
    return false;
}

Result<void> secureBeforeWrite(const QSqlDatabase &db)
{
    Logs &all = logs();
    if (all.unsafe.isEmpty())
        return {};
    sqlite3 *handle = nativeHandle(db);
    const auto found = all.connections.constFind(handle);
    // Inside a transaction this was asked as it began; the commit hook keeps watch.
    if (found == all.connections.cend() || !all.unsafe.contains(found->path)
        || !sqlite3_get_autocommit(handle))
        return {};
    const Connection connection = *found;
    if (!makeSafe(handle, connection.path))
        return unsafeFile(connection.file);
    storeHost().logActivity(
        connection.file
        + u" written to the disk again after a disk error: writing to it goes on."_s);
    return {};
}

QSqlError explainRefusedWrite(const QSqlDatabase &db, const QSqlError &error)
{
    sqlite3 *handle = nativeHandle(db);
    const auto found = logs().connections.constFind(handle);
    if (error.nativeErrorCode() != QString::number(SQLITE_CONSTRAINT_COMMITHOOK)
        || found == logs().connections.cend() || !logs().unsafe.contains(found->path))
        return error;
    const Failure unsafe = unsafeFile(found->file);
    return layerError(unsafe.number, unsafe.description);
}

} // namespace tallic

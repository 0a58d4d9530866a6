// The kept connections of the suite's databases: found for a file name, opened when there is
// none or the one kept is stale, and let go; and the waits for another workstation's lock.
#include "kept.h"

#include "basic/folders.h"
#include "datasource.h"
#include "logsync.h"
#include "sqlitefiles.h"
#include "storehost.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QSqlRecord>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <map>
#include <memory>
#include <utility>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// Long enough for another workstation to finish any write the suite makes, and for a
// database server to restart.
// Read by the server connections' threads as they connect.
std::atomic<int> lockWaitLimitMs { 10000 };
// Another workstation's commit holds the lock for a millisecond or so: for a while the lock
// is tried again that soon, so that a short wait ends when the lock is free. A wait that
// lasts is shown, and tried at the pace of the repaints.
constexpr int LockPollMs = 1;
constexpr int LockPollingMs = 200;
// A wait longer than this is shown: the busy pointer, the window repainting.
constexpr int LockRetryMs = 20;

} // namespace

int setLockWaitLimit(int ms)
{
    return lockWaitLimitMs.exchange(ms);
}

int lockWaitLimit()
{
    return lockWaitLimitMs;
}

using Kept = SuiteDb::Kept;

namespace {

// The deadline in force, on the window thread: its clock and its length.
QElapsedTimer deadlineClock;
qint64 deadlineMs = -1;

std::function<void(bool)> &waitNotice()
{
    static auto *notice = new std::function<void(bool)>;
    return *notice;
}

// Tells the windows of a server wait that lasts, once, and that it is over.
struct WaitNoticeTimer
{
    QTimer *timer = nullptr;
    bool shown = false;

    void start()
    {
        if (!timer) {
            timer = new QTimer;
            timer->setSingleShot(true);
            QObject::connect(timer, &QTimer::timeout, [this] {
                shown = true;
                if (waitNotice())
                    waitNotice()(true);
            });
        }
        timer->start(WaitNoticeMs);
    }

    void stop()
    {
        if (timer)
            timer->stop();
        if (std::exchange(shown, false) && waitNotice())
            waitNotice()(false);
    }
};

WaitNoticeTimer &noticeTimer()
{
    static auto *timer = new WaitNoticeTimer;
    return *timer;
}

} // namespace

ServerDeadline::ServerDeadline(int ms)
    : outer_(deadlineMs < 0)
{
    if (!outer_)
        return;
    deadlineMs = ms;
    deadlineClock.start();
}

ServerDeadline::~ServerDeadline()
{
    if (outer_)
        deadlineMs = -1;
}

qint64 ServerDeadline::remaining()
{
    if (deadlineMs < 0)
        return -1;
    return qMax<qint64>(0, deadlineMs - deadlineClock.elapsed());
}

void setServerWaitNotice(std::function<void(bool)> notice)
{
    waitNotice() = std::move(notice);
}

Kept::~Kept()
{
    shut();
    // Every handle on the connection must be gone before Qt forgets its name.
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

void Kept::shut()
{
    shutDown = true;
    if (!onServer()) {
        forgetLogSync(db);
        forgetStatements(db);
    }
    db.close();
    link.reset();
    inTransaction = beginPending = writesKept = false;
    keptWrites.clear();
    endWait();
}

void Kept::beginWait()
{
    if (std::exchange(waiting, true))
        return;
    storeHost().beginLockWait();
    if (onServer())
        noticeTimer().start();
}

void Kept::endWait()
{
    if (!std::exchange(waiting, false))
        return;
    if (onServer())
        noticeTimer().stop();
    storeHost().endLockWait();
}

// One still in use when dropped lives on with its users, closed, and goes with the last.
KeptMap &keptConnections()
{
    // Never destroyed: Qt's list of connections may be gone by then. The application's end
    // closes them.
    static auto *kept = new KeptMap;
    return *kept;
}

namespace {

void dropKept(KeptMap::iterator it)
{
    it->second->shut();
    keptConnections().erase(it);
}

// Lets go of the kept connections whose files are no longer on disk: a file put back
// later is opened afresh.
void dropConnectionsOfMissingFiles()
{
    auto &kept = keptConnections();
    for (auto it = kept.begin(); it != kept.end();) {
        auto next = std::next(it);
        if (!it->second->onServer() && !QFileInfo::exists(it->first)) {
            leaveLogOnClose(it->second->db);
            dropKept(it);
        }
        it = next;
    }
}

// SQLite's busy handler: waits for a lock while the window repaints.
int waitForLock(void *context, int attempt)
{
    auto *kept = static_cast<Kept *>(context);
    if (attempt == 0)
        kept->lockClock.start();
    const qint64 waited = kept->lockClock.elapsed();
    if (waited >= lockWaitLimitMs || storeHost().programEnding())
        return 0;
    if (waited >= LockRetryMs) {
        kept->beginWait();
        // Not a full DoEvents: a key or click now could change what is being written.
        storeHost().lockWaitTick();
    }
    QThread::msleep(waited < LockPollingMs ? LockPollMs : LockRetryMs);
    return 1;
}

// Whether the file can be written as it could when the connection was opened.
bool asWritableAsOpened(const Kept &kept)
{
    return QFileInfo(kept.key).isWritable() == kept.writable;
}

// Whether the open connection still reaches the database: a file deleted, replaced or
// renamed since must not take writes that nobody will see; a server connection that broke
// is opened afresh.
bool stillCurrent(const Kept &kept)
{
    // A server connection lost meanwhile is opened again by its next statement, which
    // waits for a restart.
    if (kept.onServer())
        return true;
    return kept.db.isOpen() && !fileHasMoved(kept.db) && asWritableAsOpened(kept);
}

std::shared_ptr<Kept> openKept(const DataSource &source, const QString &fileName,
                               const QString &key, QSqlError &error)
{
    static std::atomic<quint64> serial { 0 };
    auto kept = std::make_shared<Kept>();
    kept->key = key;
    kept->source = source;
    kept->fileName = fileName;
    kept->name = u"suite-"_s + fileName.toUpper() + u'-' + QString::number(++serial);
    if (source.onServer()) {
        kept->link = std::make_unique<ServerLink>(source, fileName);
        error = kept->link->open(answerTimeout(lockWaitLimitMs), [&kept] { kept->beginWait(); });
        kept->endWait();
        return error.isValid() ? nullptr : kept;
    }
    kept->writable = QFileInfo(key).isWritable();
    kept->db = openSuiteDatabase(kept->name, source, fileName, Access::ReadWrite, error);
    if (!kept->db.isOpen())
        return nullptr;
    // Another workstation's lock is waited for rather than reported, the window
    // repainting meanwhile.
    setLockWait(kept->db, &waitForLock, kept.get());
    syncLogAfterCommits(kept->db);
    return kept;
}

// The kept connection last found for a file name, and the settled working folder it was
// found in.
struct Found
{
    FolderStamp stamp;
    QString key;
    const Kept *kept = nullptr;
};

QHash<QString, Found> &foundFiles()
{
    static auto *found = new QHash<QString, Found>;
    return *found;
}

// The connection found for the file name last time, while nothing has happened that would
// find another: the working folder is the same one and no entry of it was added, removed
// or renamed since (no file replaced or deleted, no settings file put in), the connection
// is still kept and open, and the file, still at its path, as writable as it was. Every
// database call asks: this costs a look at the working folder and at the file's access.
std::shared_ptr<Kept> foundBefore(const QString &fileName, const FolderStamp &stamp)
{
    const auto found = foundFiles().constFind(fileName);
    if (!stamp.isValid() || found == foundFiles().cend() || found->stamp != stamp)
        return nullptr;
    const auto kept = keptConnections().find(found->key);
    if (kept == keptConnections().end() || kept->second.get() != found->kept
        || kept->second->shutDown || !kept->second->db.isOpen()
        || !asWritableAsOpened(*kept->second))
        return nullptr;
    return kept->second;
}

// The kept connection of the database in the source, opened when there is none or the one
// kept is stale.
std::shared_ptr<Kept> findKept(const QString &fileName, const DataSource &source, QSqlError &error)
{
    auto &kept = keptConnections();
    // Another working folder, or a server named anew, is another set of databases: those
    // of the last one are let go.
    const QString identity = source.identity();
    for (auto it = kept.begin(); it != kept.end();) {
        auto next = std::next(it);
        if (it->second->source.identity() != identity)
            dropKept(it);
        it = next;
    }
    QString key;
    if (source.onServer()) {
        key = identity + u'/' + schemaOf(fileName);
    } else {
        key = findInWorkingFolder(fileName);
        if (key.isEmpty()) {
            dropConnectionsOfMissingFiles();
            error = missingDatabase(fileName);
            return nullptr;
        }
    }
    const auto found = kept.find(key);
    if (found != kept.end()) {
        if (stillCurrent(*found->second))
            return found->second;
        if (!found->second->onServer())
            leaveLogOnClose(found->second->db);
        dropKept(found);
    }
    std::shared_ptr<Kept> opened = openKept(source, fileName, key, error);
    if (opened)
        kept.emplace(key, opened);
    return opened;
}

} // namespace

std::vector<std::shared_ptr<Kept>> &letGoConnections()
{
    static auto *letGo = new std::vector<std::shared_ptr<Kept>>;
    return *letGo;
}

void closeKeptConnections()
{
    auto &kept = keptConnections();
    while (!kept.empty())
        dropKept(kept.begin());
}

// As foundBefore() or findKept() gives it.
std::shared_ptr<Kept> useKept(const QString &fileName, QSqlError &error)
{
    static bool closedAtEnd = false;
    if (!std::exchange(closedAtEnd, true))
        qAddPostRoutine([] {
            closeKeptConnections();
            letGoConnections().clear();
            closedAtEnd = false;
        });

    letGoConnections().clear();
    // Taken before the folder is searched: a change meanwhile gives another stamp next time.
    const FolderStamp stamp = settledWorkingFolderStamp();
    if (std::shared_ptr<Kept> kept = foundBefore(fileName, stamp))
        return kept;
    const DataSource source = currentDataSource();
    std::shared_ptr<Kept> kept = findKept(fileName, source, error);
    if (kept && !source.onServer() && !source.fromSettings && stamp.isValid())
        foundFiles().insert(fileName, { stamp, kept->key, kept.get() });
    else
        foundFiles().remove(fileName);
    return kept;
}

} // namespace tallic

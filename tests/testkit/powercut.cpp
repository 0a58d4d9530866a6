#include "testkit/powercut.h"

#include "store/database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace tallic::testkit {

namespace {

// A write or a truncation not yet synced.
struct Change
{
    qint64 offset = 0;
    QByteArray data;
    bool truncation = false;
};

// A file as the disk holds it, and what was done to it since its last sync.
struct OnDisk
{
    QByteArray bytes;
    std::vector<Change> pending;
};

// Shared by every connection's thread; the layer stays registered with SQLite once made,
// passing everything through while no disk lives.
struct Layer
{
    std::mutex mutex;
    bool active = false;
    std::function<bool(const QString &)> check;
    std::map<QString, OnDisk> files; // by full path
    sqlite3_vfs *under = nullptr; // the default layer before
    sqlite3_vfs vfs {};
};

Layer &layer()
{
    static auto *l = new Layer;
    return *l;
}

// A file of this layer, the file of the layer under it after it in the same block.
struct File
{
    sqlite3_file base;
    sqlite3_file *real;
    QString path; // empty for a file SQLite names none (temporary)
};
constexpr int RealOffset = (sizeof(File) + 7) & ~7;

sqlite3_file *real(sqlite3_file *file)
{
    return reinterpret_cast<File *>(file)->real;
}

void apply(QByteArray &bytes, const Change &change)
{
    const qint64 end = change.offset + change.data.size();
    if (end > bytes.size())
        bytes.append(QByteArray(end - bytes.size(), '\0'));
    if (change.truncation)
        bytes.truncate(change.offset);
    else
        std::memcpy(bytes.data() + change.offset, change.data.constData(), change.data.size());
}

// Notes a change to the file, when the disk keeps it.
void note(sqlite3_file *file, Change change)
{
    Layer &l = layer();
    std::lock_guard lock(l.mutex);
    const auto found = l.files.find(reinterpret_cast<File *>(file)->path);
    if (l.active && found != l.files.end())
        found->second.pending.push_back(std::move(change));
}

int close(sqlite3_file *file)
{
    const int rc = real(file)->pMethods->xClose(real(file));
    reinterpret_cast<File *>(file)->~File();
    return rc;
}

int read(sqlite3_file *file, void *buffer, int amount, sqlite3_int64 offset)
{
    return real(file)->pMethods->xRead(real(file), buffer, amount, offset);
}

int write(sqlite3_file *file, const void *buffer, int amount, sqlite3_int64 offset)
{
    const int rc = real(file)->pMethods->xWrite(real(file), buffer, amount, offset);
    if (rc == SQLITE_OK)
        note(file, { offset, QByteArray(static_cast<const char *>(buffer), amount), false });
    return rc;
}

int truncate(sqlite3_file *file, sqlite3_int64 size)
{
    const int rc = real(file)->pMethods->xTruncate(real(file), size);
    if (rc == SQLITE_OK)
        note(file, { size, {}, true });
    return rc;
}

// What was done before the sync reaches the disk when it succeeds, and is lost for good
// when it fails.
int sync(sqlite3_file *file, int flags)
{
    Layer &l = layer();
    const QString &path = reinterpret_cast<File *>(file)->path;
    std::function<bool(const QString &)> check;
    {
        std::lock_guard lock(l.mutex);
        if (l.active && !path.isEmpty())
            check = l.check;
    }
    const bool fails = check && !check(path);
    std::vector<Change> taken;
    {
        std::lock_guard lock(l.mutex);
        if (const auto found = l.files.find(path); l.active && found != l.files.end())
            taken = std::exchange(found->second.pending, {});
    }
    const int rc = fails ? SQLITE_IOERR_FSYNC : real(file)->pMethods->xSync(real(file), flags);
    std::lock_guard lock(l.mutex);
    if (const auto found = l.files.find(path); rc == SQLITE_OK && found != l.files.end()) {
        for (const Change &change : taken)
            apply(found->second.bytes, change);
    }
    return rc;
}

#define PASS(name, ...) real(file)->pMethods->name(real(file) __VA_OPT__(, ) __VA_ARGS__)

const sqlite3_io_methods methods = {
    3,
    close,
    read,
    write,
    truncate,
    sync,
    [](sqlite3_file *file, sqlite3_int64 *size) { return PASS(xFileSize, size); },
    [](sqlite3_file *file, int lock) { return PASS(xLock, lock); },
    [](sqlite3_file *file, int lock) { return PASS(xUnlock, lock); },
    [](sqlite3_file *file, int *reserved) { return PASS(xCheckReservedLock, reserved); },
    [](sqlite3_file *file, int op, void *arg) { return PASS(xFileControl, op, arg); },
    [](sqlite3_file *file) { return PASS(xSectorSize); },
    [](sqlite3_file *file) { return PASS(xDeviceCharacteristics); },
    [](sqlite3_file *file, int region, int size, int extend, void volatile **at) {
        return PASS(xShmMap, region, size, extend, at);
    },
    [](sqlite3_file *file, int offset, int n, int flags) {
        return PASS(xShmLock, offset, n, flags);
    },
    [](sqlite3_file *file) { PASS(xShmBarrier); },
    [](sqlite3_file *file, int deleting) { return PASS(xShmUnmap, deleting); },
    [](sqlite3_file *file, sqlite3_int64 offset, int amount, void **at) {
        return PASS(xFetch, offset, amount, at);
    },
    [](sqlite3_file *file, sqlite3_int64 offset, void *at) { return PASS(xUnfetch, offset, at); },
};

#undef PASS

// The bytes of the file as it is now: what the disk holds of a file first seen.
QByteArray contents(sqlite3_file *file)
{
    sqlite3_int64 size = 0;
    if (file->pMethods->xFileSize(file, &size) != SQLITE_OK || size <= 0)
        return {};
    QByteArray bytes(size, '\0');
    if (file->pMethods->xRead(file, bytes.data(), int(size), 0) != SQLITE_OK)
        return {};
    return bytes;
}

int open(sqlite3_vfs *, const char *name, sqlite3_file *file, int flags, int *outFlags)
{
    Layer &l = layer();
    auto *own = new (file) File {
        {}, reinterpret_cast<sqlite3_file *>(reinterpret_cast<char *>(file) + RealOffset), {}
    };
    own->real->pMethods = nullptr;
    const int rc = l.under->xOpen(l.under, name, own->real, flags, outFlags);
    if (rc != SQLITE_OK) {
        if (own->real->pMethods)
            own->real->pMethods->xClose(own->real);
        own->~File();
        file->pMethods = nullptr;
        return rc;
    }
    file->pMethods = &methods;
    if (name && !(flags & SQLITE_OPEN_DELETEONCLOSE))
        own->path = QString::fromUtf8(name);
    std::lock_guard lock(l.mutex);
    if (l.active && !own->path.isEmpty() && !l.files.contains(own->path))
        l.files[own->path].bytes = contents(own->real);
    return SQLITE_OK;
}

int remove(sqlite3_vfs *, const char *name, int syncFolder)
{
    Layer &l = layer();
    const int rc = l.under->xDelete(l.under, name, syncFolder);
    std::lock_guard lock(l.mutex);
    l.files.erase(QString::fromUtf8(name));
    return rc;
}

sqlite3_vfs *registeredVfs()
{
    Layer &l = layer();
    if (!l.under) {
        l.under = sqlite3_vfs_find(nullptr);
        l.vfs = *l.under;
        l.vfs.pNext = nullptr;
        l.vfs.zName = "tallic-powercut";
        l.vfs.szOsFile = RealOffset + l.under->szOsFile;
        l.vfs.xOpen = &open;
        l.vfs.xDelete = &remove;
    }
    return &l.vfs;
}

} // namespace

PowerCutDisk::PowerCutDisk()
{
    sqlite3_vfs *vfs = registeredVfs();
    {
        Layer &l = layer();
        std::lock_guard lock(l.mutex);
        l.active = true;
        l.files.clear();
        l.check = nullptr;
    }
    sqlite3_vfs_register(vfs, 1);
}

PowerCutDisk::~PowerCutDisk()
{
    Layer &l = layer();
    {
        std::lock_guard lock(l.mutex);
        l.active = false;
        l.files.clear();
        l.check = nullptr;
    }
    // Connections opened meanwhile keep the layer, which passes everything through now.
    sqlite3_vfs_unregister(&l.vfs);
    sqlite3_vfs_register(l.under, 1);
}

void PowerCutDisk::onSync(std::function<bool(const QString &)> check)
{
    Layer &l = layer();
    std::lock_guard lock(l.mutex);
    l.check = std::move(check);
}

QString PowerCutDisk::cut(const QString &folder)
{
    afterCut_ = std::make_unique<QTemporaryDir>();
    const QString from = QDir(folder).canonicalPath();
    Layer &l = layer();
    std::lock_guard lock(l.mutex);
    for (const auto &[path, onDisk] : l.files) {
        const QFileInfo info(path);
        if (info.dir().canonicalPath() != from || path.endsWith(QStringLiteral("-shm")))
            continue;
        QFile copy(QDir(afterCut_->path()).filePath(info.fileName()));
        if (!copy.open(QIODevice::WriteOnly) || copy.write(onDisk.bytes) != onDisk.bytes.size())
            qFatal("The files after the power cut cannot be written to %s",
                   qPrintable(afterCut_->path()));
    }
    return afterCut_->path();
}

void beginLog(const QString &fileName)
{
    SuiteDb db(fileName);
    EXPECT_TRUE(db.exec(QStringLiteral("create table tallic_log_begun (x)")).ok()
                && db.exec(QStringLiteral("drop table tallic_log_begun")).ok());
}

} // namespace tallic::testkit

#include "copyintofile.h"

#include "sqlitefiles.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

namespace tallic {

namespace {

constexpr char VfsName[] = "tallic-copy";
constexpr int BufferSize = 1 << 20;

// The copy's database file: a part of another file from an offset, which the copy writes
// page after page. Pages come in order, so they are gathered and written a megabyte at a
// time; one that does not follow the last sends what was gathered and starts anew.
struct Region
{
    sqlite3_file base; // first: SQLite sees the region as this
    int fd;
    qint64 offset;
    qint64 size;
    qint64 gatheredAt; // where the gathered bytes belong in the region
    int gathered;
    unsigned char *buffer;
};

Region *region(sqlite3_file *file)
{
    return reinterpret_cast<Region *>(file);
}

int writeAll(const Region *r, const unsigned char *bytes, qint64 length, qint64 at)
{
    while (length > 0) {
        const ssize_t written = ::pwrite(r->fd, bytes, size_t(length), r->offset + at);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return errno == ENOSPC || errno == EDQUOT ? SQLITE_FULL : SQLITE_IOERR_WRITE;
        bytes += written;
        at += written;
        length -= written;
    }
    return SQLITE_OK;
}

int flush(Region *r)
{
    if (r->gathered == 0)
        return SQLITE_OK;
    const int rc = writeAll(r, r->buffer, r->gathered, r->gatheredAt);
    // The disk starts on it now, not all at once at the sync.
    if (rc == SQLITE_OK)
        ::sync_file_range(r->fd, r->offset + r->gatheredAt, r->gathered, SYNC_FILE_RANGE_WRITE);
    r->gatheredAt += r->gathered;
    r->gathered = 0;
    return rc;
}

int regionClose(sqlite3_file *file)
{
    Region *r = region(file);
    const int rc = flush(r);
    sqlite3_free(r->buffer);
    r->buffer = nullptr;
    return rc;
}

int regionRead(sqlite3_file *file, void *into, int length, sqlite3_int64 at)
{
    Region *r = region(file);
    if (const int rc = flush(r); rc != SQLITE_OK)
        return rc;
    ssize_t read = 0;
    if (at < r->size)
        read = ::pread(r->fd, into, size_t(qMin<qint64>(length, r->size - at)), r->offset + at);
    if (read < 0)
        return SQLITE_IOERR_READ;
    if (read < length) {
        std::memset(static_cast<char *>(into) + read, 0, size_t(length - read));
        return SQLITE_IOERR_SHORT_READ;
    }
    return SQLITE_OK;
}

int regionWrite(sqlite3_file *file, const void *from, int length, sqlite3_int64 at)
{
    Region *r = region(file);
    const auto *bytes = static_cast<const unsigned char *>(from);
    const bool follows = at == r->gatheredAt + r->gathered;
    if (!follows || r->gathered + length > BufferSize) {
        if (const int rc = flush(r); rc != SQLITE_OK)
            return rc;
        r->gatheredAt = at;
    }
    int rc = SQLITE_OK;
    if (length <= BufferSize) {
        std::memcpy(r->buffer + r->gathered, bytes, size_t(length));
        r->gathered += length;
    } else {
        rc = writeAll(r, bytes, length, at);
        r->gatheredAt = at + length;
    }
    r->size = qMax<qint64>(r->size, at + length);
    return rc;
}

int regionTruncate(sqlite3_file *file, sqlite3_int64 size)
{
    Region *r = region(file);
    const int rc = flush(r);
    r->size = qMin<qint64>(r->size, size);
    return rc;
}

// What the copy's commit syncs is written out; the caller syncs the whole file once.
int regionSync(sqlite3_file *file, int)
{
    return flush(region(file));
}

int regionFileSize(sqlite3_file *file, sqlite3_int64 *size)
{
    *size = region(file)->size;
    return SQLITE_OK;
}

// Only the copy uses the region.
int regionLock(sqlite3_file *, int)
{
    return SQLITE_OK;
}

int regionReserved(sqlite3_file *, int *reserved)
{
    *reserved = 0;
    return SQLITE_OK;
}

int regionControl(sqlite3_file *, int, void *)
{
    return SQLITE_NOTFOUND;
}

int regionSectorSize(sqlite3_file *)
{
    return 4096;
}

int regionCharacteristics(sqlite3_file *)
{
    return 0;
}

const sqlite3_io_methods RegionMethods {
    .iVersion = 1,
    .xClose = regionClose,
    .xRead = regionRead,
    .xWrite = regionWrite,
    .xTruncate = regionTruncate,
    .xSync = regionSync,
    .xFileSize = regionFileSize,
    .xLock = regionLock,
    .xUnlock = regionLock,
    .xCheckReservedLock = regionReserved,
    .xFileControl = regionControl,
    .xSectorSize = regionSectorSize,
    .xDeviceCharacteristics = regionCharacteristics,
    // Of later versions: shared memory and mapping, which the region has neither of.
    .xShmMap = nullptr,
    .xShmLock = nullptr,
    .xShmBarrier = nullptr,
    .xShmUnmap = nullptr,
    .xFetch = nullptr,
    .xUnfetch = nullptr,
};

int openRegion(sqlite3_vfs *, const char *name, sqlite3_file *file, int flags, int *opened)
{
    Region *r = region(file);
    std::memset(r, 0, sizeof(Region));
    // Only the database itself: the copy keeps no journal.
    if (!(flags & SQLITE_OPEN_MAIN_DB) || !name)
        return SQLITE_CANTOPEN;
    r->fd = int(sqlite3_uri_int64(name, "fd", -1));
    r->offset = sqlite3_uri_int64(name, "offset", -1);
    r->buffer = static_cast<unsigned char *>(sqlite3_malloc(BufferSize));
    if (r->fd < 0 || r->offset < 0 || !r->buffer) {
        sqlite3_free(r->buffer);
        return r->buffer ? SQLITE_CANTOPEN : SQLITE_NOMEM;
    }
    r->base.pMethods = &RegionMethods;
    if (opened)
        *opened = flags;
    return SQLITE_OK;
}

// No journal, log or other file is there.
int accessRegion(sqlite3_vfs *, const char *, int, int *found)
{
    *found = 0;
    return SQLITE_OK;
}

int fullRegionName(sqlite3_vfs *, const char *name, int length, char *full)
{
    sqlite3_snprintf(length, full, "%s", name);
    return SQLITE_OK;
}

sqlite3_vfs *regionVfs()
{
    static sqlite3_vfs vfs;
    static std::once_flag registered;
    std::call_once(registered, [] {
        // The computer's own for time, randomness and sleep.
        vfs = *sqlite3_vfs_find(nullptr);
        vfs.iVersion = 2;
        vfs.szOsFile = sizeof(Region);
        vfs.zName = VfsName;
        vfs.pNext = nullptr;
        vfs.xOpen = openRegion;
        vfs.xDelete = nullptr;
        vfs.xAccess = accessRegion;
        vfs.xFullPathname = fullRegionName;
        sqlite3_vfs_register(&vfs, 0);
    });
    return &vfs;
}

} // namespace

Result<qint64> copyDatabaseIntoFile(const QSqlDatabase &db, const QString &schema, int fd,
                                    qint64 offset)
{
    sqlite3 *source = nativeHandle(db);
    if (!db.isOpen() || !source)
        return Failure(0, QStringLiteral("the database is not open"));
    const QByteArray name
        = "file:copy?fd=" + QByteArray::number(fd) + "&offset=" + QByteArray::number(offset);
    sqlite3 *target = nullptr;
    int rc = sqlite3_open_v2(name.constData(), &target,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI,
                             regionVfs()->zName);
    // Without a journal: the copy is thrown away whole when it fails. Its commit hands what
    // is gathered to the region, which reports a failure to write.
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(target, "pragma journal_mode = off; pragma synchronous = normal", nullptr,
                          nullptr, nullptr);
    qint64 size = 0;
    if (rc == SQLITE_OK)
        rc = backupInto(target, source, schema);
    // Whatever is still gathered written now, where a failure to write can be told.
    sqlite3_file *file = nullptr;
    if (rc == SQLITE_OK) {
        rc = sqlite3_file_control(target, "main", SQLITE_FCNTL_FILE_POINTER, &file);
        if (rc == SQLITE_OK)
            rc = file ? flush(region(file)) : SQLITE_ERROR;
        if (rc == SQLITE_OK)
            size = region(file)->size;
    }
    Result<qint64> copied = size;
    if (rc != SQLITE_OK)
        copied = Failure(0,
                         QString::fromUtf8(rc == SQLITE_FULL || !target ? sqlite3_errstr(rc)
                                                                        : sqlite3_errmsg(target)));
    sqlite3_close(target);
    return copied;
}

} // namespace tallic

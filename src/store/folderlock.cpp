#include "folderlock.h"

#include "database.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

const QString LockFileName = u"tallic.lock"_s;
// Byte 0 of the file is the folder's lock. Each holder also locks a slot of its own, where
// it writes who it is: a slot whose lock is free holds the words of a program gone.
constexpr qint64 SlotSize = 128;
constexpr int Slots = 64;
// The server's advisory lock ("Tall"), in the database's own space of such locks.
constexpr qint64 ServerKey = 0x54616c6c;

// Locks of the open file itself (not of the process): two holders in one process are two
// holders, and a conversion from shared to alone that fails keeps the shared lock.
bool setLock(int fd, short type, qint64 at)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = at;
    lock.l_len = 1;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

bool heldByOther(int fd, qint64 at)
{
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = at;
    lock.l_len = 1;
    return ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

QString describe(const QString &program)
{
    const struct passwd *account = ::getpwuid(::getuid());
    const QString user
        = account ? QString::fromLocal8Bit(account->pw_name) : QString::number(::getuid());
    // Short enough for a server's application_name (63 bytes).
    return u"%1, process %2, %3@%4, since %5"_s.arg(program)
        .arg(QCoreApplication::applicationPid())
        .arg(user, QSysInfo::machineHostName(), QTime::currentTime().toString(u"hh:mm"_s));
}

std::unique_ptr<FolderLock> &held()
{
    static std::unique_ptr<FolderLock> lock;
    return lock;
}

} // namespace

FolderLock::~FolderLock()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!connection_.isEmpty()) {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection_);
    }
}

Result<std::unique_ptr<FolderLock>> FolderLock::take(const DataSource &source,
                                                     const QString &program, Use use)
{
    std::unique_ptr<FolderLock> lock(new FolderLock);
    lock->who_ = describe(program);
    const Result<void> taken
        = source.onServer() ? lock->takeServer(source, use) : lock->takeFile(source.folder, use);
    if (!taken)
        return taken.failure();
    return lock;
}

Result<void> FolderLock::takeFile(const QString &folder, Use use)
{
    folder_ = folder;
    if (!QFileInfo(folder).isDir())
        return {};
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(LockFileName));
    fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
        const auto permissions = filePermissionsIn(folder);
        ::fchmod(fd_,
                 0600 | (permissions & QFile::ReadGroup ? 040 : 0)
                     | (permissions & QFile::WriteGroup ? 020 : 0));
    } else {
        fd_ = ::open(path.constData(), O_RDWR | O_CLOEXEC);
    }
    // A folder this user may only read is shared without a word of who reads it.
    if (fd_ < 0 && use == Use::Shared)
        fd_ = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        if (use == Use::Shared)
            return {};
        return Failure(0,
                       QFile::decodeName(path) + u": "_s + QString::fromLocal8Bit(strerror(errno)));
    }
    for (int slot = 1; slot <= Slots; ++slot) {
        if (setLock(fd_, F_WRLCK, slot * SlotSize)) {
            QByteArray text = who_.toUtf8().left(SlotSize - 1);
            text.resize(SlotSize, '\0');
            if (::pwrite(fd_, text.constData(), size_t(SlotSize), slot * SlotSize) != SlotSize)
                setLock(fd_, F_UNLCK, slot * SlotSize);
            break;
        }
    }
    return lockedAs(use);
}

Result<void> FolderLock::takeServer(const DataSource &source, Use use)
{
    static std::atomic<quint64> serial { 0 };
    connection_ = u"folder-lock-"_s + QString::number(++serial);
    folder_ = u"the server's database "_s + source.database;
    const Result<QSqlDatabase> opened = openServerDatabase(connection_, source);
    if (!opened)
        return {};
    db_ = *opened;
    QSqlQuery name(db_);
    name.exec(u"set application_name to "_s + sqlLiteral(who_.left(63)));
    return lockedAs(use);
}

Result<void> FolderLock::lockedAs(Use use)
{
    if (fd_ >= 0) {
        if (setLock(fd_, use == Use::Alone ? F_WRLCK : F_RDLCK, 0))
            return {};
        if (errno != EAGAIN && errno != EACCES)
            return Failure(0,
                           folder_ + u'/' + LockFileName + u": "_s
                               + QString::fromLocal8Bit(strerror(errno)));
    } else if (db_.isOpen()) {
        QSqlQuery query(db_);
        if (!query.exec(u"select pg_try_advisory_lock%1(%2)"_s.arg(
                use == Use::Alone ? QString() : u"_shared"_s, QString::number(ServerKey)))
            || !query.next())
            return Failure(0, folder_ + u": "_s + query.lastError().text());
        if (query.value(0).toBool())
            return {};
    } else {
        return {};
    }
    QStringList names = others();
    if (names.isEmpty())
        names << u"another program, which did not say who it is"_s;
    return Failure(0, folder_ + u" is in use by "_s + names.join(u"; "_s));
}

QStringList FolderLock::others()
{
    QStringList names;
    if (fd_ >= 0) {
        for (int slot = 1; slot <= Slots; ++slot) {
            if (!heldByOther(fd_, slot * SlotSize))
                continue;
            char text[SlotSize + 1] = {};
            if (::pread(fd_, text, size_t(SlotSize), slot * SlotSize) > 0 && text[0])
                names << QString::fromUtf8(text);
        }
        return names;
    }
    QSqlQuery query(db_);
    if (!query.exec(u"select a.application_name, coalesce(host(a.client_addr), 'this server') "
                    u"from pg_locks l join pg_stat_activity a on a.pid = l.pid where "
                    u"l.locktype = 'advisory' and l.granted and l.classid = 0 and l.objid = "_s
                    + QString::number(ServerKey)
                    + u" and l.objsubid = 1 and l.database = (select oid from pg_database where "
                      u"datname = current_database()) and l.pid <> pg_backend_pid()"_s))
        return names;
    while (query.next()) {
        const QString name = query.value(0).toString();
        names << (name.isEmpty() ? u"a session from "_s + query.value(1).toString() : name);
    }
    names.removeDuplicates();
    return names;
}

Result<void> FolderLock::alone()
{
    const Result<void> taken = lockedAs(Use::Alone);
    alone_ = alone_ || taken;
    return taken;
}

void FolderLock::share()
{
    if (!alone_)
        return;
    alone_ = false;
    if (fd_ >= 0)
        setLock(fd_, F_RDLCK, 0);
    else if (db_.isOpen())
        QSqlQuery(u"select pg_advisory_unlock(%1)"_s.arg(ServerKey), db_);
}

Result<void> holdDataFolder(const DataSource &source, const QString &program)
{
    held().reset();
    if (!source.problem.isEmpty())
        return {};
    Result<std::unique_ptr<FolderLock>> lock
        = FolderLock::take(source, program, FolderLock::Use::Shared);
    if (!lock)
        return lock.failure();
    held() = std::move(*lock);
    return {};
}

FolderLock *heldDataFolder()
{
    return held().get();
}

void releaseDataFolder()
{
    held().reset();
}

QFileDevice::Permissions filePermissionsIn(const QString &folder)
{
    QFileDevice::Permissions permissions
        = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    // A group that may write in the folder works there; one that may only look in is not
    // shown the members' accounts.
    if (QFileInfo(folder).permission(QFile::WriteGroup))
        permissions |= QFile::ReadGroup | QFile::WriteGroup;
    return permissions;
}

} // namespace tallic

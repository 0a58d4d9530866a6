#include "pendingwrites.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSysInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// One line a change: a write added, or a key forgotten. A line cut short by a power cut reads
// as nothing, and each line begins on a line of its own.
const QString Added = u"add"_s;
const QString Forgotten = u"done"_s;

const char *const KindNames[] = { "chit", "generated", "correction", "deletion" };

QString kindName(PendingWrite::Kind kind)
{
    return QString::fromLatin1(KindNames[int(kind)]);
}

PendingWrite::Kind kindOf(const QString &name)
{
    for (int i = 0; i < 4; ++i) {
        if (name == QLatin1StringView(KindNames[i]))
            return PendingWrite::Kind(i);
    }
    return PendingWrite::Kind::Chit;
}

QByteArray lineOf(const PendingWrite &w)
{
    const QJsonObject object {
        { u"op"_s, Added },
        { u"key"_s, w.key },
        { u"kind"_s, kindName(w.kind) },
        { u"chit"_s, w.chit },
        { u"member"_s, w.member },
        { u"origin"_s, w.origin },
        { u"at"_s, w.at.toString(Qt::ISODate) },
        { u"pid"_s, QString::number(w.session.pid) },
        { u"started"_s, QString::number(w.session.started) },
        { u"fields"_s, QJsonArray::fromStringList(w.fields) },
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

PendingWrite writeOf(const QJsonObject &o)
{
    PendingWrite w;
    w.key = o.value(u"key"_s).toString();
    w.kind = kindOf(o.value(u"kind"_s).toString());
    w.chit = o.value(u"chit"_s).toString();
    w.member = o.value(u"member"_s).toString();
    w.origin = o.value(u"origin"_s).toString();
    w.at = QDateTime::fromString(o.value(u"at"_s).toString(), Qt::ISODate);
    w.session = { o.value(u"pid"_s).toString().toLongLong(),
                  o.value(u"started"_s).toString().toLongLong() };
    for (const QJsonValue &field : o.value(u"fields"_s).toArray())
        w.fields << field.toString();
    return w;
}

// The writes the lines leave recorded, in the order they were added.
QList<PendingWrite> replay(const QByteArray &contents)
{
    QList<PendingWrite> writes;
    for (const QByteArray &line : contents.split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        const QString key = o.value(u"key"_s).toString();
        if (key.isEmpty())
            continue;
        writes.removeIf([&key](const PendingWrite &w) { return w.key == key; });
        if (o.value(u"op"_s).toString() == Added)
            writes.append(writeOf(o));
    }
    return writes;
}

bool syncFolder(const QString &path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// The file, open and locked for this program alone; another that removed it meanwhile is
// not written into. -1 with errno when it cannot be opened.
int openLocked(const QString &path, int flags)
{
    const QByteArray name = QFile::encodeName(path);
    for (;;) {
        const int fd = ::open(name.constData(), flags | O_CLOEXEC, 0600);
        if (fd < 0)
            return -1;
        struct stat status;
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &status) == 0 && status.st_nlink > 0)
            return fd;
        ::close(fd);
    }
}

QByteArray readAll(int fd)
{
    QByteArray contents;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::pread(fd, buffer, sizeof buffer, off_t(contents.size()))) > 0)
        contents.append(buffer, got);
    return contents;
}

bool appendLine(int fd, const QByteArray &line)
{
    const QByteArray record = '\n' + line + '\n';
    return ::write(fd, record.constData(), size_t(record.size())) == record.size()
        && ::fdatasync(fd) == 0;
}

// The suite's number for a file that cannot be used.
constexpr qint32 FileAccessError = 75;

Failure fileFailure(const QString &path)
{
    return Failure { FileAccessError,
                     u"The file "_s + path + u" cannot be written: "_s
                         + QString::fromLocal8Bit(strerror(errno)) };
}

} // namespace

QString pendingWritesFile()
{
    QString host = QSysInfo::machineHostName();
    static const QRegularExpression unsafe(u"[^A-Za-z0-9._-]"_s);
    host.replace(unsafe, u"_"_s);
    return QDir::current().absoluteFilePath(u"tallic-unresolved-"_s + host + u".log"_s);
}

Result<void> recordPending(const PendingWrite &write)
{
    const QString path = pendingWritesFile();
    const bool existed = QFileInfo::exists(path);
    const int fd = openLocked(path, O_WRONLY | O_APPEND | O_CREAT);
    if (fd < 0)
        return fileFailure(path);
    const bool written = appendLine(fd, lineOf(write));
    ::close(fd);
    // A file made now is on the disk only once its folder is.
    if (!written || (!existed && !syncFolder(path)))
        return fileFailure(path);
    return {};
}

QList<PendingWrite> pendingWrites()
{
    const int fd = ::open(QFile::encodeName(pendingWritesFile()).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    ::flock(fd, LOCK_SH);
    const QByteArray contents = readAll(fd);
    ::close(fd);
    return replay(contents);
}

Result<void> forgetPending(const QString &key)
{
    const QString path = pendingWritesFile();
    const int fd = openLocked(path, O_RDWR | O_APPEND);
    if (fd < 0)
        return errno == ENOENT ? Result<void>() : Result<void>(fileFailure(path));
    QList<PendingWrite> left = replay(readAll(fd));
    if (!left.removeIf([&key](const PendingWrite &w) { return w.key == key; })) {
        ::close(fd);
        return {};
    }
    bool done = true;
    if (left.isEmpty())
        done = ::unlink(QFile::encodeName(path).constData()) == 0 && syncFolder(path);
    else
        done = appendLine(fd,
                          QJsonDocument(QJsonObject { { u"op"_s, Forgotten }, { u"key"_s, key } })
                              .toJson(QJsonDocument::Compact));
    ::close(fd);
    if (!done)
        return fileFailure(path);
    return {};
}

} // namespace tallic

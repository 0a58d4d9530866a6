#include "platform.h"

#include "qtplatform.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <sys/vfs.h>
#endif
#ifdef Q_OS_UNIX
#include <QHash>
#include <QMutex>

#include <ctime>

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#endif

namespace tallic {

namespace {

Platform *installed = nullptr;

#ifdef Q_OS_UNIX
// A folder's entries by their names in lower case, as read when the folder last changed.
struct Listing
{
    dev_t device = 0;
    ino_t inode = 0;
    timespec changed { -1, 0 }; // never a folder's time: read again
    QHash<QByteArray, QList<QByteArray>> names;
};

// A folder changed this recently may change again within the same tick of its clock and
// keep its time: its listing is read again on every look.
constexpr time_t SettledSeconds = 2;

QByteArray lowered(const char *name)
{
    QByteArray lower(name);
    for (char &c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return lower;
}

// Every entry whose name is the plain ASCII name in any case, or when keep is given, every
// entry of the folder kept there by its name in lower case, and the matches.
QList<QByteArray> readFolder(const QByteArray &path, const QByteArray &name, Listing *keep)
{
    QList<QByteArray> matches;
    DIR *entries = ::opendir(path.constData());
    while (dirent *entry = entries ? ::readdir(entries) : nullptr) {
        if (keep)
            keep->names[lowered(entry->d_name)].append(QByteArray(entry->d_name));
        if (::strcasecmp(entry->d_name, name.constData()) == 0)
            matches.append(QByteArray(entry->d_name));
    }
    if (entries)
        ::closedir(entries);
    return matches;
}

// The names in the folder that match the plain ASCII name whatever their case. A file
// looked for on every database call is mostly not there at all ("tallic.ini"): one look at
// the folder's time answers that, once the folder has settled.
QList<QByteArray> entriesNamed(const QString &folder, const QByteArray &name)
{
    static QMutex guard;
    static QHash<QByteArray, Listing> listings;
    const QByteArray path = QFile::encodeName(folder);
    struct stat status;
    if (::stat(path.constData(), &status) != 0)
        return {};
    const QMutexLocker locked(&guard);
    Listing &listing = listings[path];
    if (listing.device == status.st_dev && listing.inode == status.st_ino
        && listing.changed.tv_sec == status.st_mtim.tv_sec
        && listing.changed.tv_nsec == status.st_mtim.tv_nsec)
        return listing.names.value(lowered(name.constData()));
    listing = Listing();
    if (std::time(nullptr) - status.st_mtim.tv_sec < SettledSeconds)
        return readFolder(path, name, nullptr);
    listing.device = status.st_dev;
    listing.inode = status.st_ino;
    listing.changed = status.st_mtim;
    return readFolder(path, name, &listing);
}
#endif

} // namespace

Platform::~Platform() = default;

void Platform::waitForClipboard(int ms)
{
    if (clipboardText().isEmpty())
        QThread::msleep(ulong(ms));
}

quint64 Platform::fileSystemType(const QString &folder)
{
#ifdef Q_OS_LINUX
    struct statfs info
    {
    };
    if (::statfs(QFile::encodeName(folder).constData(), &info) == 0)
        return quint64(info.f_type) & 0xFFFFFFFFu;
#else
    Q_UNUSED(folder)
#endif
    return 0;
}

Platform &platform()
{
    if (!installed) {
        // One real platform for the whole process: it holds the single-instance lock,
        // which must not be given up when a test swaps a fake in and out.
        static QtPlatform real;
        installed = &real;
    }
    return *installed;
}

Platform *setPlatform(Platform *p)
{
    Platform *previous = installed;
    installed = p;
    return previous;
}

QString findInFolder(const QString &folder, const QString &name)
{
    if (name.isEmpty())
        return QString();
    // The suite names its files as it pleases ("DAILY.MDB"); on disk they may be in any
    // case, most often all in one: a look at those names costs less than reading the folder.
    const QDir dir(folder);
    QStringList candidates { name };
    for (const QString &spelt : { name.toLower(), name.toUpper() }) {
        if (!candidates.contains(spelt))
            candidates << spelt;
    }
    for (const QString &candidate : std::as_const(candidates)) {
        const QFileInfo file(dir, candidate);
        if (file.isFile())
            return file.absoluteFilePath();
    }
#ifdef Q_OS_UNIX
    if (std::all_of(name.cbegin(), name.cend(),
                    [](QChar c) { return c.unicode() > 0 && c.unicode() < 0x80; })) {
        for (const QByteArray &entry : entriesNamed(dir.absolutePath(), name.toLatin1())) {
            const QFileInfo file(dir, QFile::decodeName(entry));
            if (file.isFile())
                return file.absoluteFilePath();
        }
        return QString();
    }
#endif
    QDirIterator entries(dir.absolutePath(), QDir::Files | QDir::Hidden);
    while (entries.hasNext()) {
        const QString path = entries.next();
        if (entries.fileName().compare(name, Qt::CaseInsensitive) == 0)
            return path;
    }
    return QString();
}

QString findInWorkingFolder(const QString &name)
{
    // Only bare names: a path would let the lookup leave the working folder.
    if (name == u"." || name == u".." || name.contains(u'/') || name.contains(u'\\'))
        return QString();
    return findInFolder(QDir::currentPath(), name);
}

QStringList splitCommandLine(const QString &commandLine)
{
    qsizetype start = 0;
    while (start < commandLine.size() && commandLine.at(start) == u' ')
        ++start;
    if (start == commandLine.size())
        return {};
    qsizetype end = commandLine.indexOf(u' ', start);
    if (end < 0)
        return { commandLine.mid(start) };
    QStringList parts { commandLine.mid(start, end - start) };
    while (end < commandLine.size() && commandLine.at(end) == u' ')
        ++end;
    if (end < commandLine.size())
        parts.append(commandLine.mid(end));
    return parts;
}

} // namespace tallic

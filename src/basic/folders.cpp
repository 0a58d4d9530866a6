#include "folders.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <optional>

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

#ifdef Q_OS_UNIX
// A folder's entries by their names in lower case, as read when the folder last changed.
struct Listing
{
    dev_t device = 0;
    ino_t inode = 0;
    timespec changed { -1, 0 }; // never a folder's time: read again
    QHash<QByteArray, QList<QByteArray>> names;
};

// A folder's time is kept to the tick of the kernel's clock (a few milliseconds) where it
// has digits below the second, and to a second or two where it has none (FAT, ext with
// small inodes). A folder changed more recently than that may change again within the
// same tick and keep its time: its listing is not kept.
constexpr qint64 SettledFineMs = 50;
constexpr qint64 SettledCoarseMs = 2000;

bool settled(const struct stat &status)
{
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const qint64 ageMs = (qint64(now.tv_sec) - qint64(status.st_mtim.tv_sec)) * 1000
        + (qint64(now.tv_nsec) - qint64(status.st_mtim.tv_nsec)) / 1000000;
    return ageMs >= (status.st_mtim.tv_nsec != 0 ? SettledFineMs : SettledCoarseMs);
}

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

// The names in a settled folder that match the plain ASCII name whatever their case, from
// the listing kept by the folder's time: one look at that time answers for a file looked
// for on every database call and mostly not there at all ("tallic.ini"). Nothing when the
// folder changed too recently for its listing to be kept.
std::optional<QList<QByteArray>> keptEntriesNamed(const QString &folder, const QByteArray &name)
{
    static QMutex guard;
    static QHash<QByteArray, Listing> listings;
    const QByteArray path = QFile::encodeName(folder);
    struct stat status;
    if (::stat(path.constData(), &status) != 0)
        return QList<QByteArray>();
    const QMutexLocker locked(&guard);
    Listing &listing = listings[path];
    if (listing.device == status.st_dev && listing.inode == status.st_ino
        && listing.changed.tv_sec == status.st_mtim.tv_sec
        && listing.changed.tv_nsec == status.st_mtim.tv_nsec)
        return listing.names.value(lowered(name.constData()));
    listing = Listing();
    if (!settled(status))
        return std::nullopt;
    listing.device = status.st_dev;
    listing.inode = status.st_ino;
    listing.changed = status.st_mtim;
    return readFolder(path, name, &listing);
}
#endif

} // namespace

QString findInFolder(const QString &folder, const QString &name)
{
    if (name.isEmpty())
        return QString();
    const QDir dir(folder);
    // The suite names its files as it pleases ("DAILY.MDB"); on disk they may be in any
    // case, most often all in one, and the name as asked comes first, then all in lower
    // case, then all in upper case.
    QStringList candidates { name };
    for (const QString &spelt : { name.toLower(), name.toUpper() }) {
        if (!candidates.contains(spelt))
            candidates << spelt;
    }
    // The first of the entries that is a file, those spelt as above before any other.
    const auto firstFile = [&dir, &candidates](const QList<QByteArray> &entries) {
        QStringList names;
        for (const QByteArray &entry : entries)
            names << QFile::decodeName(entry);
        QStringList ordered;
        for (const QString &candidate : std::as_const(candidates)) {
            if (names.contains(candidate))
                ordered << candidate;
        }
        for (const QString &other : std::as_const(names)) {
            if (!candidates.contains(other))
                ordered << other;
        }
        for (const QString &entry : std::as_const(ordered)) {
            const QFileInfo file(dir, entry);
            if (file.isFile())
                return file.absoluteFilePath();
        }
        return QString();
    };
#ifdef Q_OS_UNIX
    const bool plain = std::all_of(name.cbegin(), name.cend(),
                                   [](QChar c) { return c.unicode() > 0 && c.unicode() < 0x80; });
    if (plain) {
        if (const std::optional<QList<QByteArray>> kept
            = keptEntriesNamed(dir.absolutePath(), name.toLatin1()))
            return firstFile(*kept);
    }
#endif
    // A look at those names costs less than reading the folder.
    for (const QString &candidate : std::as_const(candidates)) {
        const QFileInfo file(dir, candidate);
        if (file.isFile())
            return file.absoluteFilePath();
    }
#ifdef Q_OS_UNIX
    if (plain)
        return firstFile(
            readFolder(QFile::encodeName(dir.absolutePath()), name.toLatin1(), nullptr));
#endif
    QDirIterator entries(dir.absolutePath(), QDir::Files | QDir::Hidden);
    while (entries.hasNext()) {
        const QString path = entries.next();
        if (entries.fileName().compare(name, Qt::CaseInsensitive) == 0)
            return path;
    }
    return QString();
}

FolderStamp settledWorkingFolderStamp()
{
#ifdef Q_OS_UNIX
    // Without asking for the folder's name: that costs as much again.
    struct stat status;
    if (::stat(".", &status) != 0 || !settled(status))
        return {};
    return { quint64(status.st_dev), quint64(status.st_ino),
             qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec };
#else
    return {};
#endif
}

QString findInWorkingFolder(const QString &name)
{
    // Only bare names: a path would let the lookup leave the working folder.
    if (name == u"." || name == u".." || name.contains(u'/') || name.contains(u'\\'))
        return QString();
    return findInFolder(QDir::currentPath(), name);
}

quint64 fileSystemTypeOf(const QString &folder)
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

} // namespace tallic

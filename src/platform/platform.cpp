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
#include <dirent.h>
#include <strings.h>
#endif

namespace tallic {

namespace {

Platform *installed = nullptr;

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
    for (const QString &candidate : { name, name.toLower(), name.toUpper() }) {
        const QFileInfo file(dir, candidate);
        if (file.isFile())
            return file.absoluteFilePath();
    }
#ifdef Q_OS_UNIX
    // The suite's names are plain ASCII, which the folder's own entries are compared with
    // byte by byte: a file looked for on every database call is mostly not there at all.
    if (std::all_of(name.cbegin(), name.cend(),
                    [](QChar c) { return c.unicode() > 0 && c.unicode() < 0x80; })) {
        const QByteArray wanted = name.toLatin1();
        DIR *entries = ::opendir(QFile::encodeName(dir.absolutePath()).constData());
        QString found;
        while (dirent *entry = entries ? ::readdir(entries) : nullptr) {
            if (::strcasecmp(entry->d_name, wanted.constData()) == 0) {
                const QFileInfo file(dir, QFile::decodeName(entry->d_name));
                if (file.isFile()) {
                    found = file.absoluteFilePath();
                    break;
                }
            }
        }
        if (entries)
            ::closedir(entries);
        return found;
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

#include "platform.h"

#include "qtplatform.h"

#include <QDir>
#include <QFileInfo>

namespace tallic {

namespace {

Platform *installed = nullptr;

} // namespace

Platform::~Platform() = default;

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

QString findInWorkingFolder(const QString &name)
{
    // Only bare names: a path would let the lookup leave the working folder.
    if (name.isEmpty() || name == u"." || name == u".." || name.contains(u'/')
        || name.contains(u'\\'))
        return QString();

    const QDir folder(QDir::currentPath());
    const QFileInfo exact(folder, name);
    if (exact.isFile())
        return exact.absoluteFilePath();

    // The suite names its files as it pleases ("DAILY.MDB"); on disk they may be in any case.
    const QFileInfoList entries = folder.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.fileName().compare(name, Qt::CaseInsensitive) == 0)
            return entry.absoluteFilePath();
    }
    return QString();
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

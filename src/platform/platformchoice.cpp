// The platform in use: the real one unless a test installed a fake. Apart from the
// interface, which the real platform includes.
#include "platform.h"

#include "qtplatform.h"

namespace tallic {

namespace {

Platform *installed = nullptr;

} // namespace

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

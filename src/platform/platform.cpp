#include "platform.h"

#include <QThread>

namespace tallic {

Platform::~Platform() = default;

void Platform::waitForClipboard(int ms)
{
    if (clipboardText().isEmpty())
        QThread::msleep(ulong(ms));
}

quint64 Platform::fileSystemType(const QString &folder)
{
    return fileSystemTypeOf(folder);
}

} // namespace tallic

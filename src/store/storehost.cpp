#include "storehost.h"

#include "basic/folders.h"

#include <QCoreApplication>
#include <QDateTime>

#include <utility>

namespace tallic {

namespace {

StoreHost *installed = nullptr;

} // namespace

StoreHost::~StoreHost() = default;

void StoreHost::letEventsRun()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void StoreHost::beginLockWait()
{
    ++lockWaits_;
}

void StoreHost::lockWaitTick()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void StoreHost::endLockWait()
{
    if (lockWaits_ == 0 || --lockWaits_ > 0)
        return;
    letEventsRun();
}

void StoreHost::lockWaitEnded() { }

bool StoreHost::programEnding()
{
    return false;
}

bool StoreHost::programIdle()
{
    return lockWaits_ == 0;
}

void StoreHost::setWorkBeforeOperator(std::function<void()> work)
{
    // No operator to come back to: the work is kept for nobody.
    workBeforeOperator_ = std::move(work);
}

void StoreHost::tell(const QString &text, const QString &title, Tone)
{
    qWarning("%ls: %ls", qUtf16Printable(title), qUtf16Printable(text));
}

void StoreHost::logActivity(const QString &) { }

QDate StoreHost::today()
{
    return QDate::currentDate();
}

QTime StoreHost::timeOfDay()
{
    return QTime::currentTime();
}

quint64 StoreHost::fileSystemType(const QString &folder)
{
    return fileSystemTypeOf(folder);
}

StoreHost &storeHost()
{
    static StoreHost console;
    return installed ? *installed : console;
}

StoreHost *setStoreHost(StoreHost *host)
{
    return std::exchange(installed, host);
}

} // namespace tallic

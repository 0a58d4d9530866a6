#include "singleinstance.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

SingleInstance::SingleInstance(const QString &lockPath)
    : path_(lockPath)
    , lock_(lockPath)
{
    // Age alone must never make a lock stale: the program may run for days.
    lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

InstanceClaim SingleInstance::claim()
{
    if (lock_.isLocked())
        return {};
    // Takes over the lock of a dead owner by itself.
    if (lock_.tryLock(0))
        return {};
    if (lock_.error() != QLockFile::LockFailedError)
        return failure();

    qint64 pid = 0;
    QString host;
    QString app;
    if (lock_.getLockInfo(&pid, &host, &app))
        return { InstanceClaim::OtherCopyRunning, {} };
    // Unreadable: either its owner is writing it this very moment, or it died before it
    // could. Give a live owner the time to finish; a live owner also keeps a native lock on
    // the file, so removing a lock still in use fails.
    if (lock_.tryLock(100))
        return {};
    if (lock_.error() != QLockFile::LockFailedError)
        return failure();
    if (lock_.getLockInfo(&pid, &host, &app) || !(lock_.removeStaleLockFile() && lock_.tryLock(0)))
        return { InstanceClaim::OtherCopyRunning, {} };
    return {};
}

InstanceClaim SingleInstance::failure() const
{
    const QString reason = lock_.error() == QLockFile::PermissionError
        ? u"its folder cannot be written"_s
        : u"it cannot be created"_s;
    return { InstanceClaim::LockFailed, QDir::toNativeSeparators(path_) + u": "_s + reason };
}

QString SingleInstance::defaultLockPath()
{
    // The runtime folder is already per user and session.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && QDir().mkpath(runtime))
        return QDir(runtime).filePath(u"tallic.lock"_s);

    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("USERNAME");
    if (user.isEmpty())
        user = u"user"_s;
    user.replace(u'/', u'_');
    user.replace(u'\\', u'_');
    return QDir(QDir::tempPath()).filePath(u"tallic-%1.lock"_s.arg(user));
}

} // namespace tallic

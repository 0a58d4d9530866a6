#pragma once

#include "platform.h"

#include <QLockFile>
#include <QString>

namespace tallic {

// A lock that only one process at a time can hold. A lock left behind by a process that
// died is taken over; one held by a live process never is, however old it is.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &lockPath);
    ~SingleInstance();

    // Claimed when this process now holds the lock; it keeps it until this object goes.
    InstanceClaim claim();

    // One lock per computer and user session.
    static QString defaultLockPath();

private:
    Q_DISABLE_COPY_MOVE(SingleInstance)

    InstanceClaim failure() const;

    QString path_;
    QLockFile lock_;
};

} // namespace tallic

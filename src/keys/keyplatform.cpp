#include "keyplatform.h"

#include "platform/runtime.h"

#include <chrono>

namespace tallic {

KeyPlatform::~KeyPlatform() = default;

bool KeyPlatform::sendKeysNatively(const QString &, qint16)
{
    return false;
}

quint32 systemTickCount()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return quint32(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void pauseWithTicks(qint16 ms, const std::function<quint32()> &tickCount)
{
    const qint64 start = tickCount();
    DoEvents();
    while (!programEnding()) {
        const qint64 now = tickCount();
        if (now < start || now > start + ms)
            break;
        DoEvents();
    }
}

} // namespace tallic

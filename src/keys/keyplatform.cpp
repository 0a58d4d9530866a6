#include "keyplatform.h"

#include "inprocesskeys.h"
#include "platform/keygate.h"
#include "platform/runtime.h"

#if defined(Q_OS_WIN)
#include "windowskeys.h"
#elif defined(TALLIC_HAVE_XTEST)
#include "x11keys.h"
#endif

#include <QGuiApplication>

#include <chrono>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

KeyPlatform *&installed()
{
    static KeyPlatform *platform = nullptr;
    return platform;
}

std::unique_ptr<KeyPlatform> chooseDefault()
{
#if defined(Q_OS_WIN)
    return std::make_unique<WindowsKeys>();
#else
#if defined(TALLIC_HAVE_XTEST)
    if (auto *app
        = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
        if (auto keys = X11Keys::create(app->display()))
            return keys;
    }
#endif
    return nullptr;
#endif
}

} // namespace

KeyPlatform::~KeyPlatform() = default;

bool KeyPlatform::sendKeysNatively(const QString &, qint16)
{
    return false;
}

KeyPlatform &keyPlatform()
{
    if (installed())
        return *installed();
    // Keys the program sends while it handles a key or a command (the Tab that Enter sends)
    // go on with that handling: typed inside the program they come before what the
    // operator typed meanwhile, which waits (KeyGate). Through the window system they
    // would arrive behind it, and the next field's digits would land in this one.
    if (KeyGate::handling())
        return inProcessKeyboard();
    static const std::unique_ptr<KeyPlatform> chosen = chooseDefault();
    return chosen ? *chosen : static_cast<KeyPlatform &>(inProcessKeyboard());
}

KeyPlatform *setKeyPlatform(KeyPlatform *platform)
{
    KeyPlatform *previous = installed();
    installed() = platform;
    return previous;
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

// Which implementation types the keys: the one installed, the in-process keyboard while
// the program handles a key, else the machine's own. Apart from the interface, which the
// implementations include.
#include "keyplatform.h"

#include "inprocesskeys.h"
#include "platform/keygate.h"

#if defined(Q_OS_WIN)
#include "windowskeys.h"
#elif defined(TALLIC_HAVE_XTEST)
#include "x11keys.h"
#endif

#include <QGuiApplication>

#include <memory>

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

} // namespace tallic

#include <QtGlobal>

#ifdef Q_OS_WIN

#include "windowskeys.h"

#include "sendkeys.h"
#include "win32input.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

QString WindowsKeys::OsFamily()
{
    return win32::isWin9xFamily() ? u"9x"_s : u"NT"_s;
}

bool WindowsKeys::LockIsOn(int virtualKey)
{
    return win32::keyStateIsOn(virtualKey);
}

void WindowsKeys::PressKey(const QString &token)
{
    inject(token, false);
}

void WindowsKeys::ReleaseKey(const QString &token)
{
    inject(token, true);
}

void WindowsKeys::inject(const QString &token, bool release)
{
    const int modifier = token == u"SHIFT"_s ? 16
        : token == u"CONTROL"_s              ? 17
        : token == u"ALT"_s                  ? 18
                                             : 0;
    const int named = modifier != 0 ? 0 : KeyCodeFromName(token);
    if (modifier == 0 && named == 0 && token.isEmpty())
        return;
    win32::injectKey(modifier, named, named == 0 && modifier == 0 ? token.at(0).unicode() : u'\0',
                     release);
}

void WindowsKeys::ToggleNumLock()
{
    if (OsFamily() == u"9x"_s) {
        win32::flipNumLockState();
        return;
    }
    PressKey(u"NUMLOCK"_s);
    ReleaseKey(u"NUMLOCK"_s);
}

void WindowsKeys::PauseMs(qint16 ms)
{
    pauseWithTicks(ms, win32::tickCount);
}

} // namespace tallic

#endif // Q_OS_WIN

#pragma once

#include "keyplatform.h"

#include <memory>

struct _XDisplay;

namespace tallic {

// Real keys on X11: presses and releases injected through the XTEST extension, so that
// they reach the window that has the keyboard focus as if typed. Characters are found in
// the keyboard layout in use (its current group) with the Shift or AltGr they need; lock
// states are the keyboard's locked modifiers. Alt held while a code is typed on the keypad
// types that character, which X11 does not do by itself. A character the layout lacks
// ("é" on a US keyboard) is put on a key code that has nothing on it, and stays there: no
// keyboard sends that code, and the X connection may be closed before this object goes.
class X11Keys final : public KeyPlatform
{
public:
    // nullptr when the display has no XTEST or XKB. The display stays the caller's.
    static std::unique_ptr<X11Keys> create(_XDisplay *display);

    QString OsFamily() override;
    bool LockIsOn(int virtualKey) override;
    void PressKey(const QString &token) override;
    void ReleaseKey(const QString &token) override;
    void ToggleNumLock() override;
    void PauseMs(qint16 ms) override;

private:
    explicit X11Keys(_XDisplay *display);

    void awaitInputFocus();
    void keyTransition(const QString &token, bool press);
    void injectAltIfHeld();
    void typeCharacter(QChar c, bool press);
    // A key with no symbols on it that now types sym; 0 when there is none left.
    unsigned char borrowKey(unsigned long sym);

    _XDisplay *display_;
    // Alt from the key string goes down only with the next key other than a keypad
    // digit of an Alt+code, so that a code typed under it leaves no Alt behind.
    bool altHeld_ = false;
    bool altInjected_ = false;
    QString keypadCode_;
};

} // namespace tallic

#pragma once

#include <QString>

#include <functional>

namespace tallic {

// Virtual-key codes of the three lock keys, as LockIsOn takes them.
enum LockKey { CapsLockKey = 20, NumLockKey = 144, ScrollLockKey = 145 };

// What typing keys needs from the machine: the platform family, the lock states, and
// presses and releases of single keys in the window that has the keyboard focus. A key
// token is a modifier name ("SHIFT", "CONTROL", "ALT"), a name of the key table
// (KeyCodeFromName) or a single character, which brings the Shift it needs on the
// current keyboard layout.
class KeyPlatform
{
public:
    virtual ~KeyPlatform();

    // "9x" on Windows 95/98/Me, "NT" everywhere else.
    virtual QString OsFamily() = 0;
    // True when the lock (CapsLockKey, NumLockKey, ScrollLockKey) is on.
    virtual bool LockIsOn(int virtualKey) = 0;
    virtual void PressKey(const QString &token) = 0;
    virtual void ReleaseKey(const QString &token) = 0;
    virtual void ToggleNumLock() = 0;
    // Lets window events run for ms milliseconds; returns early when the program ends.
    virtual void PauseMs(qint16 ms) = 0;

    // The platform's own service for the whole key-string notation, which only the older
    // family had; false when there is none and the string must be typed key by key.
    virtual bool sendKeysNatively(const QString &text, qint16 wait);
};

// The implementation in use: the one installed, or else the one that fits the platform
// the program runs on, chosen at the first call (real injection on Windows and on X11
// with the XTEST extension, the in-process keyboard everywhere else). While a key or a
// command is being handled it is the in-process keyboard.
KeyPlatform &keyPlatform();
// Installs an implementation and returns the one it replaces (nullptr for the default);
// the caller keeps ownership. nullptr goes back to the default.
KeyPlatform *setKeyPlatform(KeyPlatform *platform);

// A 32-bit millisecond tick count that wraps around, as the system's tick count does.
quint32 systemTickCount();

// The waiting loop behind PauseMs: lets events run at least once, then goes on while the
// tick count stays within [t0, t0 + ms]. A tick count that wraps around or a program that
// is ending ends the wait. It never sleeps: the windows stay responsive throughout.
void pauseWithTicks(qint16 ms, const std::function<quint32()> &tickCount);

} // namespace tallic

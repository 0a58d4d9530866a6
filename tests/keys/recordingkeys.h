#pragma once

#include "keys/keyplatform.h"
#include "keys/sendkeys.h"

#include <QList>
#include <QStringList>

// Key operations that only write down what they are asked to do: "P x" and "R x" for a
// press and a release ("P ENTER" for any letter case of a key name), "toggle NUMLOCK",
// "pause 20", and "native <text> <wait>" for a string handed to the platform's own
// service. Pressing a lock key switches its lock, as a keyboard would.
class RecordingKeys final : public tallic::KeyPlatform
{
public:
    QString family = QStringLiteral("NT");
    bool capsLock = false, numLock = false, scrollLock = false;
    QStringList events;
    QList<int> pressedCodes; // the key code of every named key pressed

    QString OsFamily() override { return family; }

    bool LockIsOn(int virtualKey) override
    {
        return virtualKey == tallic::CapsLockKey  ? capsLock
             : virtualKey == tallic::NumLockKey   ? numLock
             : virtualKey == tallic::ScrollLockKey ? scrollLock
                                                  : false;
    }

    void PressKey(const QString &token) override
    {
        const int code = tallic::KeyCodeFromName(token);
        if (code == tallic::CapsLockKey)
            capsLock = !capsLock;
        if (code == tallic::ScrollLockKey)
            scrollLock = !scrollLock;
        if (code > 0)
            pressedCodes << code;
        events << QStringLiteral("P ") + name(token);
    }

    void ReleaseKey(const QString &token) override { events << QStringLiteral("R ") + name(token); }

    void ToggleNumLock() override
    {
        numLock = !numLock;
        events << QStringLiteral("toggle NUMLOCK");
    }

    void PauseMs(qint16 ms) override { events << QStringLiteral("pause %1").arg(ms); }

    bool sendKeysNatively(const QString &text, qint16 wait) override
    {
        events << QStringLiteral("native %1 %2").arg(text).arg(wait);
        return true;
    }

private:
    static QString name(const QString &token)
    {
        return tallic::KeyCodeFromName(token) > 0 ? token.toUpper() : token;
    }
};

// Puts a key platform in place for one scope.
class UseKeys
{
public:
    explicit UseKeys(tallic::KeyPlatform &keys)
        : previous_(tallic::setKeyPlatform(&keys))
    {
    }
    ~UseKeys() { tallic::setKeyPlatform(previous_); }
    UseKeys(const UseKeys &) = delete;
    UseKeys &operator=(const UseKeys &) = delete;

private:
    tallic::KeyPlatform *previous_;
};

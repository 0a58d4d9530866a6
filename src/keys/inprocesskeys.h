#pragma once

#include "keyplatform.h"

#include <QEvent>

#include <deque>
#include <vector>

namespace tallic {

// A keyboard inside the program: keys become Qt key events for the widget that has the
// keyboard focus when each event is taken from the event loop, and the lock states are the
// program's own. Used where the window system offers no key injection (offscreen, Wayland)
// and by the test harness.
//
// It types like an operator who waits for the screen: a key is delivered only once the
// previous one has been handled, and keys sent by a handler while it handles a key go
// before the rest of what was typed. Modifiers go with the key events as their modifier
// flags, without events of their own. Alt held while a code is typed on the keypad with
// Num Lock on types that character on Alt's release (the OEM code page, or the Western one
// for a code with a leading zero), as the Windows keyboard does.
class InProcessKeys final : public KeyPlatform
{
public:
    QString OsFamily() override;
    bool LockIsOn(int virtualKey) override;
    void PressKey(const QString &token) override;
    void ReleaseKey(const QString &token) override;
    void ToggleNumLock() override;
    void PauseMs(qint16 ms) override;

    // Switches a lock as the keyboard would have it before anything is typed.
    void setLock(int virtualKey, bool on);
    // A fresh keyboard: no keys waiting, nothing held down, every lock off.
    void reset();
    // Whether keys wait to be delivered.
    bool pending() const;

private:
    struct KeyEvent
    {
        QEvent::Type type;
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
    };
    using Queue = std::deque<KeyEvent>;

    void keyTransition(const QString &token, bool press);
    void typeComposed();
    Qt::KeyboardModifiers heldModifiers() const;
    void enqueue(const KeyEvent &event);
    Queue &queueForNewKeys();
    void scheduleDelivery();
    void deliverNext();

    Queue waiting_;
    // One queue per key being handled (a handler may let events run and so handle the
    // next one): the keys its handlers send.
    std::vector<Queue> reactions_;
    bool scheduled_ = false;
    bool shift_ = false, control_ = false, alt_ = false;
    bool capsLock_ = false, numLock_ = false, scrollLock_ = false;
    QString keypadCode_;
};

// The program's one in-process keyboard.
InProcessKeys &inProcessKeyboard();

} // namespace tallic

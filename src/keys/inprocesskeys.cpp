#include "inprocesskeys.h"

#include "codepages.h"
#include "platform/keycodes.h"
#include "platform/keygate.h"
#include "platform/runtime.h"
#include "sendkeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

struct KeyAndText
{
    int key = 0;
    QString text;
};

// A key of the key table, as Qt names it, and the text it types.
KeyAndText namedKey(int code, bool numLock)
{
    if (code >= 96 && code <= 105) {
        // With Num Lock off the keypad keys are the navigation keys printed on them.
        static constexpr int Navigation[]
            = { Qt::Key_Insert, Qt::Key_End,   Qt::Key_Down, Qt::Key_PageDown, Qt::Key_Left,
                Qt::Key_Clear,  Qt::Key_Right, Qt::Key_Home, Qt::Key_Up,       Qt::Key_PageUp };
        const int digit = code - 96;
        if (numLock)
            return { Qt::Key_0 + digit, QString(QChar(u'0' + digit)) };
        return { Navigation[digit], {} };
    }
    switch (code) {
    case 8:
        return { Qt::Key_Backspace, u"\b"_s };
    case 9:
        return { Qt::Key_Tab, u"\t"_s };
    case 13:
        return { Qt::Key_Return, u"\r"_s };
    case 27:
        return { Qt::Key_Escape, u"\x1b"_s };
    case 42:
        return { Qt::Key_Printer, {} };
    default:
        return { qtKeyFromVirtualKey(code), {} };
    }
}

// The key a character is typed with, 0 for a control character no key types.
int keyForCharacter(QChar c)
{
    switch (c.unicode()) {
    case u'\t':
        return Qt::Key_Tab;
    case u'\r':
    case u'\n':
        return Qt::Key_Return;
    case u'\b':
        return Qt::Key_Backspace;
    case 0x1b:
        return Qt::Key_Escape;
    default:
        break;
    }
    if (c.unicode() < 32 || c.unicode() == 127)
        return 0;
    // Qt names a character's key by the character's upper case, as the key caps show it.
    return c.toUpper().unicode();
}

} // namespace

QString InProcessKeys::OsFamily()
{
    return u"NT"_s;
}

bool InProcessKeys::LockIsOn(int virtualKey)
{
    switch (virtualKey) {
    case CapsLockKey:
        return capsLock_;
    case NumLockKey:
        return numLock_;
    case ScrollLockKey:
        return scrollLock_;
    default:
        return false;
    }
}

void InProcessKeys::setLock(int virtualKey, bool on)
{
    if (virtualKey == CapsLockKey)
        capsLock_ = on;
    else if (virtualKey == NumLockKey)
        numLock_ = on;
    else if (virtualKey == ScrollLockKey)
        scrollLock_ = on;
}

void InProcessKeys::PressKey(const QString &token)
{
    keyTransition(token, true);
}

void InProcessKeys::ReleaseKey(const QString &token)
{
    keyTransition(token, false);
}

void InProcessKeys::ToggleNumLock()
{
    PressKey(u"NUMLOCK"_s);
    ReleaseKey(u"NUMLOCK"_s);
}

void InProcessKeys::PauseMs(qint16 ms)
{
    pauseWithTicks(ms, systemTickCount);
}

void InProcessKeys::reset()
{
    waiting_.clear();
    for (Queue &queue : reactions_)
        queue.clear();
    shift_ = control_ = alt_ = false;
    capsLock_ = numLock_ = scrollLock_ = false;
    keypadCode_.clear();
}

bool InProcessKeys::pending() const
{
    if (!waiting_.empty())
        return true;
    for (const Queue &queue : reactions_) {
        if (!queue.empty())
            return true;
    }
    return false;
}

Qt::KeyboardModifiers InProcessKeys::heldModifiers() const
{
    Qt::KeyboardModifiers modifiers;
    modifiers.setFlag(Qt::ShiftModifier, shift_);
    modifiers.setFlag(Qt::ControlModifier, control_);
    modifiers.setFlag(Qt::AltModifier, alt_);
    return modifiers;
}

void InProcessKeys::keyTransition(const QString &token, bool press)
{
    const QEvent::Type type = press ? QEvent::KeyPress : QEvent::KeyRelease;
    if (token == u"SHIFT"_s || token == u"CONTROL"_s || token == u"ALT"_s) {
        (token == u"SHIFT"_s ? shift_ : (token == u"CONTROL"_s ? control_ : alt_)) = press;
        if (token == u"ALT"_s) {
            if (!press)
                typeComposed();
            keypadCode_.clear();
        }
        return;
    }

    KeyEvent event { type, 0, heldModifiers(), {} };
    const int code = KeyCodeFromName(token);
    // Any other key than a keypad digit breaks off an Alt+code.
    if (press && !(code >= 96 && code <= 105))
        keypadCode_.clear();
    if (code > 0) {
        if (press) {
            // A lock key switches its lock as it goes down.
            if (code == CapsLockKey)
                capsLock_ = !capsLock_;
            else if (code == NumLockKey)
                numLock_ = !numLock_;
            else if (code == ScrollLockKey)
                scrollLock_ = !scrollLock_;
        }
        const KeyAndText named = namedKey(code, numLock_);
        event.key = named.key;
        event.text = named.text;
        if (code >= 96 && code <= 105) {
            event.modifiers |= Qt::KeypadModifier;
            if (press && alt_ && numLock_)
                keypadCode_ += QChar(u'0' + (code - 96));
        }
    } else {
        if (token.isEmpty())
            return;
        const QChar c = token.at(0);
        event.key = keyForCharacter(c);
        // Only letters have a case; the Shift a capital needs goes with it.
        if (c.isUpper())
            event.modifiers |= Qt::ShiftModifier;
        const bool shifted = event.modifiers.testFlag(Qt::ShiftModifier);
        event.text = c.isLetter() ? (shifted != capsLock_ ? c.toUpper() : c.toLower()) : c;
        if (event.key == Qt::Key_Return)
            event.text = u"\r"_s;
    }
    if (event.key == 0)
        return;
    if (event.key == Qt::Key_Tab && event.modifiers.testFlag(Qt::ShiftModifier))
        event.key = Qt::Key_Backtab;
    // Ctrl and Alt make keys into commands: they type no text.
    if (control_ || alt_)
        event.text.clear();
    enqueue(event);
}

void InProcessKeys::typeComposed()
{
    if (keypadCode_.isEmpty())
        return;
    const int code = keypadCode_.toInt() % 256;
    const QChar c = keypadCode_.startsWith(u'0') ? fromWesternCode(code) : fromOemCode(code);
    const int key = keyForCharacter(c);
    if (c.isNull() || key == 0)
        return;
    enqueue({ QEvent::KeyPress, key, Qt::NoModifier, QString(c) });
    enqueue({ QEvent::KeyRelease, key, Qt::NoModifier, QString(c) });
}

InProcessKeys::Queue &InProcessKeys::queueForNewKeys()
{
    return reactions_.empty() ? waiting_ : reactions_.back();
}

void InProcessKeys::enqueue(const KeyEvent &event)
{
    queueForNewKeys().push_back(event);
    scheduleDelivery();
}

void InProcessKeys::scheduleDelivery()
{
    if (scheduled_ || queueForNewKeys().empty() || !QCoreApplication::instance())
        return;
    scheduled_ = true;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [this] { deliverNext(); }, Qt::QueuedConnection);
}

void InProcessKeys::deliverNext()
{
    scheduled_ = false;
    if (programEnding()) {
        // No window takes keys any more; what was typed ahead is lost.
        reset();
        return;
    }
    // While a key is being handled only the keys its handlers sent may follow; the rest
    // waits until it is done.
    Queue &source = queueForNewKeys();
    if (source.empty())
        return;
    const KeyEvent event = source.front();
    source.pop_front();

    reactions_.emplace_back();
    if (QWidget *target = KeyGate::keyTarget()) {
        QKeyEvent key(event.type, event.key, event.modifiers, event.text);
        KeyGate::deliver(target, &key);
    }
    Queue sent = std::move(reactions_.back());
    reactions_.pop_back();
    Queue &outer = queueForNewKeys();
    outer.insert(outer.begin(), sent.begin(), sent.end());
    scheduleDelivery();
}

InProcessKeys &inProcessKeyboard()
{
    static InProcessKeys keyboard;
    return keyboard;
}

} // namespace tallic

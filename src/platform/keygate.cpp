#include "keygate.h"

#include "programstate.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

// QtGui's own way to offer a key to the shortcut map first, as a key from the window system
// is; Qt Test declares it the same way.
QT_BEGIN_NAMESPACE
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject *o, ulong timestamp, int k,
                                               Qt::KeyboardModifiers mods,
                                               const QString &text = QString(),
                                               bool autorep = false, ushort count = 1);
QT_END_NAMESPACE

#include <deque>
#include <memory>
#include <utility>

namespace tallic::KeyGate {

namespace {

// A key (for whatever has the focus in its turn), a click (for the object it was made in)
// or a command.
struct Input
{
    std::unique_ptr<QInputEvent> event;
    QPointer<QObject> target;
    std::function<void()> command;
};

struct State
{
    int depth = 0;
    int discarding = 0;
    // The key of the last press the windows had that was not a repeat; 0 for none.
    int lastPressed = 0;
    bool passing = false;
    bool scheduled = false;
    // A lock wait ended during this handling: the next box takes nothing that waits.
    bool afterWait = false;
    std::deque<Input> waiting;
    // The box that took a waiting key: the keys after it wait until it has closed.
    QPointer<QWidget> fedBox;
};

State &state()
{
    static State s;
    return s;
}

void scheduleReplay(int delayMs = 0);

void replayNext()
{
    State &s = state();
    s.scheduled = false;
    if (s.waiting.empty())
        return;
    if (programEnding()) {
        s.waiting.clear();
        return;
    }
    // A box that a command opens takes the keys typed before it appeared, one key for one
    // box (the answer); otherwise the keys wait for the end of the handling.
    QWidget *box = QApplication::activeModalWidget();
    if (box && s.afterWait) {
        boxOpening();
        return;
    }
    if (box && box == s.fedBox) {
        scheduleReplay(20);
        return;
    }
    if (s.depth > 0 && !box)
        return;
    if (s.waiting.front().command && box) {
        scheduleReplay(20);
        return;
    }
    Input next = std::move(s.waiting.front());
    s.waiting.pop_front();
    if (next.command) {
        next.command();
    } else if (auto *key = dynamic_cast<QKeyEvent *>(next.event.get())) {
        s.fedBox = box;
        QWidget *target = box ? (box->focusWidget() ? box->focusWidget() : box) : keyTarget();
        if (target)
            deliver(target, key);
    } else if (next.target && !box) {
        // A click made before a box appeared was not aimed at it, nor at what lies under it.
        s.passing = true;
        QCoreApplication::sendEvent(next.target, next.event.get());
        s.passing = false;
    }
    scheduleReplay();
}

void scheduleReplay(int delayMs)
{
    State &s = state();
    if (s.scheduled || s.waiting.empty() || !QCoreApplication::instance())
        return;
    s.scheduled = true;
    QTimer::singleShot(delayMs, QCoreApplication::instance(), replayNext);
}

// Notices a box opening while keys wait, so that it gets its answer, and a control made
// unavailable while clicks on it wait: they go, as they would had they come a moment later.
class BoxWatcher : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        State &s = state();
        if (s.waiting.empty())
            return false;
        auto *widget = qobject_cast<QWidget *>(watched);
        if (event->type() == QEvent::Show && widget && widget->isWindow() && widget->isModal())
            scheduleReplay();
        if (event->type() == QEvent::EnabledChange && widget && !widget->isEnabled()) {
            std::erase_if(s.waiting,
                          [watched](const Input &input) { return input.target == watched; });
        }
        return false;
    }
};

void keep(Input input)
{
    static BoxWatcher *watcher = nullptr;
    if (!watcher && QCoreApplication::instance()) {
        watcher = new BoxWatcher;
        watcher->setParent(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(watcher);
    }
    state().waiting.push_back(std::move(input));
    scheduleReplay();
}

// True when an arriving key must wait.
bool mustWait()
{
    State &s = state();
    // A key delivered past the gate passes once; keys that arrive while it is handled wait.
    if (std::exchange(s.passing, false))
        return false;
    return s.depth > 0 || !s.waiting.empty();
}

// True when the key is dropped rather than taken or kept.
bool dropped(const QKeyEvent &event)
{
    State &s = state();
    if (s.discarding > 0)
        return true;
    if (!event.isAutoRepeat()) {
        s.lastPressed = event.key();
        return false;
    }
    return event.key() != s.lastPressed;
}

void keepKey(const QKeyEvent &event, QObject *aimedAt = nullptr)
{
    keep({ std::make_unique<QKeyEvent>(event.type(), event.key(), event.modifiers(),
                                       event.nativeScanCode(), event.nativeVirtualKey(),
                                       event.nativeModifiers(), event.text(), event.isAutoRepeat(),
                                       event.count()),
           aimedAt, nullptr });
}

} // namespace

bool holds(const QKeyEvent &event, QObject *aimedAt)
{
    // A key let past the gate was judged when it arrived.
    if (!state().passing && dropped(event))
        return true;
    if (!mustWait())
        return false;
    keepKey(event, aimedAt);
    return true;
}

void keepAfterAnswer(QWidget *box, const QKeyEvent &event)
{
    if (dropped(event))
        return;
    state().fedBox = box;
    keepKey(event);
}

bool holds(const QShortcutEvent &event, QObject *button)
{
    if (state().discarding > 0)
        return true;
    if (!mustWait())
        return false;
    const QKeyCombination combination = event.key()[0];
    keep({ std::make_unique<QKeyEvent>(QEvent::KeyPress, combination.key(),
                                       combination.keyboardModifiers()),
           button, nullptr });
    return true;
}

bool holds(QObject *target, const QMouseEvent &event)
{
    if (!mustWait())
        return false;
    keep({ std::unique_ptr<QInputEvent>(event.clone()), target, nullptr });
    return true;
}

bool holds(std::function<void()> command)
{
    if (state().depth == 0)
        return false;
    keep({ nullptr, nullptr, std::move(command) });
    return true;
}

void lockWaitEnded()
{
    if (state().depth > 0)
        state().afterWait = true;
}

void boxOpening()
{
    // A box after a lock wait tells how the wait ended; what the operator did during the
    // wait was done before it was there to be read.
    State &s = state();
    if (std::exchange(s.afterWait, false)) {
        s.waiting.clear();
        return;
    }
    // Keys typed ahead may answer the box; a click made before it was there was aimed at
    // what the box is about (a second click into the next field while the field being left
    // is checked), and would try again what the box refuses.
    std::erase_if(s.waiting, [](const Input &input) {
        return input.event && !dynamic_cast<const QKeyEvent *>(input.event.get());
    });
}

void deliver(QWidget *target, QKeyEvent *event)
{
    State &s = state();
    s.passing = true;
    const bool shortcut = event->type() == QEvent::KeyPress
        && qt_sendShortcutOverrideEvent(target, 0, event->key(), event->modifiers(), event->text(),
                                        event->isAutoRepeat(), event->count());
    if (!shortcut)
        QCoreApplication::sendEvent(target, event);
    // A widget that is not a control of a window never asked the gate.
    s.passing = false;
}

Handling::Handling()
{
    ++state().depth;
}

Handling::~Handling()
{
    // What the command owes is done while it is still the command's: keys typed meanwhile
    // wait for it, and a box it shows is its outcome.
    if (state().depth == 1)
        doWorkBeforeOperator();
    if (--state().depth == 0)
        state().afterWait = false;
    scheduleReplay();
}

Discarding::Discarding()
{
    State &s = state();
    ++s.discarding;
    // A key held from before is not the operator's once the other program has had them.
    s.lastPressed = 0;
}

Discarding::~Discarding()
{
    --state().discarding;
}

bool handling()
{
    return state().depth > 0;
}

void reset()
{
    State &s = state();
    s.waiting.clear();
    s.passing = false;
    s.lastPressed = 0;
    s.afterWait = false;
    s.fedBox = nullptr;
}

} // namespace tallic::KeyGate

#include "keygate.h"

#include "form.h"
#include "runtime.h"

#include <QApplication>
#include <QKeyEvent>
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

struct State
{
    int depth = 0;
    int discarding = 0;
    // The key of the last press the windows had that was not a repeat; 0 for none.
    int lastPressed = 0;
    bool passing = false;
    bool scheduled = false;
    std::deque<std::unique_ptr<QKeyEvent>> waiting;
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
    if (box && box == s.fedBox) {
        scheduleReplay(20);
        return;
    }
    if (s.depth > 0 && !box)
        return;
    std::unique_ptr<QKeyEvent> key = std::move(s.waiting.front());
    s.waiting.pop_front();
    s.fedBox = box;
    QWidget *target = box ? (box->focusWidget() ? box->focusWidget() : box) : keyTarget();
    if (target)
        deliver(target, key.get());
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

// Notices a box opening while keys wait, so that it gets its answer.
class BoxWatcher : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && !state().waiting.empty()) {
            auto *widget = qobject_cast<QWidget *>(watched);
            if (widget && widget->isWindow() && widget->isModal())
                scheduleReplay();
        }
        return false;
    }
};

void keep(std::unique_ptr<QKeyEvent> key)
{
    static BoxWatcher *watcher = nullptr;
    if (!watcher && QCoreApplication::instance()) {
        watcher = new BoxWatcher;
        watcher->setParent(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(watcher);
    }
    state().waiting.push_back(std::move(key));
    scheduleReplay();
}

} // namespace

QWidget *keyTarget()
{
    if (QWidget *widget = QApplication::focusWidget())
        return widget;
    if (Form *form = Form::activeForm()) {
        if (QWidget *control = form->activeControl().widget())
            return control;
        return form;
    }
    return nullptr;
}

namespace {

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

} // namespace

bool holds(const QKeyEvent &event)
{
    // A key let past the gate was judged when it arrived.
    if (!state().passing && dropped(event))
        return true;
    if (!mustWait())
        return false;
    keep(std::make_unique<QKeyEvent>(event.type(), event.key(), event.modifiers(),
                                     event.nativeScanCode(), event.nativeVirtualKey(),
                                     event.nativeModifiers(), event.text(), event.isAutoRepeat(),
                                     event.count()));
    return true;
}

bool holds(const QShortcutEvent &event)
{
    if (state().discarding > 0)
        return true;
    if (!mustWait())
        return false;
    const QKeyCombination combination = event.key()[0];
    keep(std::make_unique<QKeyEvent>(QEvent::KeyPress, combination.key(),
                                     combination.keyboardModifiers()));
    return true;
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
    --state().depth;
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
    s.fedBox = nullptr;
}

} // namespace tallic::KeyGate

#include "keygate.h"

#include "form.h"
#include "runtime.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <memory>
#include <utility>

namespace tallic::KeyGate {

namespace {

struct State
{
    int depth = 0;
    bool passing = false;
    bool scheduled = false;
    std::deque<std::unique_ptr<QKeyEvent>> waiting;
};

State &state()
{
    static State s;
    return s;
}

void scheduleReplay();

void replayNext()
{
    State &s = state();
    s.scheduled = false;
    if (s.depth > 0 || s.waiting.empty())
        return;
    if (ProgramEnding()) {
        s.waiting.clear();
        return;
    }
    std::unique_ptr<QKeyEvent> key = std::move(s.waiting.front());
    s.waiting.pop_front();
    if (QWidget *target = keyTarget())
        deliver(target, key.get());
    scheduleReplay();
}

void scheduleReplay()
{
    State &s = state();
    if (s.scheduled || s.depth > 0 || s.waiting.empty() || !QCoreApplication::instance())
        return;
    s.scheduled = true;
    QTimer::singleShot(0, QCoreApplication::instance(), replayNext);
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

bool holds(const QKeyEvent &event)
{
    State &s = state();
    // A key delivered past the gate passes once; keys that arrive while it is handled wait.
    if (std::exchange(s.passing, false))
        return false;
    if (s.depth == 0 && s.waiting.empty())
        return false;
    s.waiting.push_back(std::make_unique<QKeyEvent>(
        event.type(), event.key(), event.modifiers(), event.nativeScanCode(),
        event.nativeVirtualKey(), event.nativeModifiers(), event.text(), event.isAutoRepeat(),
        event.count()));
    scheduleReplay();
    return true;
}

void deliver(QWidget *target, QKeyEvent *event)
{
    State &s = state();
    s.passing = true;
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

void reset()
{
    State &s = state();
    s.waiting.clear();
    s.passing = false;
}

} // namespace tallic::KeyGate

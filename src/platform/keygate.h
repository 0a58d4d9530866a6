#pragma once

#include <functional>

class QKeyEvent;
class QMouseEvent;
class QObject;
class QShortcutEvent;
class QWidget;

namespace tallic {

// Keys and clicks that arrive while a key or a command is being handled wait their turn. Handlers
// let events run: without the gate a key typed quickly after another would be handled inside the
// first one's handler, before the first character is in the field ("101" would read "110"), and a
// key typed while OK posts a chit could change a field being stored. Waiting keys go, one at a time
// and in the order typed, to the widget that has the focus when the handling is over, as type-ahead
// does.
namespace KeyGate {

// True when the key must wait, and the gate then keeps a copy of it, or when it is dropped:
// while keys are discarded (Discarding), and for an auto-repeated press whose first press
// the windows never had (a key held down in another program's window repeats into ours
// once that window is gone). A key aimed at a button (its access key) goes when the button
// is made unavailable before the key's turn.
bool holds(const QKeyEvent &event, QObject *aimedAt = nullptr);
// The same for a button's access key (Alt and its letter), kept as the key that made it.
bool holds(const QShortcutEvent &event, QObject *button);

// The same for a click (press, release, double click) into a control, kept for the object
// that took it. A click that waits is not for a box: when one is up at its turn, it goes;
// nor for a control made unavailable before its turn.
bool holds(QObject *target, const QMouseEvent &event);
// A command (a menu entry, closing the window) waits while a handler runs; the gate then
// keeps it and runs it in its turn.
bool holds(std::function<void()> command);

// A key that reached a box after the box had its answer was typed for the window behind it,
// the box not being gone yet: it is kept as a key typed during a command is, and waits until
// the box has closed.
void keepAfterAnswer(QWidget *box, const QKeyEvent &event);

// A lock wait has ended: a box that appears before the handling is over is the wait's
// outcome, and nothing typed or clicked before it appeared is for it.
void lockWaitEnded();
// A box of the program's is about to appear.
void boxOpening();

// Where the keyboard types now: the focus widget, or else the active control of the active
// window (after a modal box the window system may have left the focus nowhere).
QWidget *keyTarget();

// Sends a key to the widget past the gate, offering it to the access keys first as the
// window system does: for keys that are already taken one at a time, as the program's own
// keyboard does, and for the waiting keys when their turn comes.
void deliver(QWidget *target, QKeyEvent *event);

// Marks the handling of a key or a command for the lifetime of the object.
class Handling
{
public:
    Handling();
    ~Handling();
    Handling(const Handling &) = delete;
    Handling &operator=(const Handling &) = delete;
};

// Drops the keys typed at the windows for the lifetime of the object: while another program
// has the operator (the calendar), keys that stray to ours are not for the work behind it.
class Discarding
{
public:
    Discarding();
    ~Discarding();
    Discarding(const Discarding &) = delete;
    Discarding &operator=(const Discarding &) = delete;
};

// True while a key or a command is being handled.
bool handling();

// Forgets the waiting keys; the program's state is reset (tests).
void reset();

} // namespace KeyGate

} // namespace tallic

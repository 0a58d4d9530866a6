#pragma once

#include "platform.h"
#include "programstate.h"

#include <QString>

#include <functional>

class QWidget;

namespace tallic {

class Form;

// Lets every pending event run, as the windows expect between steps of a command.
void DoEvents();
// The same, waiting up to ms milliseconds for an event when none is pending: a wait for
// another program that ends the moment its answer comes.
void WaitForEvents(int ms);

// Asks again for the repaints DoEvents has let wait: before a box or a wait shows.
void releaseRepaints();

// True while the program waits for the operator: no handler runs, and no events are let run
// from inside one. Work that must not fall in the middle of a command waits for this.
bool programIdle();
// Clears the ending state, the pointer and the gate; used when a new run starts in the
// same process (tests).
void resetProgramState();

// A modal message box; answers AnswerOk, AnswerYes or AnswerNo. Yes/No boxes have No as
// the default. The keyboard focus is back on the active control afterwards.
int MsgBox(const QString &text, BoxButtons buttons, BoxIcon icon, const QString &title);
// A modal input box; the text typed, the empty text for Cancel.
QString InputBox(const QString &prompt, const QString &title, const QString &defaultText = {});

// The application-wide mouse pointer.
void MouseBusy();
void MouseArrow();

// A wait for another workstation's lock. Meanwhile the windows repaint under the busy
// pointer but take no key or click; what the operator types then waits its turn and is
// not for a box that the wait's outcome brings.
void beginLockWait();
// Lets the windows repaint; user input stays where it is.
void lockWaitTick();
void endLockWait();

// Keeps a window above all others or releases it; never moves or resizes it.
void SetTopmost(QWidget *window, bool on);
// Centres a window on its screen.
void centerWindow(QWidget *window);

} // namespace tallic

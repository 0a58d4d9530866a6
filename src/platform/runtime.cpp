#include "runtime.h"

#include "form.h"
#include "keygate.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <utility>

namespace tallic {

namespace {

bool busyPointer = false;
int lockWaits = 0;
// Events let run from inside a command (DoEvents, a lock wait), however deep.
int eventsRunning = 0;
// Windows whose repaint waits for the command's next step or its end.
QList<QPointer<Form>> heldRepaints;

void restoreFocusAfterBox()
{
    // Under a bare X server or offscreen nothing has the focus once a modal box is gone,
    // though Qt may already count the window as active again: the window system is asked.
    if (Form *form = Form::activeForm()) {
        if (form->isVisible())
            form->activateWindow();
        form->restoreKeyboardFocus();
    }
}

// Painted at the event loop's next turn, after the events already waiting.
void askRepaint(Form *form)
{
    QCoreApplication::postEvent(form, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
}

// The steps of a command change a control several times over (a field set, then cleared,
// a button switched off and on): a window painted less than a frame ago is painted again
// at a later step, or when the command ends, with what all the steps between changed. A
// command that keeps running is still painted once a frame; a box paints at once.
void holdRepaints()
{
    if (lockWaits > 0 || !qobject_cast<QApplication *>(QCoreApplication::instance())
        || QApplication::activeModalWidget())
        return;
    for (Form *form : Form::openForms()) {
        if (!form->isVisible())
            continue;
        const bool held = heldRepaints.contains(form);
        const bool withinFrame = form->paintedWithinFrame();
        if (withinFrame && !held) {
            QCoreApplication::removePostedEvents(form, QEvent::UpdateRequest);
            heldRepaints << form;
        } else if (!withinFrame && held) {
            // A frame has gone by: this step paints it.
            heldRepaints.removeOne(form);
            askRepaint(form);
        }
    }
}

// The repaints held by a command's steps go out once control is back in the event loop,
// outside any step: the loop's dispatcher tells so as it looks for events. Released at the
// end of each step instead, they were asked for and taken back again at every step, a
// posted event and a wake of the loop each time.
void releaseAtTheLoop()
{
    static QPointer<QAbstractEventDispatcher> connected;
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher || connected == dispatcher)
        return;
    connected = dispatcher;
    const auto release = [] {
        if (eventsRunning == 0 && !heldRepaints.isEmpty())
            releaseRepaints();
    };
    QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, release);
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, release);
}

// What a box needs before it shows: the keys typed ahead sorted out, and the windows
// behind it painted.
void beforeBox()
{
    doWorkBeforeOperator();
    KeyGate::boxOpening();
    releaseRepaints();
}

} // namespace

void releaseRepaints()
{
    for (const QPointer<Form> &form : std::exchange(heldRepaints, {})) {
        // Also to a window hidden meanwhile: Qt asks for no other repaint while this one
        // is outstanding, and would not paint it when it shows again.
        if (form)
            askRepaint(form);
    }
}

void DoEvents()
{
    if (programEnding())
        return;
    // Windows unloaded meanwhile are deleted once control is back in the main loop, not
    // here: the window system may still have events for them.
    ++eventsRunning;
    holdRepaints();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    --eventsRunning;
    if (eventsRunning == 0)
        releaseAtTheLoop();
}

void WaitForEvents(int ms)
{
    if (programEnding())
        return;
    // The operator has the other program meanwhile.
    doWorkBeforeOperator();
    // Wakes the wait when nothing else comes.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(ms);
    // A wait paints as it goes: nothing DoEvents held back stays held through it.
    releaseRepaints();
    ++eventsRunning;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    --eventsRunning;
}

bool programIdle()
{
    return !programEnding() && eventsRunning == 0 && lockWaits == 0 && !KeyGate::handling();
}

void resetProgramState()
{
    clearEnding();
    busyPointer = false;
    lockWaits = 0;
    KeyGate::reset();
}

int MsgBox(const QString &text, BoxButtons buttons, BoxIcon icon, const QString &title)
{
    if (programEnding())
        return buttons == BoxButtons::YesNo      ? AnswerNo
            : buttons == BoxButtons::RetryCancel ? AnswerCancel
                                                 : AnswerOk;
    beforeBox();
    const int answer = platform().messageBox(text, title, icon, buttons);
    restoreFocusAfterBox();
    return answer;
}

QString InputBox(const QString &prompt, const QString &title, const QString &defaultText)
{
    if (programEnding())
        return QString();
    beforeBox();
    const QString answer = platform().inputBox(prompt, title, defaultText);
    restoreFocusAfterBox();
    return answer;
}

void MouseBusy()
{
    if (busyPointer || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    // The pointer is the arrow again when the program ends.
    static const bool restoredAtEnd = (addEndingStep(&MouseArrow), true);
    (void)restoredAtEnd;
    busyPointer = true;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void MouseArrow()
{
    if (!busyPointer)
        return;
    busyPointer = false;
    QGuiApplication::restoreOverrideCursor();
}

void beginLockWait()
{
    if (lockWaits++ == 0 && qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void lockWaitTick()
{
    if (programEnding())
        return;
    releaseRepaints();
    ++eventsRunning;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    --eventsRunning;
}

void endLockWait()
{
    if (lockWaits == 0 || --lockWaits > 0)
        return;
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::restoreOverrideCursor();
    // What was typed or clicked during the wait joins the gate's queue now, before a box
    // could take it straight from the window system.
    DoEvents();
    KeyGate::lockWaitEnded();
}

void SetTopmost(QWidget *window, bool on)
{
    if (!window)
        return;
    // Changing the flag on the widget would hide the window; the native window keeps
    // its place and size.
    window->winId();
    if (QWindow *handle = window->windowHandle())
        handle->setFlag(Qt::WindowStaysOnTopHint, on);
}

void centerWindow(QWidget *window)
{
    if (!window)
        return;
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QSize size = window->frameGeometry().size();
    window->move(area.x() + (area.width() - size.width()) / 2,
                 area.y() + (area.height() - size.height()) / 2);
    DoEvents();
}

} // namespace tallic

#include "runtime.h"

#include "form.h"
#include "keygate.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QScreen>
#include <QThread>
#include <QWindow>

namespace tallic {

namespace {

bool ending = false;
bool busyPointer = false;

std::function<void()> &endAction()
{
    static std::function<void()> action;
    return action;
}

void restoreFocusAfterBox()
{
    // Under a bare X server or offscreen nothing has the focus once a modal box is gone.
    if (Form *form = Form::activeForm())
        form->restoreKeyboardFocus();
}

} // namespace

void DoEvents()
{
    if (ending)
        return;
    // Windows unloaded meanwhile are deleted once control is back in the main loop, not
    // here: the window system may still have events for them.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void endProgram()
{
    if (ending)
        return;
    ending = true;
    MouseArrow();
    for (Form *form : Form::openForms())
        form->hide();
    if (endAction())
        endAction()();
}

bool programEnding()
{
    return ending;
}

void resetProgramState()
{
    ending = false;
    busyPointer = false;
    KeyGate::reset();
}

void setEndAction(std::function<void()> action)
{
    endAction() = std::move(action);
}

int MsgBox(const QString &text, BoxButtons buttons, BoxIcon icon, const QString &title)
{
    if (ending)
        return buttons == BoxButtons::YesNo ? AnswerNo : AnswerOk;
    const int answer = platform().messageBox(text, title, icon, buttons);
    restoreFocusAfterBox();
    return answer;
}

QString InputBox(const QString &prompt, const QString &title, const QString &defaultText)
{
    if (ending)
        return QString();
    const QString answer = platform().inputBox(prompt, title, defaultText);
    restoreFocusAfterBox();
    return answer;
}

void MouseBusy()
{
    if (busyPointer || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
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

// The window's input: keys, access keys and the mouse, turned into the handlers' events
// on the logical focus.
#include "form.h"

#include "keycodes.h"
#include "keygate.h"
#include "programstate.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

int mouseButton(Qt::MouseButtons buttons)
{
    int code = 0;
    if (buttons & Qt::LeftButton)
        code |= 1;
    if (buttons & Qt::RightButton)
        code |= 2;
    if (buttons & Qt::MiddleButton)
        code |= 4;
    return code;
}

// The character a key event types, as the windows see it: Enter 13, Backspace 8, Escape 27.
int characterCode(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Escape:
        return 27;
    default:
        break;
    }
    const QString text = event->text();
    if (text.size() != 1)
        return 0;
    const ushort code = text.at(0).unicode();
    return code >= 32 && code != 127 ? code : 0;
}

// The available (or unavailable) button whose underlined letter the key is (Alt+G for
// "&Generate Chits").
QPushButton *accessKeyButton(const Form &form, const QKeyEvent *event, bool available = true)
{
    if (!(event->modifiers() & Qt::AltModifier) || (event->modifiers() & Qt::ControlModifier))
        return nullptr;
    const QKeySequence typed(QKeyCombination(event->modifiers(), Qt::Key(event->key())));
    for (const Control &control : form.controls()) {
        auto *button = qobject_cast<QPushButton *>(control.widget());
        if (button && button->isVisible() && button->isEnabled() == available
            && QKeySequence::mnemonic(button->text()) == typed)
            return button;
    }
    return nullptr;
}

// Input aimed at an unavailable control is nobody's, as the toolkit has it: kept, it would
// run the command once the control is available again (a second run of the command that
// made it unavailable). Keys typed ahead into a field are not aimed at a control yet.
bool aimedAtUnavailable(const Form &form, QWidget *widget, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        return !accessKeyButton(form, key) && accessKeyButton(form, key, false);
    }
    return !widget->isEnabled();
}

} // namespace

bool Form::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == client_) {
        if (event->type() == QEvent::Resize)
            rescale();
        return false;
    }
    QWidget *widget = controlWidgetFor(watched);
    if (!widget)
        return false;
    if (programEnding()) {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
            return true;
        default:
            return false;
        }
    }
    switch (event->type()) {
    case QEvent::FocusIn:
        focus_.keyboardFocusArrived(widget, static_cast<QFocusEvent *>(event)->reason());
        return false;
    case QEvent::KeyPress: {
        auto *key = static_cast<QKeyEvent *>(event);
        if (aimedAtUnavailable(*this, widget, event)
            || KeyGate::holds(*key, accessKeyButton(*this, key)))
            return true;
        KeyGate::Handling handling;
        keyedIn_ = widget;
        return handleKeyPress(widget, key);
    }
    case QEvent::KeyRelease:
        // A key that moved the focus here (Enter, Tab) is let go at a text box whose cursor
        // shows already: Qt would paint the cursor once more for it.
        return widget != keyedIn_ && qobject_cast<QLineEdit *>(widget);
    case QEvent::Shortcut:
        if (KeyGate::holds(*static_cast<QShortcutEvent *>(event), widget))
            return true;
        return handleAccessKey(widget);
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        if (aimedAtUnavailable(*this, widget, event))
            return true;
        // A click waits its turn as a key does: one made while a command runs must not
        // change what the command works on, nor start a field's exit check a second time.
        if (KeyGate::holds(watched, *static_cast<QMouseEvent *>(event))) {
            // The window system has moved its focus to the control clicked; it belongs
            // with the active control until the click has its turn.
            if (event->type() == QEvent::MouseButtonPress)
                QMetaObject::invokeMethod(this, &Form::restoreKeyboardFocus, Qt::QueuedConnection);
            return true;
        }
        return handleMouse(widget, static_cast<QMouseEvent *>(event));
    case QEvent::MouseMove:
        return handleMouse(widget, static_cast<QMouseEvent *>(event));
    default:
        return false;
    }
}

bool Form::handleKeyPress(QWidget *widget, QKeyEvent *event)
{
    // The window system takes a button's access key only while the window is active; one
    // typed as a box closed reaches the window before it is active again, and is still meant
    // for the button.
    if (QPushButton *button = accessKeyButton(*this, event))
        return handleAccessKey(button);
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (tab && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        focus_.tabToNext(event->key() == Qt::Key_Backtab
                         || (event->modifiers() & Qt::ShiftModifier));
        return true;
    }
    if (focus_.active() && (widget != focus_.active() || !focus_.isFocusable(widget))) {
        // The active control was switched off under the operator's hands (a caption click
        // hides its field): the key goes on to the next control in the tab order.
        if (focus_.isFocusable(focus_.active()) || focus_.inTransition())
            return true;
        focus_.tabToNext(false);
        QWidget *next = focus_.active();
        if (!next || !focus_.isFocusable(next))
            return true;
        if (next != widget) {
            KeyGate::deliver(next, event);
            return true;
        }
    }

    QPointer<QWidget> guard(widget);
    int keyCode = virtualKeyFromQt(event->key());
    int shift = shiftState(event->modifiers());
    if (keyCode != 0) {
        fire(widget, "KeyDown", { { "int&", &keyCode }, { "int", &shift } });
        if (keyCode == 0 || !guard || programEnding() || widget != focus_.active())
            return true;
    }
    if (auto *button = qobject_cast<QPushButton *>(widget)) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            pressButton(button);
            return true;
        }
    }
    const int typed = characterCode(event);
    if (typed == 0)
        return false;
    int keyAscii = typed;
    fire(widget, "KeyPress", { { "int&", &keyAscii } });
    if (keyAscii == 0 || !guard || programEnding())
        return true;
    auto *box = qobject_cast<QLineEdit *>(widget);
    if (!box || keyAscii < 32)
        return keyAscii != typed;
    // The length limit holds for typing only; text set by the program may be longer.
    const int limit = controlInfo(widget)->maxLength;
    if (limit > 0 && box->text().size() - box->selectedText().size() >= limit)
        return true;
    if (keyAscii != typed) {
        box->insert(QString(QChar(keyAscii)));
        return true;
    }
    return false;
}

bool Form::handleAccessKey(QWidget *widget)
{
    // Alt and a button's underlined letter moves the focus to the button, as a click does:
    // the field being left may refuse, and then the command does not run.
    auto *button = qobject_cast<QPushButton *>(widget);
    if (!button)
        return false;
    if (!focus_.isFocusable(button))
        return true;
    QPointer<QPushButton> guard(button);
    focus_.activate(button);
    if (guard && focus_.active() == button && !programEnding())
        pressButton(button);
    return true;
}

bool Form::handleMouse(QWidget *widget, QMouseEvent *event)
{
    QPointer<QWidget> guard(widget);
    int shift = shiftState(event->modifiers());
    double x = event->position().x();
    double y = event->position().y();
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        if (focus_.isFocusable(widget) && widget != focus_.active()) {
            focus_.activate(widget);
            if (!guard || focus_.active() != widget)
                return true;
        }
        pressed_ = widget;
        int button = mouseButton(event->button());
        fire(widget, "MouseDown",
             { { "int", &button }, { "int", &shift }, { "double", &x }, { "double", &y } });
        return !guard || programEnding();
    }
    case QEvent::MouseButtonRelease: {
        const bool clicked
            = pressed_ == widget && widget->rect().contains(event->position().toPoint());
        pressed_ = nullptr;
        int button = mouseButton(event->button());
        fire(widget, "MouseUp",
             { { "int", &button }, { "int", &shift }, { "double", &x }, { "double", &y } });
        if (clicked && guard
            && (qobject_cast<QLineEdit *>(widget) || qobject_cast<QLabel *>(widget)))
            fire(widget, "Click");
        return !guard || programEnding();
    }
    case QEvent::MouseButtonDblClick:
        if (qobject_cast<QLineEdit *>(widget) || qobject_cast<QLabel *>(widget))
            fire(widget, "DblClick");
        return false;
    case QEvent::MouseMove: {
        int button = mouseButton(event->buttons());
        fire(widget, "MouseMove",
             { { "int", &button }, { "int", &shift }, { "double", &x }, { "double", &y } });
        return false;
    }
    default:
        return false;
    }
}

} // namespace tallic

#pragma once

#include <QList>
#include <QPointer>

class QWidget;

namespace tallic {

class Form;

// The logical focus of one window: its active control and the moves between controls.
//
// Making another control active runs LostFocus of the old one and GotFocus of the new one.
// A LostFocus handler that sets the focus elsewhere (or back to its own control) decides
// where it goes: the control about to become active then sees neither event. A SetFocus
// from GotFocus, or a Tab typed while either handler runs, is a move of its own once the
// handlers are done. Focus changes made by the window system while a handler runs (a
// message box, say) start no move.
class FocusChain
{
public:
    explicit FocusChain(Form &form);
    FocusChain(const FocusChain &) = delete;
    FocusChain &operator=(const FocusChain &) = delete;

    QWidget *active() const { return active_; }
    // True while a LostFocus or GotFocus handler runs.
    bool inTransition() const { return transition_; }
    // A text box, button or list box of the window that is enabled and shown.
    bool isFocusable(QWidget *widget) const;

    // Makes a control active; what Control::setFocus does.
    void setFocusTo(QWidget *widget);
    // Moves to the next (or previous) control in tab order, as Tab (Shift+Tab) does.
    void tabToNext(bool backwards = false);
    // How a move was asked for: a forward Tab goes to the next stop as it stands once the
    // field has been left.
    enum class Move { Direct, TabForward };
    // Makes a control active now, with LostFocus and GotFocus.
    void activate(QWidget *target, Move move = Move::Direct);

    // The window system moved its keyboard focus to a control of the window.
    void keyboardFocusArrived(QWidget *widget, Qt::FocusReason reason);
    // The window became the active window.
    void windowActivated();
    // Gives the window system's keyboard focus back to the active control.
    void restoreKeyboardFocus();

private:
    QList<QWidget *> tabStops() const;
    // The stop after (or before) the active control in tab order; none without stops.
    QWidget *nextStop(bool backwards) const;
    int tabIndexOf(QWidget *widget) const;
    void giveKeyboardFocus(QWidget *widget);

    Form &form_;
    bool transition_ = false;
    QPointer<QWidget> active_;
    QPointer<QWidget> redirect_;
    QPointer<QWidget> deferred_;
};

} // namespace tallic

// The logical focus of a window: the active control, and the moves between controls.
#include "form.h"
#include "programstate.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>

namespace tallic {

FocusChain::FocusChain(Form &form)
    : form_(form)
{
}

bool FocusChain::isFocusable(QWidget *widget) const
{
    if (!widget || !form_.controlInfo(widget))
        return false;
    if (!qobject_cast<QLineEdit *>(widget) && !qobject_cast<QPushButton *>(widget)
        && !qobject_cast<QListWidget *>(widget))
        return false;
    return widget->isEnabled() && widget->isVisibleTo(&form_);
}

int FocusChain::tabIndexOf(QWidget *widget) const
{
    const ControlInfo *info = form_.controlInfo(widget);
    return info ? info->tabIndex : -1;
}

void FocusChain::setFocusTo(QWidget *widget)
{
    if (!isFocusable(widget) || programEnding())
        return;
    if (transition_) {
        // Inside GotFocus or LostFocus: the handler decides where the focus goes.
        redirect_ = widget;
        return;
    }
    activate(widget);
}

QList<QWidget *> FocusChain::tabStops() const
{
    QList<QWidget *> stops;
    for (QObject *object : form_.order_) {
        auto *widget = qobject_cast<QWidget *>(object);
        if (isFocusable(widget) && (form_.controlInfo(widget)->tabStop || widget == active_))
            stops.append(widget);
    }
    std::stable_sort(stops.begin(), stops.end(),
                     [this](QWidget *a, QWidget *b) { return tabIndexOf(a) < tabIndexOf(b); });
    return stops;
}

QWidget *FocusChain::nextStop(bool backwards) const
{
    const QList<QWidget *> stops = tabStops();
    if (stops.isEmpty())
        return nullptr;
    const qsizetype at = stops.indexOf(active_.data());
    if (at >= 0)
        return stops.at((at + (backwards ? stops.size() - 1 : 1)) % stops.size());
    // The active control was switched off: its neighbour in the tab order is next.
    const int from = active_ ? tabIndexOf(active_) : -1;
    const auto after = std::find_if(stops.cbegin(), stops.cend(),
                                    [this, from](QWidget *w) { return tabIndexOf(w) > from; });
    if (backwards)
        return after == stops.cbegin() ? stops.last() : *(after - 1);
    return after == stops.cend() ? stops.first() : *after;
}

void FocusChain::tabToNext(bool backwards)
{
    QWidget *target = nextStop(backwards);
    if (!target)
        return;
    if (transition_) {
        // A Tab that arrives while a handler runs is carried out once the handler is done.
        deferred_ = target;
        return;
    }
    activate(target, backwards ? Move::Direct : Move::TabForward);
}

void FocusChain::activate(QWidget *target, Move move)
{
    if (!isFocusable(target) || programEnding())
        return;
    if (target == active_) {
        giveKeyboardFocus(target);
        return;
    }
    transition_ = true;
    redirect_ = nullptr;
    QWidget *next = target;
    if (active_) {
        form_.fire(active_, "LostFocus");
        if (redirect_ && isFocusable(redirect_)) {
            next = redirect_;
        } else if (move == Move::TabForward) {
            // Tab goes to the next stop as leaving the field left the window: leaving the
            // base sale makes OK available, and OK is where the chit goes next.
            QWidget *now = nextStop(false);
            if (now && isFocusable(now))
                next = now;
        }
    }
    redirect_ = nullptr;
    active_ = next;
    giveKeyboardFocus(next);
    form_.fire(next, "GotFocus");
    transition_ = false;

    // SetFocus from GotFocus, or a Tab typed meanwhile, is a move of its own.
    QPointer<QWidget> after = redirect_ ? redirect_ : deferred_;
    redirect_ = nullptr;
    deferred_ = nullptr;
    if (after && after != active_)
        activate(after);
    else if (active_)
        giveKeyboardFocus(active_);
}

void FocusChain::keyboardFocusArrived(QWidget *widget, Qt::FocusReason reason)
{
    if (transition_ || widget == active_)
        return;
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) {
        // The window system gives the focus back on its own: it belongs to the active control.
        if (active_)
            QMetaObject::invokeMethod(&form_, &Form::restoreKeyboardFocus, Qt::QueuedConnection);
        return;
    }
    // A click is taken up by the mouse press that follows; a control that the window
    // system picks because the active one was disabled or hidden does not become active.
    if (reason != Qt::MouseFocusReason && (!active_ || isFocusable(active_)))
        activate(widget);
}

void FocusChain::windowActivated()
{
    if (!active_ && !transition_)
        tabToNext();
    else
        giveKeyboardFocus(active_);
}

void FocusChain::giveKeyboardFocus(QWidget *widget)
{
    if (!widget || !widget->isEnabled() || !form_.isVisible())
        return;
    if (!form_.isActiveWindow())
        form_.activateWindow();
    if (QApplication::focusWidget() != widget || widget->window()->focusWidget() != widget)
        widget->setFocus(Qt::OtherFocusReason);
}

void FocusChain::restoreKeyboardFocus()
{
    if (active_)
        giveKeyboardFocus(active_);
    else if (!form_.isActiveWindow() && form_.isVisible())
        form_.activateWindow();
}

} // namespace tallic

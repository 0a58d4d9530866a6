#include "control.h"

#include "colors.h"

#include <QAction>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QValidator>

namespace tallic {

namespace {

void applyColors(QWidget *widget, quint32 back, quint32 fore)
{
    QPalette palette = widget->palette();
    QPalette::ColorRole backRole = QPalette::Window;
    QPalette::ColorRole foreRole = QPalette::WindowText;
    if (qobject_cast<QLineEdit *>(widget) || qobject_cast<QListWidget *>(widget)) {
        backRole = QPalette::Base;
        foreRole = QPalette::Text;
    } else if (qobject_cast<QPushButton *>(widget)) {
        backRole = QPalette::Button;
        foreRole = QPalette::ButtonText;
    }
    palette.setColor(backRole, colorFromLong(back));
    palette.setColor(foreRole, colorFromLong(fore));
    // Disabled text stays readable but grey, as the office is used to.
    palette.setColor(QPalette::Disabled, foreRole, QColor(128, 128, 128));
    // A control that has these colours of its own already keeps its palette: setting one
    // costs more than painting the control.
    if (palette == widget->palette() && palette.resolveMask() == widget->palette().resolveMask())
        return;
    widget->setPalette(palette);
}

} // namespace

Control::Kind Control::kind() const
{
    QObject *o = object_;
    if (!o)
        return Kind::None;
    if (qobject_cast<QLineEdit *>(o))
        return Kind::TextBox;
    if (qobject_cast<QLabel *>(o))
        return Kind::Label;
    if (qobject_cast<QPushButton *>(o))
        return Kind::Button;
    if (qobject_cast<QListWidget *>(o))
        return Kind::ListBox;
    if (qobject_cast<QGroupBox *>(o))
        return Kind::Frame;
    if (qobject_cast<QAction *>(o))
        return Kind::MenuEntry;
    return Kind::None;
}

QString Control::name() const
{
    return object_ ? object_->objectName() : QString();
}

QString Control::baseName() const
{
    return info() ? info()->baseName : QString();
}

int Control::index() const
{
    return info() ? info()->index : -1;
}

QWidget *Control::widget() const
{
    return qobject_cast<QWidget *>(object_.data());
}

QString Control::text() const
{
    QObject *o = object_;
    if (auto *box = qobject_cast<QLineEdit *>(o))
        return box->text();
    if (auto *label = qobject_cast<QLabel *>(o))
        return label->text();
    if (auto *button = qobject_cast<QPushButton *>(o))
        return button->text();
    if (auto *list = qobject_cast<QListWidget *>(o))
        return list->currentItem() ? list->currentItem()->text() : QString();
    if (auto *frame = qobject_cast<QGroupBox *>(o))
        return frame->title();
    if (auto *action = qobject_cast<QAction *>(o))
        return action->text();
    if (auto *bar = qobject_cast<QProgressBar *>(o))
        return bar->text();
    return QString();
}

void Control::setText(const QString &text)
{
    QObject *o = object_;
    if (auto *box = qobject_cast<QLineEdit *>(o)) {
        // A display shows its text from the start; a keyed field goes on at its end.
        const int cursor = box->isReadOnly() ? 0 : int(text.size());
        // The same text again changes nothing to paint: only the cursor goes where the text
        // would have put it. Text the operator has edited is set anew, which also ends
        // what Undo would take back.
        if (box->text() == text && !box->isUndoAvailable() && !box->isRedoAvailable()) {
            if (box->hasSelectedText() || box->cursorPosition() != cursor)
                box->setCursorPosition(cursor);
            return;
        }
        // The length limit is the operator's: text set by the program may be longer.
        const QValidator *limit = box->validator();
        box->setValidator(nullptr);
        box->setText(text);
        box->setValidator(limit);
        box->setCursorPosition(cursor);
    } else if (auto *label = qobject_cast<QLabel *>(o)) {
        label->setText(text);
    } else if (auto *button = qobject_cast<QPushButton *>(o)) {
        button->setText(text);
    } else if (auto *frame = qobject_cast<QGroupBox *>(o)) {
        frame->setTitle(text);
    } else if (auto *action = qobject_cast<QAction *>(o)) {
        action->setText(text);
    }
}

bool Control::enabled() const
{
    if (auto *action = qobject_cast<QAction *>(object_.data()))
        return action->isEnabled();
    return widget() && widget()->isEnabled();
}

void Control::setEnabled(bool on)
{
    if (ControlInfo *i = info())
        ++i->enabledWrites;
    if (auto *action = qobject_cast<QAction *>(object_.data()))
        action->setEnabled(on);
    else if (widget())
        widget()->setEnabled(on);
}

bool Control::visible() const
{
    if (auto *action = qobject_cast<QAction *>(object_.data()))
        return action->isVisible();
    // The control's own setting, whether or not its window is on the screen yet.
    return widget() && !widget()->isHidden();
}

void Control::setVisible(bool on)
{
    if (auto *action = qobject_cast<QAction *>(object_.data()))
        action->setVisible(on);
    else if (widget())
        widget()->setVisible(on);
}

quint32 Control::backColor() const
{
    return info() ? info()->backColor : 0;
}

void Control::setBackColor(quint32 value)
{
    ControlInfo *i = info();
    if (!widget() || !i)
        return;
    i->backColor = value;
    applyColors(widget(), value, i->foreColor);
}

void Control::setColors(quint32 back, quint32 fore)
{
    ControlInfo *i = info();
    if (!widget() || !i)
        return;
    i->backColor = back;
    i->foreColor = fore;
    applyColors(widget(), back, fore);
}

quint32 Control::foreColor() const
{
    return info() ? info()->foreColor : 0;
}

void Control::setForeColor(quint32 value)
{
    ControlInfo *i = info();
    if (!widget() || !i)
        return;
    i->foreColor = value;
    applyColors(widget(), i->backColor, value);
}

QString Control::toolTip() const
{
    if (auto *action = qobject_cast<QAction *>(object_.data()))
        return action->toolTip();
    return widget() ? widget()->toolTip() : QString();
}

void Control::setToolTip(const QString &text)
{
    if (widget())
        widget()->setToolTip(text);
}

int Control::maxLength() const
{
    return info() ? info()->maxLength : 0;
}

void Control::setMaxLength(int length)
{
    if (ControlInfo *i = info())
        i->maxLength = length;
}

int Control::tabIndex() const
{
    return info() ? info()->tabIndex : 0;
}

void Control::setTabIndex(int index)
{
    if (ControlInfo *i = info())
        i->tabIndex = index;
}

bool Control::tabStop() const
{
    return info() && info()->tabStop;
}

void Control::setTabStop(bool on)
{
    if (ControlInfo *i = info())
        i->tabStop = on;
}

void Control::setFont(const QString &family, double pointSize, bool bold)
{
    QWidget *w = widget();
    if (!w)
        return;
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    w->setFont(font);
    if (ControlInfo *i = info())
        i->designPointSize = pointSize;
}

bool Control::locked() const
{
    auto *box = qobject_cast<QLineEdit *>(object_.data());
    return box && box->isReadOnly();
}

void Control::setLocked(bool on)
{
    if (auto *box = qobject_cast<QLineEdit *>(object_.data()))
        box->setReadOnly(on);
}

QStringList Control::items() const
{
    QStringList list;
    if (auto *box = qobject_cast<QListWidget *>(object_.data())) {
        for (int i = 0; i < box->count(); ++i)
            list.append(box->item(i)->text());
    }
    return list;
}

void Control::addItem(const QString &item)
{
    if (auto *box = qobject_cast<QListWidget *>(object_.data()))
        box->addItem(item);
}

void Control::removeItem(int row)
{
    if (auto *box = qobject_cast<QListWidget *>(object_.data()))
        delete box->takeItem(row);
}

void Control::clear()
{
    if (auto *box = qobject_cast<QListWidget *>(object_.data()))
        box->clear();
    else if (auto *line = qobject_cast<QLineEdit *>(object_.data()))
        line->clear();
}

int Control::listIndex() const
{
    auto *box = qobject_cast<QListWidget *>(object_.data());
    return box ? box->currentRow() : -1;
}

void Control::setListIndex(int row)
{
    if (auto *box = qobject_cast<QListWidget *>(object_.data()))
        box->setCurrentRow(row);
}

void Control::refresh()
{
    // What has changed in the window is painted now; a control that shows what it showed
    // is not painted again.
    if (QWidget *w = widget(); w && w->isVisible()) {
        QEvent paintNow(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(w->window(), &paintNow);
    }
}

} // namespace tallic

#include "datepicker.h"

#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>

#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace tallic::datepicker {

DatePicker::DatePicker(const QDate &day, QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(u"Choose a date"_s);
    // Tallic gives up its place on top while the calendar is open; the calendar takes it.
    setWindowFlag(Qt::WindowStaysOnTopHint);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(u"Enter or a double click picks the day; Escape cancels."_s));
    calendar_ = new QCalendarWidget;
    calendar_->setGridVisible(true);
    calendar_->setSelectedDate(day);
    layout->addWidget(calendar_);
    calendar_->setFocus();

    // A double click picks at once; Enter picks on its release (eventFilter).
    connect(calendar_, &QCalendarWidget::activated, this, &DatePicker::pick);
    for (QWidget *view : calendar_->findChildren<QAbstractItemView *>())
        view->installEventFilter(this);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &DatePicker::finish);

    connect(&server_, &tools::ClipboardServer::taken, this, &DatePicker::finish);
}

bool DatePicker::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    // Picking on the press would hide the calendar while Enter is still down, and its
    // auto-repeat would go on into the window behind. Only an Enter pressed here counts:
    // the one that opened the calendar may still be held when it appears.
    if (key->isAutoRepeat())
        return true;
    if (event->type() == QEvent::KeyPress)
        enterPressed_ = true;
    else if (std::exchange(enterPressed_, false))
        pick(calendar_->selectedDate());
    return true;
}

void DatePicker::pick(const QDate &date)
{
    if (done_ || !picked_.isEmpty() || !date.isValid())
        return;
    picked_ = date.toString(u"yyyyMMdd"_s);
    hide();
    server_.serve(picked_);
}

void DatePicker::finish()
{
    if (done_)
        return;
    done_ = true;
    hide();
    emit finished();
}

void DatePicker::closeEvent(QCloseEvent *event)
{
    // Closed by the window manager before a pick: no date.
    if (picked_.isEmpty())
        finish();
    event->accept();
}

} // namespace tallic::datepicker

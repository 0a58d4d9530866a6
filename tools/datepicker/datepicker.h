#pragma once

#include "clipboardserver.h"

#include <QDate>
#include <QWidget>

class QCalendarWidget;

namespace tallic::datepicker {

// The suite's calendar: a month view with the day given chosen. Enter (on its release) or a double
// click picks the day, which is then served on the clipboard as eight digits yyyymmdd until another
// program has taken it (the clipboard changes or is cleared); Escape or closing the
// window gives no date. finished() follows in every case.
class DatePicker : public QWidget
{
    Q_OBJECT

public:
    explicit DatePicker(const QDate &day, QWidget *parent = nullptr);

    QCalendarWidget *calendar() const { return calendar_; }
    // The date served, empty before a pick.
    QString picked() const { return picked_; }
    // How long a picked date is served at most when nobody takes it.
    void setServeLimit(int milliseconds) { server_.setLimit(milliseconds); }

signals:
    void finished();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void pick(const QDate &date);
    void finish();

    QCalendarWidget *calendar_ = nullptr;
    QString picked_;
    tools::ClipboardServer server_;
    bool done_ = false;
    bool enterPressed_ = false;
};

} // namespace tallic::datepicker

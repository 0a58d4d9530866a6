// The calendar picks on the release of an Enter pressed in it: a held Enter, or the
// Enter that opened it still being held, must not pick a day and run on into Tallic.
#include "datepicker.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QTableView>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using tallic::datepicker::DatePicker;

namespace {

TEST(DatePickerTest, EnterPicksOnItsReleaseOnly)
{
    // P: press, R: release, p/r: auto-repeated press/release.
    struct Case
    {
        const char *keys;
        bool picks;
    };
    const Case cases[] = {
        { "PR", true },       { "P", false }, // still held
        { "Pprprpr", false }, // held past the auto-repeat delay, not yet let go
        { "PprprR", true },   { "prprR", false }, // the Enter that opened the calendar, let go here
        { "RPR", true },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.keys);
        DatePicker picker(QDate(2024, 3, 15));
        picker.setServeLimit(0);
        picker.show();
        QWidget *view = picker.calendar()->findChild<QTableView *>();
        ASSERT_NE(view, nullptr);
        for (const char *k = c.keys; *k; ++k) {
            const QEvent::Type type
                = QChar::fromLatin1(*k).toUpper() == u'P' ? QEvent::KeyPress : QEvent::KeyRelease;
            QKeyEvent event(type, Qt::Key_Return, Qt::NoModifier, u"\r"_s, QChar::isLower(*k));
            QApplication::sendEvent(view, &event);
        }
        EXPECT_EQ(picker.picked(), c.picks ? u"20240315"_s : QString());
    }
}

} // namespace

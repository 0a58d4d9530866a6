#include "suite/sharedstate.h"
#include "suite/today.h"
#include "testkit/harness.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::Harness;

namespace {

TEST(TodayTest, DateForms)
{
    struct Case
    {
        QDate date;
        QString text;
        qint32 number;
    };
    const Case cases[] = {
        { QDate(2024, 3, 1), u"03-01-2024"_s, 20240301 },
        { QDate(1999, 12, 31), u"12-31-1999"_s, 19991231 },
        { QDate(2024, 2, 29), u"02-29-2024"_s, 20240229 },
        { QDate(2000, 10, 5), u"10-05-2000"_s, 20001005 },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(dateText(c.date), c.text);
        EXPECT_EQ(dateNumber(c.date), c.number);
    }
}

TEST(TodayTest, SetTodayFromTheSystemDate)
{
    Harness h;
    h.setToday(QDate(2024, 3, 1));
    SetToday();
    EXPECT_EQ(state().TodayText, u"03-01-2024"_s);
    EXPECT_EQ(state().TodayNumber, 20240301);
}

TEST(TodayTest, FunctionKeyEntries)
{
    struct Case
    {
        QString code;
        int entry;
    };
    const Case cases[] = {
        { u"112"_s, 1 },   { u"115"_s, 4 },   { u"116"_s, 0 }, { u"117"_s, 6 },
        { u"123"_s, 12 },  { u"111"_s, 0 },   { u"124"_s, 0 }, { u" 113 "_s, 2 },
        { u"112.5"_s, 0 }, { u"1e300"_s, 0 }, { u"nan"_s, 0 }, { u""_s, 0 },
    };
    for (const Case &c : cases)
        EXPECT_EQ(functionKeyEntry(c.code), c.entry) << c.code.toStdString();
}

TEST(TodayTest, ExpandMacro)
{
    struct Case
    {
        QString typed;
        QString expanded;
    };
    const Case cases[] = {
        { u"116"_s, u"116"_s }, // F5 is the lookup key, not a macro
        { u"112"_s, u"Guest of member"_s },
        { u"113"_s, u""_s }, // a key without a text
        { u"120"_s, u"Banquet deposit"_s },
        { u"=today()"_s, u"20240301"_s },
        { u"=ToDay()"_s, u"20240301"_s },
        { u"114"_s, u"20240301"_s }, // F3's text is "=TODAY()"
        { u"=TODAY() "_s, u"=TODAY() "_s },
        { u"Lunch"_s, u"Lunch"_s },
    };
    Harness h;
    h.setToday(QDate(2024, 3, 1));
    state().FunctionKeyText[1] = u"Guest of member"_s;
    state().FunctionKeyText[3] = u"=TODAY()"_s;
    state().FunctionKeyText[5] = u"should never show"_s;
    state().FunctionKeyText[9] = u"Banquet deposit"_s;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        state().TodayText.clear();
        state().MsgText = c.typed;
        ExpandMacro();
        EXPECT_EQ(state().MsgText, c.expanded);
        if (c.expanded == u"20240301"_s) {
            EXPECT_EQ(state().TodayText, u"03-01-2024"_s);
        }
    }
}

} // namespace

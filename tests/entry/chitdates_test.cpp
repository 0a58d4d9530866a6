#include "basic/chitdates.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;

namespace {

TEST(ChitDatesTest, completeChitDate)
{
    struct Case
    {
        QString text;
        qint32 arYear;
        QString completed;
    };
    const Case cases[] = {
        { u"0315"_s, 2024, u"20240315"_s },
        { u"1231"_s, 2025, u"20251231"_s },
        { u"20240315"_s, 2024, u"20240315"_s },
        { u"315"_s, 2024, u"315"_s },
        { u"03151"_s, 2024, u"03151"_s },
        { u""_s, 2024, u""_s },
        // Any four characters count as mmdd; the date check refuses what is not a date.
        { u"ab12"_s, 2024, u"2024ab12"_s },
    };
    for (const Case &c : cases)
        EXPECT_EQ(completeChitDate(c.text, c.arYear), c.completed) << c.text.toStdString();
}

TEST(ChitDatesTest, PeriodBounds)
{
    struct Case
    {
        qint32 arYear;
        int arMonth;
        qint32 start;
        qint32 end;
    };
    const Case cases[] = {
        { 2024, 3, 20240300, 20240332 },
        { 2024, 11, 20241100, 20241132 },
        { 2024, 12, 20241200, 20241232 },
        { 2025, 1, 20250100, 20250132 },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(periodStart(c.arYear, c.arMonth), c.start);
        EXPECT_EQ(periodEnd(c.arYear, c.arMonth), c.end);
    }
}

TEST(ChitDatesTest, checkChitDate)
{
    constexpr auto Ok = DateVerdict::Accepted;
    constexpr auto Before = DateVerdict::PreviousPeriod;
    constexpr auto Ahead = DateVerdict::TooFarAhead;
    constexpr auto NoDate = DateVerdict::NotADate;
    struct Case
    {
        qint32 date;
        qint32 arYear;
        int arMonth;
        int level;
        int systemYear;
        DateVerdict verdict;
    };
    const Case cases[] = {
        // Open month March 2024.
        { 20240229, 2024, 3, 10, 2024, Before },
        // Days the calendar does not have, however the bounds would take them.
        { 20240299, 2024, 3, 10, 2024, NoDate },
        { 20240300, 2024, 3, 10, 2024, NoDate },
        { 20240230, 2024, 3, 10, 2024, NoDate },
        { 20240431, 2024, 3, 10, 2024, NoDate },
        { 20240460, 2024, 3, 99, 2024, NoDate },
        { 20240301, 2024, 3, 10, 2024, Ok },
        { 20240331, 2024, 3, 10, 2024, Ok },
        { 20240430, 2024, 3, 10, 2024, Ok },
        { 20240501, 2024, 3, 10, 2024, Ahead }, // d = 169
        { 20240501, 2024, 3, 10, 2025, Ok },
        { 20240501, 2024, 3, 10, 2023, Ok },
        { 20250301, 2024, 3, 10, 2025, Ahead },
        // Open month November 2024.
        { 20241231, 2024, 11, 10, 2024, Ok }, // d = 99
        { 20250101, 2024, 11, 10, 2025, Ok }, // d = 8969
        { 20250101, 2024, 11, 10, 2024, Ahead },
        { 20250102, 2024, 11, 10, 2025, Ahead }, // d = 8970
        // Open month December 2024: the next January only once the year has turned.
        { 20241231, 2024, 12, 10, 2024, Ok },
        { 20250105, 2024, 12, 10, 2024, Ahead }, // d = 8873
        { 20250131, 2024, 12, 10, 2025, Ok }, // d = 8899
        { 20250201, 2024, 12, 10, 2025, Ok }, // d = 8969
        { 20250202, 2024, 12, 10, 2025, Ahead },
        { 20241130, 2024, 12, 10, 2025, Before },
        // Level 99 and above: any date from the open month on.
        { 20991231, 2024, 3, 99, 2024, Ok },
        { 20991231, 2024, 3, 120, 2024, Ok },
        { 20991231, 2024, 3, 98, 2024, Ahead },
        { 20240229, 2024, 3, 99, 2024, Before },
        // A blank date reads as 0.
        { 0, 2024, 3, 99, 2024, NoDate },
    };
    for (const Case &c : cases)
        EXPECT_EQ(checkChitDate(c.date, c.arYear, c.arMonth, c.level, c.systemYear), c.verdict)
            << c.date << " month " << c.arMonth << "/" << c.arYear << " level " << c.level
            << " system year " << c.systemYear;
}

} // namespace

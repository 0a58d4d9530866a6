// The dates of a chit, worked out apart from the window.
#include "basic/chitdates.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;

namespace {

TEST(ChitDatesTest, completeChitDate)
{
    // Any four characters count as mmdd; the date check refuses what is not a date.
    const std::pair<QString, QString> cases[] = {
        { u"0315"_s, u"20240315"_s },
        { u"20240315"_s, u"20240315"_s },
        { u"315"_s, u"315"_s },
        { u"03151"_s, u"03151"_s },
        { u""_s, u""_s },
        { u"ab12"_s, u"2024ab12"_s },
    };
    for (const auto &[text, completed] : cases)
        EXPECT_EQ(completeChitDate(text, 2024), completed) << text.toStdString();
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
        int arMonth, level, systemYear;
        DateVerdict verdict;
    };
    // The open month is of 2024; d is the distance the check measures.
    const Case cases[] = {
        { 20240229, 3, 10, 2024, Before },
        { 20240301, 3, 10, 2024, Ok },
        { 20240430, 3, 10, 2024, Ok }, // d = 98
        { 20240501, 3, 10, 2024, Ahead }, // d = 169
        { 20240501, 3, 10, 2025, Ok },
        { 20240501, 3, 10, 2023, Ok },
        { 20250301, 3, 10, 2025, Ahead },
        { 20241231, 11, 10, 2024, Ok }, // d = 99
        { 20250101, 11, 10, 2025, Ok }, // d = 8969
        { 20250101, 11, 10, 2024, Ahead },
        { 20250102, 11, 10, 2025, Ahead }, // d = 8970
        // December: the next January only once the year has turned.
        { 20241231, 12, 10, 2024, Ok },
        { 20250105, 12, 10, 2024, Ahead },
        { 20250201, 12, 10, 2025, Ok },
        { 20250202, 12, 10, 2025, Ahead },
        { 20241130, 12, 10, 2025, Before },
        // Level 99 and above: any date from the open month on.
        { 20991231, 3, 120, 2024, Ok },
        { 20991231, 3, 98, 2024, Ahead },
        { 20240229, 3, 99, 2024, Before },
        // Days the calendar does not have, however the bounds would take them.
        { 20240299, 3, 10, 2024, NoDate },
        { 20240300, 3, 10, 2024, NoDate },
        { 20240230, 3, 10, 2024, NoDate },
        { 20240460, 3, 99, 2024, NoDate },
        { 0, 3, 99, 2024, NoDate },
    };
    for (const Case &c : cases)
        EXPECT_EQ(checkChitDate(c.date, 2024, c.arMonth, c.level, c.systemYear), c.verdict)
            << c.date << " month " << c.arMonth << " level " << c.level << " year " << c.systemYear;
}

} // namespace

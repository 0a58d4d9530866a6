// The amounts and dates of a chit, worked out apart from the window.
#include "basic/amounts.h"
#include "basic/chitdates.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;

namespace {

TEST(AmountsTest, chitCharges)
{
    struct Case
    {
        const char *what;
        ChargeInputs in;
        QString serviceCharge, tax;
    };
    // The club's usual account: 15 % service charge, 6 % tax, the service charge taxed in
    // full.
    const auto usual = [](double base, double scRate = 0.15, double taxRate = 0.06,
                          bool taxSc = true, float share = 1, const QString &basis = u"D"_s,
                          float salesRate = 0.06f) {
        return ChargeInputs { base, scRate, taxRate, false, taxSc, false, share, basis, salesRate };
    };
    ChargeInputs bypassed = usual(100, 0.15, 0, true, 1, u"S"_s, 0.08f);
    bypassed.taxBypass = true;
    ChargeInputs consolidated = usual(100);
    consolidated.consolidation = true;
    const Case cases[] = {
        { "worked example", usual(100), u"15.00"_s, u"6.90"_s },
        { "empty basis taxes like D", usual(100, 0.15, 0.06, true, 1, {}), u"15.00"_s, u"6.90"_s },
        { "basis S at the sales rate", usual(100, 0.15, 0.06, true, 1, u"S"_s, 0.08f), u"15.00"_s,
          u"7.20"_s },
        { "unknown basis", usual(100, 0.15, 0.06, true, 1, u"s"_s), u"15.00"_s, u"6.00"_s },
        { "service charge not taxed", usual(100, 0.15, 0.06, false), u"15.00"_s, u"6.00"_s },
        { "half taxed", usual(100, 0.15, 0.06, true, 0.5f), u"15.00"_s, u"6.45"_s },
        { "tax bypass skips the tax on the service charge", bypassed, u"15.00"_s, u".00"_s },
        { "consolidated", consolidated, u"0"_s, u"0"_s },
        { "payment", usual(-25), u"-3.75"_s, u"-1.72"_s },
        // The tax on the service charge uses the charge as shown: .13, not .128.
        { "rounded service charge", usual(1.28, 0.1), u".13"_s, u".09"_s },
        // 0.0005 lifts a value ending in 45 thousandths of a cent to the next cent.
        { "nudge at the half cent", usual(1.63, 0.15, 0.06, false), u".25"_s, u".10"_s },
        { "nudge below the half cent", usual(1, 0.0044, 0.0045, false), u".00"_s, u".01"_s },
        // The single-precision sales rate is widened as stored: 0.01f lies a hair below 0.01,
        // so .45 × 0.01f + 0.0005 stays under the half cent.
        { "single-precision sales rate", usual(3, 0.15, 0, true, 1, u"S"_s, 0.01f), u".45"_s,
          u".00"_s },
    };
    for (const Case &c : cases) {
        const Charges out = chitCharges(c.in);
        EXPECT_EQ(out.serviceCharge, c.serviceCharge) << c.what;
        EXPECT_EQ(out.tax, c.tax) << c.what;
    }
}

TEST(AmountsTest, chitTotal)
{
    const QString cases[][4] = {
        { u"-3.75"_s, u"-25.00"_s, u"-1.72"_s, u"-30.47"_s },
        { u"0"_s, u"0.005"_s, u"0"_s, u".01"_s },
        { u"1 000"_s, u"0"_s, u"0"_s, u"1000.00"_s },
        { u""_s, u""_s, u""_s, u".00"_s },
        { u"abc"_s, u"12.5"_s, u"2.50 tip"_s, u"15.00"_s },
    };
    for (const auto &c : cases)
        EXPECT_EQ(chitTotal(c[0], c[1], c[2]), c[3]) << qPrintable(c[0] + u" + "_s + c[1]);
}

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

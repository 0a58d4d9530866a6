#include "basic/masks.h"
#include "basic/numbers.h"

#include <limits>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;

namespace {

TEST(MasksTest, formatMask)
{
    struct Case
    {
        double value;
        QString mask;
        QString text;
    };
    const QString two = u"#######.#0"_s;
    const QString three = u"#####.##0"_s;
    const QString grouped = u"###,###.#0"_s;
    const Case cases[] = {
        // Halves as typed, which the double holds a hair below or above.
        { 0.125, two, u".13"_s },
        { 1.005, two, u"1.01"_s },
        { 2.675, two, u"2.68"_s },
        { 1.015, two, u"1.02"_s },
        { 0.285, two, u".29"_s },
        { 0.0049, two, u".00"_s },
        { 6.9005, two, u"6.90"_s },
        { 0.995, two, u"1.00"_s },
        { 999.995, two, u"1000.00"_s },
        // No zero before the point; zero itself is ".00".
        { 0.5, two, u".50"_s },
        { 0, two, u".00"_s },
        { -0.0, two, u".00"_s },
        { 25, two, u"25.00"_s },
        { 15.0005, u"######.#0"_s, u"15.00"_s },
        { 121.9, u"######.#0"_s, u"121.90"_s },
        // Negatives: minus first, rounded away from zero, no "-.00".
        { -0.5, two, u"-.50"_s },
        { -0.005, two, u"-.01"_s },
        { -2.675, two, u"-2.68"_s },
        { -25, u"#######.#0"_s, u"-25.00"_s },
        { -0.004, two, u".00"_s },
        { -0.0004, three, u".000"_s },
        // The count of "#" does not limit the digits.
        { 123456789.126, u"#####.#0"_s, u"123456789.13"_s },
        { 1e20, u"#####.#0"_s, u"100000000000000000000.00"_s },
        // Three decimals.
        { 4010, three, u"4010.000"_s },
        { 4010.0005, three, u"4010.001"_s },
        { 0.0625, three, u".063"_s },
        { 1.0005, three, u"1.001"_s },
        { -1.0005, three, u"-1.001"_s },
        { 1234.5678, three, u"1234.568"_s },
        // Thousands grouped only when the mask says so.
        { 1234567.891, grouped, u"1,234,567.89"_s },
        { 1234.5, grouped, u"1,234.50"_s },
        { 999.999, grouped, u"1,000.00"_s },
        { 123, grouped, u"123.00"_s },
        { 123456, grouped, u"123,456.00"_s },
        { -1234.5, grouped, u"-1,234.50"_s },
        { 0.25, grouped, u".25"_s },
        { 1234567.891, two, u"1234567.89"_s },
        // A zero placeholder before the point asks for a digit there.
        { 0.5, u"0.00"_s, u"0.50"_s },
        { -0.5, u"#,##0.00"_s, u"-0.50"_s },
        // No point: whole numbers.
        { 2.5, u"####"_s, u"3"_s },
        { 0.4, u"####"_s, u""_s },
    };
    for (const Case &c : cases)
        EXPECT_EQ(formatMask(c.value, c.mask), c.text) << c.value << " " << c.mask.toStdString();
}

TEST(MasksTest, shortestNumber)
{
    struct Case
    {
        double value;
        QString text;
    };
    // Values as keyed or stored: statements hand the text to the database engine, which
    // must read back the very same number.
    const Case typed[] = {
        { 4010, u"4010"_s },
        { 1001.01, u"1001.01"_s },
        { 0.5, u"0.5"_s },
        { -0.5, u"-0.5"_s },
        { -25.5, u"-25.5"_s },
        { 0, u"0"_s },
        { -0.0, u"0"_s },
        { 1234 - 0.001, u"1233.999"_s },
        { 1234.01 + 0.001, u"1234.011"_s },
        { 1234.01 - 0.001, u"1234.009"_s },
        { 20240315, u"20240315"_s },
        { 0.001, u"0.001"_s },
        { 0.00001, u"0.00001"_s },
        { 100000000000000, u"100000000000000"_s },
        { 123456789012.345, u"123456789012.345"_s },
        { -99999.99, u"-99999.99"_s },
    };
    for (const Case &c : typed) {
        EXPECT_EQ(shortestNumber(c.value), c.text) << c.value;
        EXPECT_EQ(shortestNumber(c.value).toDouble(), c.value) << c.value;
    }

    // Running totals keep no binary noise: at most 15 significant digits, and far-off
    // magnitudes in exponent form.
    const Case computed[] = {
        { 0.1 + 0.2, u"0.3"_s },
        { 1.0 / 3, u"0.333333333333333"_s },
        { -2.0 / 3, u"-0.666666666666667"_s },
        { 0.1 + 0.7, u"0.8"_s },
        { 1e15, u"1e+15"_s },
        { 999999999999999.9, u"1e+15"_s },
        { 1e-9, u"1e-09"_s },
    };
    for (const Case &c : computed)
        EXPECT_EQ(shortestNumber(c.value), c.text) << c.value;
}

TEST(MasksTest, NotFiniteValuesAreNotDisguisedAsNumbers)
{
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(formatMask(inf, u"#####.#0"_s), u"inf"_s);
    EXPECT_EQ(shortestNumber(-inf), u"-inf"_s);
}

TEST(NumbersTest, Val)
{
    struct Case
    {
        QString text;
        double value;
    };
    const Case cases[] = {
        { u"25"_s, 25 },
        { u"25.50"_s, 25.5 },
        { u".5"_s, 0.5 },
        { u"-.50"_s, -0.5 },
        { u"+7"_s, 7 },
        { u"5."_s, 5 },
        { u"00012.50"_s, 12.5 },
        { u"1001.01"_s, 1001.01 },
        // Blanks, tabs and line feeds are skipped anywhere, also inside the number.
        { u"  12"_s, 12 },
        { u"1 2 3"_s, 123 },
        { u"- 5"_s, -5 },
        { u"\t4\n5"_s, 45 },
        // Reading stops at the first other character.
        { u"125A"_s, 125 },
        { u"1.2.3"_s, 1.2 },
        { u"12-3"_s, 12 },
        { u"5 -3"_s, 5 },
        { u"1e3"_s, 1 },
        { u"1,234.50"_s, 1 },
        { u"1\r\n2"_s, 1 },
        { u"\u0661\u0662"_s, 0 },
        // Texts that do not begin with a number.
        { u""_s, 0 },
        { u"   "_s, 0 },
        { u"K48213"_s, 0 },
        { u"PAYMENT"_s, 0 },
        { u"."_s, 0 },
        { u"-"_s, 0 },
        { u"-.x"_s, 0 },
        { u"+-5"_s, 0 },
        { u"$5"_s, 0 },
    };
    for (const Case &c : cases)
        EXPECT_EQ(Val(c.text), c.value) << c.text.toStdString();
}

} // namespace

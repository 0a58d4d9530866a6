#include "basic/cents.h"
#include "basic/masks.h"
#include "basic/numbers.h"

#include <cmath>
#include <limits>
#include <tuple>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;

namespace {

constexpr double Infinity = std::numeric_limits<double>::infinity();

TEST(MasksTest, formatMask)
{
    struct Case
    {
        double value;
        QString mask, text;
    };
    const QString two = u"#######.#0"_s, three = u"#####.##0"_s, grouped = u"###,###.#0"_s;
    const Case cases[] = {
        // Halves as typed, which the double holds a hair below or above.
        { 1.005, two, u"1.01"_s },
        { 0.0049, two, u".00"_s },
        { 999.995, two, u"1000.00"_s },
        // No zero before the point; negatives rounded away from zero, and no "-.00".
        { 0, two, u".00"_s },
        { -0.005, two, u"-.01"_s },
        { -0.004, two, u".00"_s },
        { -0.0004, three, u".000"_s },
        // The count of "#" does not limit the digits.
        { 1e20, u"#####.#0"_s, u"100000000000000000000.00"_s },
        { -1.0005, three, u"-1.001"_s },
        // Thousands grouped only when the mask says so.
        { 1234567.891, grouped, u"1,234,567.89"_s },
        { 999.999, grouped, u"1,000.00"_s },
        { -1234.5, grouped, u"-1,234.50"_s },
        { 1234567.891, two, u"1234567.89"_s },
        // A zero placeholder before the point asks for a digit there; no point: whole numbers.
        { -0.5, u"#,##0.00"_s, u"-0.50"_s },
        { 2.5, u"####"_s, u"3"_s },
        { Infinity, two, u"inf"_s },
    };
    for (const Case &c : cases)
        EXPECT_EQ(formatMask(c.value, c.mask), c.text) << c.value << " " << c.mask.toStdString();
}

// Every amount is rounded by one rule, the masks': half away from zero on the decimal text,
// so what is stored, added and compared is what the fields show.
TEST(CentsTest, AmountsAreCentsRoundedAsTheMasksRound)
{
    // The value; its cents, as the mask writes them and without the zeros at the end.
    const std::tuple<double, qint64, QString, QString> cases[] = {
        { 10.0 + 1.8 + 0.71, 1251, u"12.51"_s, u"12.51"_s },
        { 2.675, 268, u"2.68"_s, u"2.68"_s },
        { -0.005, -1, u"-.01"_s, u"-0.01"_s },
        { 0.0049, 0, u".00"_s, u"0"_s },
        { -25.5, -2550, u"-25.50"_s, u"-25.5"_s },
        { 1234567.89, 123456789, u"1234567.89"_s, u"1234567.89"_s },
        { 1e20, Cents::Bound, u"90071992547409.92"_s, u"90071992547409.92"_s },
        { -Infinity, -Cents::Bound, u"-90071992547409.92"_s, u"-90071992547409.92"_s },
        { std::nan(""), 0, u".00"_s, u"0"_s },
    };
    for (const auto &[value, count, text, shortest] : cases) {
        const Cents cents = Cents::of(value);
        // Stored as the double nearest the cents: the one the text reads as.
        EXPECT_EQ(std::tuple(cents.count(), cents.text(), cents.shortest(), cents.toDouble()),
                  std::tuple(count, text, shortest, text.toDouble()))
            << value;
    }
    for (int i = -50000; i <= 50000; ++i) {
        const double half = i / 100.0 + 0.005;
        ASSERT_EQ(Cents::of(half).text(), formatMask(half, u"#######.#0"_s)) << half;
    }
}

TEST(MasksTest, shortestNumber)
{
    // Values as keyed or stored: the database engine must read back the very same number.
    for (const double typed : { 1001.01, -0.5, 1234 - 0.001, 1234.01 + 0.001, 0.00001,
                                100000000000000.0, 123456789012.345 })
        EXPECT_EQ(shortestNumber(typed).toDouble(), typed) << typed;
    // Running totals keep no binary noise: at most 15 significant digits, and far-off
    // magnitudes in exponent form.
    const std::pair<double, QString> computed[] = {
        { -0.0, u"0"_s },
        { 0.1 + 0.2, u"0.3"_s },
        { -2.0 / 3, u"-0.666666666666667"_s },
        { 999999999999999.9, u"1e+15"_s },
        { 1e-9, u"1e-09"_s },
        { -Infinity, u"-inf"_s },
    };
    for (const auto &[value, text] : computed)
        EXPECT_EQ(shortestNumber(value), text) << value;
}

TEST(NumbersTest, Val)
{
    const std::pair<QString, double> cases[] = {
        { u"-.50"_s, -0.5 },
        { u"+7"_s, 7 },
        { u"00012.50"_s, 12.5 },
        // Blanks, tabs and line feeds are skipped anywhere, also inside the number.
        { u"- 5"_s, -5 },
        { u"\t4\n5"_s, 45 },
        // Reading stops at the first other character.
        { u"125A"_s, 125 },
        { u"1.2.3"_s, 1.2 },
        { u"5 -3"_s, 5 },
        { u"1e3"_s, 1 },
        { u"1,234.50"_s, 1 },
        { u"1\r\n2"_s, 1 },
        { u"K48213"_s, 0 },
        { u"."_s, 0 },
        { u"-.x"_s, 0 },
        { u"+-5"_s, 0 },
        { u""_s, 0 },
        // Longer than most: read all the same.
        { u"1"_s + QString(70, u'0') + u".5"_s, 1e70 },
        { u"-0."_s + QString(80, u'0') + u"25"_s, -2.5e-81 },
    };
    for (const auto &[text, value] : cases)
        EXPECT_EQ(Val(text), value) << text.toStdString();
}

} // namespace

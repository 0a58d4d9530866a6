#include "entry/amounts.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;

namespace {

// The club's usual account: 15 % service charge, 6 % tax, the service charge taxed in full.
ChargeInputs usual(double base)
{
    ChargeInputs in;
    in.base = base;
    in.scRate = 0.15;
    in.taxRate = 0.06;
    in.taxServiceCharge = true;
    in.scTaxableShare = 1;
    in.scTaxBasis = u"D"_s;
    in.salesTaxRate = 0.06f;
    return in;
}

TEST(AmountsTest, chitCharges)
{
    struct Case
    {
        const char *what;
        ChargeInputs in;
        QString serviceCharge;
        QString tax;
    };
    const auto with = [](ChargeInputs in, auto change) {
        change(in);
        return in;
    };
    const Case cases[] = {
        { "worked example", usual(100), u"15.00"_s, u"6.90"_s },
        { "empty basis taxes like D",
          with(usual(100), [](ChargeInputs &in) { in.scTaxBasis.clear(); }), u"15.00"_s,
          u"6.90"_s },
        { "basis S at the sales rate",
          with(usual(100),
               [](ChargeInputs &in) {
                   in.scTaxBasis = u"S"_s;
                   in.salesTaxRate = 0.08f;
               }),
          u"15.00"_s, u"7.20"_s },
        { "unknown basis keeps the plain tax",
          with(usual(100), [](ChargeInputs &in) { in.scTaxBasis = u"s"_s; }), u"15.00"_s,
          u"6.00"_s },
        { "service charge not taxed",
          with(usual(100), [](ChargeInputs &in) { in.taxServiceCharge = false; }), u"15.00"_s,
          u"6.00"_s },
        { "half the service charge taxed",
          with(usual(100), [](ChargeInputs &in) { in.scTaxableShare = 0.5f; }), u"15.00"_s,
          u"6.45"_s },
        { "tax bypass skips the tax on the service charge",
          with(usual(100),
               [](ChargeInputs &in) {
                   in.taxRate = 0;
                   in.taxBypass = true;
                   in.scTaxBasis = u"S"_s;
                   in.salesTaxRate = 0.08f;
               }),
          u"15.00"_s, u".00"_s },
        { "exempt member",
          with(usual(100),
               [](ChargeInputs &in) {
                   in.taxRate = 0;
                   in.salesTaxRate = 0;
                   in.scTaxBasis = u"S"_s;
               }),
          u"15.00"_s, u".00"_s },
        { "service charge bypass", with(usual(100), [](ChargeInputs &in) { in.scRate = 0; }),
          u".00"_s, u"6.00"_s },
        { "consolidated", with(usual(100), [](ChargeInputs &in) { in.consolidation = true; }),
          u"0"_s, u"0"_s },
        { "payment", usual(-25), u"-3.75"_s, u"-1.72"_s },
        { "zero base", usual(0), u".00"_s, u".00"_s },
        // The tax on the service charge uses the charge as shown: .13, not .128.
        { "rounded service charge", with(usual(1.28), [](ChargeInputs &in) { in.scRate = 0.1; }),
          u".13"_s, u".09"_s },
        // 0.0005 lifts a value ending in 45 thousandths of a cent to the next cent.
        { "nudge at the half cent",
          with(usual(1.63), [](ChargeInputs &in) { in.taxServiceCharge = false; }), u".25"_s,
          u".10"_s },
        { "nudge below the half cent",
          with(usual(1),
               [](ChargeInputs &in) {
                   in.scRate = 0.0044;
                   in.taxRate = 0.0045;
                   in.taxServiceCharge = false;
               }),
          u".00"_s, u".01"_s },
        // The single-precision sales rate is widened as stored: 0.01f lies a hair below 0.01,
        // so .45 × 0.01f + 0.0005 stays under the half cent.
        { "single-precision sales rate",
          ChargeInputs { .base = 3,
                         .scRate = 0.15,
                         .taxServiceCharge = true,
                         .scTaxableShare = 1,
                         .scTaxBasis = u"S"_s,
                         .salesTaxRate = 0.01f },
          u".45"_s, u".00"_s },
    };
    for (const Case &c : cases) {
        const Charges out = chitCharges(c.in);
        EXPECT_EQ(out.serviceCharge, c.serviceCharge) << c.what;
        EXPECT_EQ(out.tax, c.tax) << c.what;
    }
}

TEST(AmountsTest, ChitTotal)
{
    struct Case
    {
        QString serviceCharge;
        QString base;
        QString tax;
        QString total;
    };
    const Case cases[] = {
        { u"15.00"_s, u"100.00"_s, u"6.90"_s, u"121.90"_s },
        { u"15.00"_s, u"100.00"_s, u"7.20"_s, u"122.20"_s },
        { u"0"_s, u"100.00"_s, u"0"_s, u"100.00"_s },
        { u"-3.75"_s, u"-25.00"_s, u"-1.72"_s, u"-30.47"_s },
        { u".10"_s, u".20"_s, u".00"_s, u".30"_s },
        { u"-.50"_s, u".25"_s, u"0"_s, u"-.25"_s },
        { u"0"_s, u"0.005"_s, u"0"_s, u".01"_s },
        { u"1 000"_s, u"0"_s, u"0"_s, u"1000.00"_s },
        { u""_s, u""_s, u""_s, u".00"_s },
        { u"abc"_s, u"12.5"_s, u"2.50 tip"_s, u"15.00"_s },
        { u"1.25"_s, u"-1.25"_s, u"0"_s, u".00"_s },
    };
    for (const Case &c : cases)
        EXPECT_EQ(chitTotal(c.serviceCharge, c.base, c.tax), c.total)
            << c.serviceCharge.toStdString() << " + " << c.base.toStdString() << " + "
            << c.tax.toStdString();
}

} // namespace

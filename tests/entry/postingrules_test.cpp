// What posting decides about a chit, on the entry screen and in the workspace editor alike.
#include "basic/postingrules.h"

#include <QList>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;

TEST(PostingRulesTest, RatesPaymentsAndTerminatedMembers)
{
    // A bypass takes its own charge off; an exemption the tax, also on the service charge.
    const struct
    {
        ChargeSwitches switches;
        double scRate, taxRate;
        float salesRate;
    } rates[] = { { {}, 0.15, 0.06, 0.08f },
                  { { true, false, false }, 0, 0.06, 0.08f },
                  { { false, true, false }, 0.15, 0, 0.08f },
                  { { false, false, true }, 0.15, 0, 0 },
                  { { true, true, true }, 0, 0, 0 } };
    for (const auto &c : rates) {
        const ChargeInputs in
            = chargeInputs(100, 0.15, 0.06, { false, true, 1, u"S"_s, 0.08f }, c.switches);
        EXPECT_EQ(
            QList<double>({ in.scRate, in.taxRate, in.salesTaxRate, double(in.taxBypass) }),
            QList<double>({ c.scRate, c.taxRate, c.salesRate, double(c.switches.taxBypass) }));
    }
    // A payment keyed positive is made a credit; a terminated member takes no debit.
    const struct
    {
        QString chit;
        double amount;
        bool terminated, madeCredit, refused;
    } rules[] = {
        { u"PAYMENT"_s, 25, false, true, false },   { u" payment "_s, 0.01, false, true, false },
        { u"PAYMENT"_s, -25, false, false, false }, { u"PAYMENT1"_s, 25, false, false, false },
        { u"12"_s, 0.01, true, false, true },       { u"12"_s, 0, true, false, false },
        { u"CREDIT"_s, -5, true, false, false }
    };
    for (const auto &c : rules) {
        EXPECT_EQ(paymentMadeCredit(c.chit, c.amount), c.madeCredit) << qPrintable(c.chit);
        EXPECT_EQ(terminatedDebitRefused(c.terminated, c.amount), c.refused) << qPrintable(c.chit);
    }
}

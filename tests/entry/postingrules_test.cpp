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

// OK's checks in their order: a terminated member's debit before anything is filled in, a
// date outside the month before a missing base sale, a payment made a credit last.
TEST(PostingRulesTest, OkRefusesOrFillsInTheChitInItsOrder)
{
    const struct
    {
        const char *number, *date, *base, *total;
        bool terminated, dateKeyed;
        Refusal refusal;
        const char *postedNumber, *postedDate, *postedBase;
    } cases[] = {
        { "A1", "20240315", "10", "10", false, true, Refusal::None, "A1", "20240315", "10" },
        { "A1", "20240229", "0", "5", true, true, Refusal::TerminatedDebit, "A1", "20240229", "0" },
        { "A1", "20240229", "0", "0", false, true, Refusal::DateOutsideMonth, "A1", "", "" },
        { "A1", "", "0", "0", false, true, Refusal::BaseMissing, "A1", "20240312", "" },
        // A hidden date field posts the batch date whatever it holds.
        { "A1", "20240229", "7", "7", false, false, Refusal::None, "A1", "20240312", "7" },
        { "PAYMENT", "", "25", "25", false, true, Refusal::None, "PAYMENT", "20240312", "-25" },
        { "PAYMENT", "", "-25", "-25", true, true, Refusal::None, "PAYMENT", "20240312", "-25" },
        { "", "", "10", "10", false, true, Refusal::None, "D7", "20240312", "10" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.number) + ' ' + c.date + ' ' + c.base);
        Chit chit;
        chit[Field::ChitNumber] = QString::fromLatin1(c.number);
        chit[Field::ChitDate] = QString::fromLatin1(c.date);
        chit[Field::BaseSale] = QString::fromLatin1(c.base);
        chit[Field::Total] = QString::fromLatin1(c.total);
        const PostingContext context { c.terminated, 20240312,    20240320,
                                       2024,         3,           50,
                                       2024,         c.dateKeyed, *c.number ? QString() : u"D7"_s };
        const PostingDecision d = decidePosting(chit, context);
        EXPECT_EQ(d.refusal, c.refusal);
        EXPECT_EQ(d.chit[Field::ChitNumber], QString::fromLatin1(c.postedNumber));
        EXPECT_TRUE(!*c.postedDate || d.chit[Field::ChitDate] == QLatin1String(c.postedDate));
        EXPECT_TRUE(!*c.postedBase || d.chit[Field::BaseSale] == QLatin1String(c.postedBase));
        EXPECT_EQ(d.madeCredit, QByteArray(c.base) == "25" && c.refusal == Refusal::None);
        EXPECT_TRUE(c.refusal != Refusal::None || d.chit[Field::Employee] == u"0"_s);
    }
}

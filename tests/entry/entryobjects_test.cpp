// The batch, the keyed chit's switches and the mode words, apart from the window.
#include "basic/modewords.h"
#include "posting/batch.h"
#include "posting/modes.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;

namespace {

TEST(ModeWordsTest, AChitNumberNamesAModeWhateverItsBlanksAndCase)
{
    const std::pair<QString, TransMode> cases[] = {
        { u"PAYMENT"_s, TransMode::Payment },    { u" payment "_s, TransMode::Payment },
        { u"Adjment"_s, TransMode::Adjustment }, { u"CREDIT\t"_s, TransMode::Credit },
        { u"PAY MENT"_s, TransMode::Normal },    { u"CREDITS"_s, TransMode::Normal },
        { u"301"_s, TransMode::Normal },         { QString(), TransMode::Normal },
    };
    for (const auto &[number, mode] : cases) {
        EXPECT_EQ(modeOfChitNumber(number), mode) << qPrintable(number);
        EXPECT_EQ(isModeWord(number), mode != TransMode::Normal) << qPrintable(number);
    }
    for (TransMode mode : { TransMode::Payment, TransMode::Adjustment, TransMode::Credit })
        EXPECT_EQ(modeOfChitNumber(modeWord(mode)), mode);
}

Chit chit(const QString &number, const QString &member, const QString &base)
{
    Chit c;
    c[Field::ChitNumber] = number;
    c[Field::Member] = member;
    c[Field::Employee] = u"7"_s;
    c[Field::BaseSale] = base;
    return c;
}

TEST(BatchTest, ABatchCountsItsChitsAndTheNextStartsAfresh)
{
    Batch batch;
    batch.start();
    batch.add(chit(u"301"_s, u"1001"_s, u"10.5"_s), 3);
    const QList<ShownTotal> shown = batch.add(chit(u"302"_s, u"1002"_s, u"-2"_s), 3);
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].index, 0);
    EXPECT_EQ(shown[0].total, Cents::read(u"2003"_s));
    EXPECT_EQ(shown[1].index, 1);
    EXPECT_EQ(shown[1].total, Cents::read(u"8.5"_s));
    EXPECT_EQ(batch.count, 2);

    batch.start();
    EXPECT_EQ(batch.number, 2);
    EXPECT_EQ(batch.count, 0);
    const QList<ShownTotal> afresh = batch.add(chit(u"303"_s, u"1001"_s, u"1"_s), 3);
    EXPECT_EQ(afresh[0].total, Cents::read(u"1001"_s));
    const QList<ShownTotal> sum = batch.add(chit(u"304"_s, u"1001"_s, u"1"_s), 5);
    ASSERT_EQ(sum.size(), 1);
    EXPECT_EQ(sum[0].index, 3);
    EXPECT_EQ(sum[0].total, Cents::read(u"1313"_s));
}

TEST(ModesTest, BypassesHoldAcrossChitsAndAMembersSwitchesDoNot)
{
    KeyedChit keyed;
    keyed.TaxExempt = true;
    keyed.MemberTerminated = true;
    EXPECT_EQ(keyed.toggleScBypass().button, u"S/C Bypass ON"_s);
    keyed.startChit();
    EXPECT_TRUE(keyed.ScBypass);
    EXPECT_FALSE(keyed.TaxExempt || keyed.MemberTerminated);
    EXPECT_EQ(keyed.toggleScBypass().label, u"Service Chg"_s);
    EXPECT_TRUE(keyed.toggleTaxBypass().on);
    EXPECT_FALSE(keyed.ScBypass);
}

} // namespace

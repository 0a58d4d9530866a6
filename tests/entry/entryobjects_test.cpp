// The mode words, apart from the window.
#include "basic/modewords.h"

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

} // namespace

// Where a failure happened, as the console and the boxes say it.
#include "basic/result.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;

namespace {

// Each row adds its places innermost first, as the callers on the way out do.
TEST(ResultTest, AFailureSaysWhereItHappenedOutermostFirst)
{
    struct Case
    {
        const char *name;
        QStringList places;
        QString text;
    };
    const Case cases[] = {
        { "no place", {}, u"disk full"_s },
        { "one place", { u"ardaily"_s }, u"ardaily: disk full"_s },
        { "nested", { u"ardaily"_s, u"daily.mdb"_s }, u"daily.mdb: ardaily: disk full"_s },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Result<int> moved = Failure(12, u"disk full"_s, u"DAILY.MDB"_s);
        Result<void> kept = Failure(12, u"disk full"_s);
        for (const QString &place : c.places) {
            moved = std::move(moved).context(place);
            const Result<void> named = kept.context(place);
            kept = named;
        }
        EXPECT_EQ(moved.failure().fullText(), c.text);
        EXPECT_EQ(kept.failure().fullText(), c.text);
        // The number, the text and the database stay as the failure gave them.
        EXPECT_EQ(moved.failure().number, 12);
        EXPECT_EQ(moved.failure().description, u"disk full"_s);
        EXPECT_EQ(moved.failure().database, u"DAILY.MDB"_s);
    }
}

TEST(ResultTest, AValueIsUntouchedByAPlace)
{
    const Result<QString> read = u"A12"_s;
    const Result<QString> named = read.context(u"storing chit A12"_s);
    ASSERT_TRUE(named);
    EXPECT_EQ(*named, u"A12"_s);
    EXPECT_TRUE(Result<void>().context(u"storing chit A12"_s));
}

} // namespace

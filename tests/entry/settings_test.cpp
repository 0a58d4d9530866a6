// The configuration's numbers as the start reads them.
#include "entry/arinput.h"
#include "testkit/harness.h"
#include "testkit/world.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using tallic::testkit::entry;
using tallic::testkit::Harness;

namespace {

TEST(SettingsTest, NumbersKeepTheirValueAndASettingThatDoesNotFitStopsTheStart)
{
    struct Case
    {
        QString update; // on config
        bool starts;
        double arAccount, profitAccount;
        int month;
    };
    const QString overflow = u"Code 6 in 0Overflow"_s;
    const Case cases[] = {
        // Accounts of six digits are stored as reals, whose text is "1e+05".
        { u"update ar set aracct = 100000, armonth = 3"_s, true, 100000, -1, 3 },
        { u"update gl set glprofitacct = 300000"_s, true, -1, 300000, -1 },
        { u"update ar set armonth = 7.6"_s, true, -1, -1, 8 },
        { u"update ar set armonth = 2.5"_s, true, -1, -1, 2 },
        { u"update ar set armonth = 13"_s, false, -1, -1, -1 },
        { u"update ar set armonth = 0"_s, false, -1, -1, -1 },
        { u"update ar set arlevel1 = 40000"_s, false, -1, -1, -1 },
        { u"update ar set arvalidity = -40000"_s, false, -1, -1, -1 },
        { u"update pos set empvalidate = 1e6"_s, false, -1, -1, -1 },
        { u"update ar set aryear = 3e9"_s, false, -1, -1, -1 },
    };
    for (const Case &c : cases) {
        Harness h;
        h.exec(u"config"_s, c.update);
        h.start();
        const bool overflowed = h.dialogs().size() == 1 && h.dialogs().at(0).text == overflow;
        EXPECT_NE(overflowed, c.starts) << qPrintable(c.update);
        if (!c.starts) {
            EXPECT_FALSE(h.running()) << qPrintable(c.update);
            continue;
        }
        EXPECT_TRUE(c.arAccount < 0 || entry()->start().settings().ArAccount == c.arAccount)
            << entry()->start().settings().ArAccount;
        EXPECT_TRUE(c.profitAccount < 0
                    || entry()->start().settings().ProfitAccount == c.profitAccount)
            << entry()->start().settings().ProfitAccount;
        EXPECT_TRUE(c.month < 0 || entry()->start().settings().ArMonth == c.month)
            << entry()->start().settings().ArMonth;
    }
}

} // namespace

namespace {

// The start writes "N" back when the consolidation column is Null. A failure the write
// passes on ends the start like any other (here: a table without row ids, which the write
// needs to find its row again); before, the start went on as though the write had worked.
TEST(SettingsTest, AWriteBackThatFailsStopsTheStart)
{
    Harness h;
    const QString create = h.rows(u"config"_s, u"select sql from sqlite_master where name = 'ar'"_s)
                               .value(0)
                               .value(0)
                               .toString();
    ASSERT_TRUE(create.endsWith(u")"_s));
    h.exec(u"config"_s, u"alter table ar rename to arold"_s);
    h.exec(u"config"_s, create.chopped(1) + u", primary key (aracct)) without rowid"_s);
    h.exec(u"config"_s, u"insert into ar select * from arold"_s);
    h.exec(u"config"_s, u"update ar set arconsolidate = null"_s);
    h.start();
    ASSERT_EQ(h.dialogs().size(), 1);
    EXPECT_TRUE(h.dialogs().at(0).text.startsWith(u"Code "_s))
        << qPrintable(h.dialogs().at(0).text);
    EXPECT_FALSE(h.running());
    EXPECT_EQ(h.rows(u"config"_s, u"select count(*) from ar where arconsolidate is null"_s),
              (QList<QVariantList> { { 1 } }));
}

} // namespace

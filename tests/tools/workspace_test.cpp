// The workspace editor reads a day's chits batch by batch, with the totals the entry
// screen showed for each batch, and prints the proof.
#include "testkit/harness.h"
#include "workspace.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using tallic::testkit::Harness;
using tallic::workspace::Workday;

namespace {

TEST(WorkspaceTest, ADaysChitsAreReadBatchByBatchWithTheirTotalsAndProved)
{
    Harness h;
    h.exec(u"config"_s, u"update ar set arvalidity = 4"_s);
    h.exec(u"daily"_s,
           u"insert into ardaily (arglacct, tallicnum, architdate, armember, aremployee, "
           u"arbasesale, artotal, arorigin) values (4100, '12', 20240312, 1001, 3, 10, 12.5, "
           u"'B'), (4100, 'A7', 20240312, 1002, 0, 20, 25, 'A'), (4200, '5', 20240312, 1003, "
           u"0, 30, 37.5, 'B'), (4100, '9', 20240313, 1004, 0, 40, 50, 'A')"_s);
    Workday day;
    ASSERT_TRUE(day.load(20240312)) << qPrintable(day.problem());
    EXPECT_EQ(day.rows()->rowCount(), 3);
    ASSERT_EQ(day.batches().size(), 2);
    EXPECT_EQ(day.batches().at(0).origin, u"A"_s);
    EXPECT_EQ(day.batches().at(0).chits, 1);
    EXPECT_EQ(day.batches().at(1).chits, 2);
    EXPECT_DOUBLE_EQ(day.batches().at(1).total, 50);
    // The cross-sum of chit, member and base sale: 12 + 1001 + 10 + 5 + 1003 + 30.
    EXPECT_DOUBLE_EQ(day.batches().at(1).validity.sum, 2061);

    // A correction changes the row as it was read, in one transaction; a row that another
    // workstation changed meanwhile is refused, not overwritten.
    EXPECT_EQ(day.correctAmount(0, 5, 15), Workday::Change::Done);
    h.exec(u"daily"_s, u"update ardaily set arbasesale = 31 where tallicnum = '5'"_s);
    EXPECT_EQ(day.correctAmount(2, 5, 40), Workday::Change::ChangedMeanwhile);
    EXPECT_EQ(day.deleteRow(2), Workday::Change::ChangedMeanwhile);
    const auto stored = h.rows(u"daily"_s,
                               u"select tallicnum, arbasesale, artotal from ardaily "
                               u"where tallicnum in ('A7', '5') order by 1"_s);
    EXPECT_EQ(stored, (QList<QVariantList> { { u"5"_s, 31.0, 37.5 }, { u"A7"_s, 15.0, 15.0 } }));
    ASSERT_TRUE(day.load(20240312));
    EXPECT_EQ(day.deleteRow(2), Workday::Change::Done);
    ASSERT_TRUE(day.load(20240312));
    EXPECT_EQ(day.rows()->rowCount(), 2);

    const QString proof = QDir(h.dataDir()).filePath(u"proof.pdf"_s);
    ASSERT_TRUE(day.printProof(proof));
    QFile file(proof);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5).startsWith("%PDF"));

    h.removeDatabase(u"daily"_s);
    Workday missing;
    EXPECT_FALSE(missing.load(20240312));
    EXPECT_TRUE(missing.problem().contains(u"DAILY.MDB"_s));
}

} // namespace

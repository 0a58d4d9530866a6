// The field options and the memo, as they change the keying path and the stored chits.
#include "entry/arinput.h"
#include "testkit/harness.h"
#include "testkit/world.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using namespace tallic::testkit;

namespace {

TEST(OptionsTest, SwitchedOffFieldsArePassedOverAndTheMemoIsStoredWhileItIsOn)
{
    Harness h;
    h.exec(u"config"_s,
           u"update ar set arfkey1 = 'Dinner dance', arfkey2 = '', arfkey6 = '=today()', "
           u"arfkey7 = 'A function key text may run past forty characters'"_s);
    startMarch2024(h);
    // The member and the amounts cannot be switched off, nor an empty G/L account.
    for (int i : { 1, 4, 7, 8, 9, 10 })
        h.click(u"Label1(%1)"_s.arg(i));
    // The chit number keyed before its field went off is not the one posted. The date,
    // switched off, shows the working date; covers are switched on.
    h.click(u"cmdredo"_s);
    h.keys(u"4100{ENTER}A100{ENTER}"_s);
    for (int i : { 2, 3, 5, 6 })
        h.click(u"Label1(%1)"_s.arg(i));
    EXPECT_EQ(h.control(u"Label1(3)"_s).caption, u"20240312"_s);
    h.keys(u"1001{ENTER}12{ENTER}10{ENTER}"_s);
    ASSERT_EQ(h.focused(), u"cmdokay"_s);
    h.keys(u"{ENTER}"_s);

    // The memo sits between the base sale and OK, and takes no quotes.
    h.click(u"Label2"_s);
    EXPECT_EQ(h.focused(), u"txtmemo"_s);
    h.click(u"Text1(1)"_s);
    h.keys(u"4100{ENTER}1002{ENTER}3{ENTER}10{ENTER}"_s);
    ASSERT_EQ(h.focused(), u"txtmemo"_s);
    h.keys(u"Bob's \"party\"{ENTER}"_s);
    ASSERT_EQ(h.focused(), u"cmdokay"_s);
    h.keys(u"{ENTER}"_s);
    EXPECT_EQ(h.control(u"txtmemo"_s).text, QString()) << "the next chit starts without a memo";
    // "+" recalls the last memo and moves on; a function key puts its text in place of the
    // memo, F5 starts no lookup here, and a key without a text empties it.
    h.keys(u"4100{ENTER}1003{ENTER}{ENTER}10{ENTER}{+}"_s);
    ASSERT_EQ(h.focused(), u"cmdokay"_s);
    h.keys(u"{ENTER}"_s);
    const qsizetype programs = h.started().size();
    const std::pair<const char *, const char *> keys[] = {
        { "note{F5}", "note" },
        { "x{F6}", "20240312" },
        { "{F7}", "A function key text may run past forty c" },
        { "{F2}", "" },
        // Only the first key of an empty memo recalls the last one.
        { "Dinner {+} drinks", "Dinner + drinks" },
    };
    h.keys(u"4100{ENTER}1004{ENTER}{ENTER}10{ENTER}"_s);
    for (const auto &[typed, memo] : keys) {
        h.keys(QString::fromLatin1(typed));
        EXPECT_EQ(h.control(u"txtmemo"_s).text, QString::fromLatin1(memo)) << typed;
        EXPECT_EQ(h.focused(), u"txtmemo"_s) << typed;
    }
    EXPECT_EQ(h.started().size(), programs);
    h.keys(u"{F1}{ENTER}{ENTER}"_s);
    // A memo switched off stays out of the row, whatever it holds.
    h.keys(u"4100{ENTER}1005{ENTER}{ENTER}10{ENTER}Banquet"_s);
    h.click(u"Label2"_s);
    h.click(u"cmdokay"_s);

    const QList<QVariantList> rows = chits(h);
    ASSERT_EQ(rows.size(), 5);
    const QString memos[] = { {}, u"Bobs party"_s, u"Bobs party"_s, u"Dinner dance"_s, {} };
    QStringList numbers;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        SCOPED_TRACE(r + 1);
        expectRow(rows.at(r), { u"4100"_s });
        EXPECT_EQ(rows.at(r).at(2).toString(), u"20240312"_s);
        EXPECT_EQ(rows.at(r).at(3).toDouble(), 1001 + r);
        EXPECT_EQ(rows.at(r).at(5).toInt(), r == 0 ? 12 : r == 1 ? 3 : 0) << "covers";
        EXPECT_EQ(rows.at(r).at(16).isNull(), memos[r].isEmpty());
        EXPECT_EQ(rows.at(r).at(16).toString(), memos[r]);
        // A chit number switched off is drawn for every post: a letter and up to six digits.
        const QString number = rows.at(r).at(1).toString();
        const auto drawn = QRegularExpression(u"^[A-Z]([0-9]{1,6})$"_s).match(number);
        ASSERT_TRUE(drawn.hasMatch()) << qPrintable(number);
        EXPECT_GE(drawn.captured(1).toInt(), 1);
        EXPECT_LE(drawn.captured(1).toInt(), 500000);
        EXPECT_FALSE(numbers.contains(number)) << qPrintable(number);
        numbers << number;
    }
    EXPECT_FALSE(numbers.contains(u"A100"_s));
    EXPECT_EQ(h.control(u"txtprev(2)"_s).text, numbers.last());
    EXPECT_EQ(entry()->keyed_.LastMemoText, u"Dinner dance"_s);
    h.click(u"Label1(6)"_s);
    EXPECT_EQ(h.control(u"Label1(6)"_s).caption, u"Covers OFF"_s);
}

} // namespace

// Posting chits into ardaily, as the operator keys them.
#include "chitkeying.h"

#include <QDir>
#include <QRegularExpression>

using namespace Qt::Literals::StringLiterals;
using namespace posting;
using tallic::state;
using tallic::testkit::DialogIcon;

namespace {

// A refused or unstored chit: it stays on the screen with OK offered again, and the batch
// has not counted it.
void expectChitKept(Harness &h, const QString &chit)
{
    EXPECT_EQ(text(h, u"Text1(2)"_s), chit);
    EXPECT_TRUE(h.control(u"cmdokay"_s).enabled);
    EXPECT_EQ(text(h, u"Text5"_s), u"0"_s);
    EXPECT_EQ(text(h, u"txtprev(2)"_s), QString());
    EXPECT_FALSE(h.control(u"txtvalid(0)"_s).visible);
    EXPECT_EQ(state().HashTotal, 0);
    EXPECT_EQ(state().BaseTotal, 0);
}

TEST(PostingTest, AChitIsStoredByPositionCountedAndCleared)
{
    Harness h;
    startBatch(h);
    keyChit(h, u"4100"_s, u"a100"_s, u"1001"_s, u"10"_s);
    ASSERT_EQ(h.focused(), u"cmdokay"_s);
    // The row's total is the sum of the amounts, whatever the total field shows.
    entry()->Text1(10).setText(u"99.99"_s);
    h.keys(u"{ENTER}"_s);
    EXPECT_TRUE(h.dialogs().isEmpty());

    const auto rows = chits(h);
    ASSERT_EQ(rows.size(), 1);
    const QVariantList &row = rows.at(0);
    ASSERT_EQ(row.size(), 18);
    EXPECT_EQ(row.at(0).toDouble(), 4100);
    EXPECT_EQ(row.at(1).toString(), u"A100"_s);
    EXPECT_EQ(row.at(2).toDouble(), 20240312);
    EXPECT_EQ(row.at(3).toDouble(), 1001);
    EXPECT_EQ(row.at(4).toDouble(), 0);
    EXPECT_EQ(row.at(5).toDouble(), 0);
    EXPECT_DOUBLE_EQ(row.at(6).toDouble(), 10);
    EXPECT_DOUBLE_EQ(row.at(7).toDouble(), 1.8);
    EXPECT_DOUBLE_EQ(row.at(8).toDouble(), 0.71);
    EXPECT_DOUBLE_EQ(row.at(9).toDouble(), 12.51);
    for (int i = 10; i <= 13; ++i)
        EXPECT_EQ(row.at(i).toInt(), 0) << i;
    EXPECT_EQ(row.at(14).toString(), u" "_s);
    EXPECT_EQ(row.at(15).toString(), u"JONES10:15:00"_s);
    EXPECT_TRUE(row.at(16).isNull()) << "no memo leaves the column as a new row has it";
    EXPECT_EQ(row.at(17).toInt(), 9);

    // The previous chit shows what was posted; the screen waits for the next chit.
    const char *const shown[]
        = { "4100", "A100", "20240312", "1001", "0", "", "10.00", "1.80", ".71", "99.99" };
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(text(h, u"txtprev(%1)"_s.arg(i)), QString::fromLatin1(shown[i - 1])) << i;
        if (i != 3) {
            EXPECT_EQ(text(h, u"Text1(%1)"_s.arg(i)), QString()) << i;
        }
    }
    EXPECT_EQ(text(h, u"Text1(3)"_s), u"20240312"_s) << "the date field offers the batch date";
    EXPECT_EQ(text(h, u"Text3"_s), QString());
    EXPECT_EQ(text(h, u"Text5"_s), u"1"_s);
    EXPECT_EQ(text(h, u"txtvalid(0)"_s), u"1001"_s);
    EXPECT_EQ(text(h, u"txtvalid(1)"_s), u"10"_s);
    EXPECT_EQ(h.focused(), u"Text1(1)"_s);
    EXPECT_FALSE(h.control(u"cmdokay"_s).enabled);
    EXPECT_EQ(state().LastMemoText, QString());

    // The G/L account is keyed again for the next chit, which counts on.
    keyChit(h, u"4200"_s, u"A101"_s, u"1002"_s, u"20"_s);
    h.keys(u"{ENTER}"_s);
    EXPECT_EQ(chits(h).size(), 2);
    EXPECT_EQ(text(h, u"Text5"_s), u"2"_s);
    EXPECT_EQ(text(h, u"txtvalid(0)"_s), u"2003"_s);
    EXPECT_EQ(text(h, u"txtprev(1)"_s), u"4200"_s);
}

TEST(PostingTest, ATerminatedMemberTakesOnlyCredits)
{
    Harness h;
    startBatch(h);
    keyChit(h, u"4500"_s, u"T1"_s, u"1027"_s, u"5"_s);
    ASSERT_EQ(h.dialogTitles(), QStringList { u"Terminated Member Account"_s });
    h.clearDialogs();

    // The total field decides, as the operator sees it.
    for (const char *total : { "5.00", ".01" }) {
        entry()->Text1(10).setText(QString::fromLatin1(total));
        h.click(u"cmdokay"_s);
        ASSERT_EQ(h.dialogs().size(), 1) << total;
        EXPECT_EQ(h.dialogs().at(0).title, u"Terminated Member"_s);
        EXPECT_EQ(
            h.dialogs().at(0).text,
            u"This account is marked as terminated. Only credit value\ntransactions can be made to a terminated member account."_s);
        EXPECT_EQ(h.dialogs().at(0).icon, DialogIcon::Information);
        EXPECT_TRUE(chits(h).isEmpty()) << total;
        expectChitKept(h, u"T1"_s);
        EXPECT_EQ(text(h, u"Text1(4)"_s), u"1027"_s);
        h.clearDialogs();
    }
    entry()->Text1(10).setText(u"0"_s);
    h.click(u"cmdokay"_s);
    EXPECT_TRUE(h.dialogs().isEmpty());
    ASSERT_EQ(chits(h).size(), 1);
    EXPECT_EQ(chits(h).at(0).at(9).toDouble(), 5);

    // A credit to the same member: answered neither payment nor prior adjustment.
    h.queueAnswers({ false, false });
    keyChit(h, u"4500"_s, u"T2"_s, u"1027"_s, u"-5"_s);
    h.clearDialogs();
    h.click(u"cmdokay"_s);
    EXPECT_TRUE(h.dialogs().isEmpty());
    ASSERT_EQ(chits(h).size(), 2);
    EXPECT_EQ(chits(h).at(1).at(9).toDouble(), -5);
    EXPECT_EQ(text(h, u"Text5"_s), u"2"_s);
}

TEST(PostingTest, AChitNumberSwitchedOffIsDrawnForEveryPost)
{
    Harness h;
    ClockedMachine machine(h);
    startBatch(h);
    // The number keyed before the field went off is not the one posted.
    h.keys(u"4100{ENTER}A100{ENTER}"_s);
    h.click(u"Label1(2)"_s);
    ASSERT_FALSE(h.control(u"Text1(2)"_s).visible);
    h.keys(u"{ENTER}1001{ENTER}{ENTER}10{ENTER}{ENTER}"_s);
    h.keys(u"4100{ENTER}{ENTER}1002{ENTER}{ENTER}10{ENTER}{ENTER}"_s);
    h.keys(u"4100{ENTER}{ENTER}1003{ENTER}{ENTER}10{ENTER}{ENTER}"_s);

    const auto rows = chits(h);
    ASSERT_EQ(rows.size(), 3);
    const QRegularExpression shape(u"^([A-Z])([0-9]{1,6})$"_s);
    QStringList numbers;
    for (const QVariantList &row : rows) {
        const QString number = row.at(1).toString();
        const auto match = shape.match(number);
        ASSERT_TRUE(match.hasMatch()) << qPrintable(number);
        EXPECT_LE(match.captured(2).toInt(), 500000);
        EXPECT_GE(match.captured(2).toInt(), 1);
        EXPECT_FALSE(numbers.contains(number)) << qPrintable(number);
        numbers << number;
    }
    EXPECT_FALSE(numbers.contains(u"A100"_s));
    EXPECT_EQ(text(h, u"txtprev(2)"_s), numbers.last());
}

TEST(PostingTest, AnEmptyOrHiddenDatePostsTheBatchDate)
{
    struct Case
    {
        const char *date;
        bool hidden;
    };
    const Case cases[]
        = { { "0", false }, { "", false }, { "mar 15", false }, { "20240315", true } };
    for (const Case &c : cases) {
        Harness h;
        startBatch(h);
        keyChit(h, u"4100"_s, u"D1"_s, u"1001"_s, u"10"_s);
        entry()->Text1(3).setText(QString::fromLatin1(c.date));
        if (c.hidden)
            h.click(u"Label1(3)"_s);
        h.click(u"cmdokay"_s);
        EXPECT_TRUE(h.dialogs().isEmpty()) << c.date;
        const auto rows = chits(h);
        ASSERT_EQ(rows.size(), 1) << c.date;
        EXPECT_EQ(rows.at(0).at(2).toDouble(), 20240312) << c.date;
        EXPECT_EQ(text(h, u"txtprev(3)"_s), u"20240312"_s) << c.date;
    }
}

TEST(PostingTest, ABaseSaleOfZeroIsRefused)
{
    Harness h;
    startBatch(h);
    keyChit(h, u"4100"_s, u"Z1"_s, u"1001"_s, u"0"_s);
    ASSERT_TRUE(h.control(u"cmdokay"_s).enabled);
    h.click(u"cmdokay"_s);
    ASSERT_EQ(h.dialogs().size(), 1);
    EXPECT_EQ(h.dialogs().at(0).title, u"Oops..."_s);
    EXPECT_EQ(h.dialogs().at(0).text, u"Base sale total is missing."_s);
    EXPECT_EQ(h.dialogs().at(0).icon, DialogIcon::Information);
    EXPECT_TRUE(chits(h).isEmpty());
    expectChitKept(h, u"Z1"_s);
    EXPECT_EQ(h.focused(), u"cmdokay"_s);
}

TEST(PostingTest, PaymentsAreCreditsWithoutCharges)
{
    Harness h;
    startBatch(h);
    h.click(u"cmdpayments"_s);
    // The chit-number field holds the mode word and is passed over.
    h.keys(u"4200{ENTER}{ENTER}1001{ENTER}25.5{ENTER}"_s);
    ASSERT_EQ(h.focused(), u"cmdokay"_s);
    h.keys(u"{ENTER}"_s);
    EXPECT_TRUE(h.dialogs().isEmpty()) << "a payment keyed as one is not corrected";
    EXPECT_EQ(text(h, u"Text1(2)"_s), u"PAYMENT"_s) << "the mode word stays for the next chit";

    // A positive amount that reaches OK is turned into a credit, once.
    h.keys(u"4200{ENTER}{ENTER}1002{ENTER}25.5{ENTER}"_s);
    entry()->Text1(7).setText(u"25.50"_s);
    entry()->Text1(8).setText(u"3.00"_s);
    entry()->Text1(9).setText(u"1.00"_s);
    entry()->Text1(10).setText(u"29.50"_s);
    h.keys(u"{ENTER}"_s);
    ASSERT_EQ(h.dialogTitles(), QStringList { u"Oops..."_s });
    EXPECT_EQ(
        h.dialogs().at(0).text,
        u"Payment - type transactions can only be credit values.\nThe amount has been changed for your convenience."_s);

    const auto rows = chits(h);
    ASSERT_EQ(rows.size(), 2);
    for (const QVariantList &row : rows) {
        EXPECT_EQ(row.at(1).toString(), u"PAYMENT"_s);
        EXPECT_DOUBLE_EQ(row.at(6).toDouble(), -25.5);
        EXPECT_EQ(row.at(7).toDouble(), 0);
        EXPECT_EQ(row.at(8).toDouble(), 0);
        EXPECT_DOUBLE_EQ(row.at(9).toDouble(), -25.5);
    }
    EXPECT_EQ(text(h, u"txtprev(7)"_s), u"-25.5"_s);
    EXPECT_EQ(text(h, u"txtprev(8)"_s), u"0"_s);
    EXPECT_EQ(text(h, u"txtprev(10)"_s), u"-25.5"_s);
}

TEST(PostingTest, TheMemoIsPostedOnlyWhileItIsOn)
{
    Harness h;
    startBatch(h);
    // Switching the memo on leaves the G/L field, which locks it empty: Redo frees it.
    h.click(u"Label2"_s);
    h.click(u"cmdredo"_s);
    keyChit(h, u"4100"_s, u"M1"_s, u"1001"_s, u"10"_s);
    ASSERT_EQ(h.focused(), u"txtmemo"_s);
    h.keys(u"Guest of member{ENTER}{ENTER}"_s);
    EXPECT_EQ(state().LastMemoText, u"Guest of member"_s);
    EXPECT_EQ(text(h, u"txtmemo"_s), QString()) << "the next chit starts without a memo";
    EXPECT_TRUE(h.control(u"txtmemo"_s).visible);

    // Without a memo the column is left alone and the last memo is kept for recall.
    keyChit(h, u"4100"_s, u"M2"_s, u"1002"_s, u"10"_s);
    h.keys(u"{ENTER}{ENTER}"_s);

    // A memo switched off stays out of the row, whatever it holds.
    keyChit(h, u"4100"_s, u"M3"_s, u"1003"_s, u"10"_s);
    h.keys(u"Banquet"_s);
    h.click(u"Label2"_s);
    ASSERT_FALSE(h.control(u"txtmemo"_s).visible);
    h.click(u"cmdokay"_s);

    const auto rows = chits(h);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows.at(0).at(16).toString(), u"Guest of member"_s);
    EXPECT_TRUE(rows.at(1).at(16).isNull());
    EXPECT_TRUE(rows.at(2).at(16).isNull());
    EXPECT_EQ(state().LastMemoText, u"Guest of member"_s);
}

// A date refused in its field can reach a hidden date field through the working date;
// posting holds it to the open month as the field does.
TEST(PostingTest, ADateOutsideTheOpenMonthIsNotPosted)
{
    struct Case
    {
        const char *date;
        const char *refusal;
    };
    const Case cases[] = { { "20240229", "You may not use a date in a previous A/R period." },
                           { "20240501", "The date chosen is too far ahead in time. Redo." } };
    for (const Case &c : cases) {
        const QString date = QString::fromLatin1(c.date);
        Harness h;
        startBatch(h);
        keyChit(h, u"4100"_s, u"P1"_s, u"1001"_s, u"10"_s);
        h.queuePickedDates({ date });
        h.click(u"Text1(3)"_s);
        ASSERT_EQ(h.focused(), u"Text1(3)"_s) << c.date;
        h.click(u"Label1(3)"_s);
        ASSERT_FALSE(h.control(u"Text1(3)"_s).visible);
        h.clearDialogs();
        h.click(u"cmdokay"_s);

        ASSERT_FALSE(h.dialogs().isEmpty()) << c.date;
        EXPECT_EQ(h.dialogs().last().title, u"Date entered: "_s + date);
        EXPECT_EQ(h.dialogs().last().text, QString::fromLatin1(c.refusal));
        EXPECT_TRUE(chits(h).isEmpty()) << c.date;
        expectChitKept(h, u"P1"_s);

        // With the date keyed again the chit goes through.
        h.click(u"Label1(3)"_s);
        h.queuePickedDates({ u"20240315"_s });
        h.click(u"Text1(3)"_s);
        h.keys(u"1001{ENTER}{ENTER}10{ENTER}{ENTER}"_s);
        const auto rows = chits(h);
        ASSERT_EQ(rows.size(), 1) << c.date;
        EXPECT_EQ(rows.at(0).at(2).toDouble(), 20240315);
    }
}

// Ways the daily database can refuse a row, each put right again afterwards.
struct StoreFailure
{
    const char *name;
    std::function<bool(Harness &, const QString &file)> breakIt; // false: cannot here
    QString reason;
};

TEST(PostingStoreTest, AChitThatCannotBeStoredStaysOnTheScreen)
{
    const StoreFailure failures[] = {
        { "missing file",
          [](Harness &, const QString &file) { return QFile::rename(file, file + u".away"_s); },
          u"The daily database is missing. (code 3024)"_s },
        { "no table",
          [](Harness &h, const QString &) {
              h.exec(u"daily"_s, u"drop table ardaily"_s);
              return true;
          },
          u"The daily database has no ardaily table. (code 3078)"_s },
        { "failed save",
          [](Harness &h, const QString &) {
              h.exec(u"daily"_s,
                     u"create trigger full before insert on ardaily begin "
                     "select raise(abort, 'database or disk is full'); end"_s);
              return true;
          },
          u"database or disk is full (code 3019)"_s },
        { "read-only file",
          [](Harness &, const QString &file) {
              QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
              // An administrator writes to read-only files all the same.
              QFile probe(file);
              return !probe.open(QIODevice::ReadWrite);
          },
          u"The daily database is read-only. (code 3008)"_s },
    };
    for (const StoreFailure &f : failures) {
        Harness h;
        startBatch(h);
        const QString file = QDir(h.dataDir()).filePath(u"daily.mdb"_s);
        const QString saved = file + u".good"_s;
        ASSERT_TRUE(QFile::copy(file, saved));
        keyChit(h, u"4100"_s, u"S1"_s, u"1001"_s, u"10"_s);
        if (!f.breakIt(h, file)) {
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
            continue;
        }
        h.click(u"cmdokay"_s);

        ASSERT_FALSE(h.dialogs().isEmpty()) << f.name;
        const auto notice = h.dialogs().last();
        EXPECT_EQ(notice.title, u"Chit not stored"_s) << f.name;
        EXPECT_EQ(notice.icon, DialogIcon::Critical) << f.name;
        EXPECT_EQ(notice.text,
                  u"Chit S1 was not stored:\n"_s + f.reason
                      + u"\n\nThe chit stays on the screen. Press OK to post it again."_s)
            << f.name;
        EXPECT_TRUE(activityLog(h).contains(u"-A/R Chit-Chit S1 not stored: "_s + f.reason))
            << f.name << qPrintable(activityLog(h));
        expectChitKept(h, u"S1"_s);
        EXPECT_EQ(text(h, u"Text1(7)"_s), u"10.00"_s);
        EXPECT_EQ(h.focused(), u"cmdokay"_s);

        // Put right, the same chit is posted and counted once.
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        QFile::remove(file);
        ASSERT_TRUE(QFile::rename(saved, file));
        h.clearDialogs();
        h.click(u"cmdokay"_s);
        EXPECT_TRUE(h.dialogs().isEmpty()) << f.name;
        ASSERT_EQ(chits(h).size(), 1) << f.name;
        EXPECT_EQ(chits(h).at(0).at(1).toString(), u"S1"_s);
        EXPECT_EQ(text(h, u"Text5"_s), u"1"_s);
        EXPECT_EQ(text(h, u"txtvalid(0)"_s), u"1001"_s);
    }
}

} // namespace

#include "suite/sharedstate.h"
#include "testkit/harness.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::DialogIcon;
using tallic::testkit::Harness;

namespace {

// Starts the program for a club whose open A/R month is given, on a given system date,
// for an operator of a given level, with the dates the picker will answer.
void startClub(Harness &h, int arYear, int arMonth, const QDate &today, int level,
               const QStringList &picks)
{
    h.setToday(today);
    h.exec(u"config"_s, u"update pos set empvalidate = 3"_s);
    h.exec(u"config"_s, u"update ar set armonth = %1, aryear = %2"_s.arg(arMonth).arg(arYear));
    h.setCommandLine(u"KQV%1JONES"_s.arg(level, 2, 10, QLatin1Char('0')));
    h.queuePickedDates(picks);
    h.start();
}

qsizetype pickerRuns(const Harness &h)
{
    return h.started().count(u"dalmore.exe"_s);
}

// Keys a chit on account 4100 from the G/L field to OK and posts it.
void postChit(Harness &h, const QString &chit, const QString &member, const QString &employee,
              const QString &base)
{
    h.keys(u"4100{ENTER}"_s + chit + u"{ENTER}{ENTER}"_s + member + u"{ENTER}"_s + employee
           + u"{ENTER}"_s + base + u"{ENTER}"_s);
    ASSERT_EQ(h.focused(), u"cmdokay"_s) << qPrintable(chit);
    h.keys(u"{ENTER}"_s);
}

TEST(BatchTest, StartUpOpensABatchAndNewBatchStartsAfresh)
{
    Harness h;
    h.setClipboard(u"20240305"_s);
    startClub(h, 2024, 3, QDate(2024, 3, 12), 5, { u"20240314"_s });
    ASSERT_TRUE(h.running());
    EXPECT_EQ(pickerRuns(h), 1) << "NEW BATCH is pressed once at start-up";
    EXPECT_EQ(state().WorkDate, 20240314);
    EXPECT_EQ(h.control(u"Text1(3)"_s).text, u"20240314"_s);
    EXPECT_EQ(h.control(u"helpwindow"_s).text, u"JONES10:15:00"_s);
    EXPECT_EQ(h.focused(), u"Text1(1)"_s);
    EXPECT_TRUE(h.dialogs().isEmpty());
    for (int i = 0; i <= 3; ++i)
        EXPECT_FALSE(h.control(u"txtvalid(%1)"_s.arg(i)).visible) << "no chit is posted yet";

    postChit(h, u"A1"_s, u"1001"_s, {}, u"40"_s);
    ASSERT_EQ(h.control(u"Text5"_s).text, u"1"_s);
    ASSERT_EQ(h.control(u"txtprev(4)"_s).text, u"1001"_s);
    ASSERT_EQ(h.control(u"txtvalid(0)"_s).text, u"1001"_s);
    h.queuePickedDates({ u"20240320"_s });
    h.click(u"cmdnewbatch"_s);
    EXPECT_EQ(pickerRuns(h), 2);
    EXPECT_EQ(h.control(u"Text1(3)"_s).text, u"20240320"_s);
    EXPECT_EQ(h.control(u"Text5"_s).text, u"0"_s);
    for (int i = 1; i <= 10; ++i)
        EXPECT_EQ(h.control(u"txtprev(%1)"_s.arg(i)).text, QString()) << i;
    for (int i = 0; i <= 3; ++i)
        EXPECT_EQ(h.control(u"txtvalid(%1)"_s.arg(i)).text, u"0"_s) << i;
    EXPECT_TRUE(h.control(u"txtvalid(0)"_s).visible) << "a shown total stays for the run";
    EXPECT_EQ(h.focused(), u"Text1(1)"_s);
    EXPECT_TRUE(h.control(u"cmdnewbatch"_s).enabled);

    // The totals count again from the new batch's first chit.
    postChit(h, u"A2"_s, u"1002"_s, {}, u"10"_s);
    EXPECT_EQ(h.control(u"txtvalid(0)"_s).text, u"1002"_s);
    EXPECT_EQ(h.control(u"txtvalid(1)"_s).text, u"10"_s);
}

// A refused date opens the picker again; the second date, in the open month, passes.
TEST(BatchTest, TheBatchDateIsHeldToTheOpenMonth)
{
    const QString previous = u"You may not use a date in a previous A/R period."_s;
    const QString ahead = u"The date chosen is too far ahead in time. Redo."_s;
    struct Case
    {
        int arYear, arMonth;
        QDate today;
        int level;
        const char *date;
        QString refusal; // empty: accepted
    };
    const Case cases[] = {
        { 2024, 3, QDate(2024, 3, 12), 5, "20240229", previous },
        { 2024, 3, QDate(2024, 3, 12), 5, "20240301", {} },
        { 2024, 3, QDate(2024, 3, 12), 5, "20240430", {} },
        { 2024, 3, QDate(2024, 3, 12), 5, "20240501", ahead },
        { 2024, 3, QDate(2025, 2, 3), 5, "20240501", {} },
        { 2024, 12, QDate(2025, 1, 6), 5, "20250131", {} },
        { 2024, 12, QDate(2025, 1, 6), 5, "20250201", {} },
        { 2024, 12, QDate(2025, 1, 6), 5, "20250202", ahead },
        { 2024, 12, QDate(2024, 12, 30), 5, "20250105", ahead },
        { 2024, 3, QDate(2024, 3, 12), 99, "20301231", {} },
        { 2024, 3, QDate(2024, 3, 12), 99, "20240229", previous },
    };
    for (const Case &c : cases) {
        const QString date = QString::fromLatin1(c.date);
        const QString good = QString::number(c.arYear * 10000 + c.arMonth * 100 + 15);
        Harness h;
        startClub(h, c.arYear, c.arMonth, c.today, c.level, { date, good });
        ASSERT_TRUE(h.running()) << c.date;
        const QString batchDate = c.refusal.isEmpty() ? date : good;
        EXPECT_EQ(h.control(u"Text1(3)"_s).text, batchDate) << c.date;
        EXPECT_EQ(pickerRuns(h), c.refusal.isEmpty() ? 1 : 2) << c.date;
        if (c.refusal.isEmpty()) {
            EXPECT_TRUE(h.dialogs().isEmpty()) << c.date;
            continue;
        }
        ASSERT_EQ(h.dialogs().size(), 1) << c.date;
        EXPECT_EQ(h.dialogs().at(0).title, u"Date chosen: "_s + date);
        EXPECT_EQ(h.dialogs().at(0).text, c.refusal) << c.date;
        EXPECT_EQ(h.dialogs().at(0).icon, DialogIcon::Information);
    }
}

TEST(BatchTest, AnAnswerThatIsNoDateOpensThePickerAgainSilently)
{
    for (const char *answer : { "2024031", "abcdefgh", "21000001", "00000000", "202403150" }) {
        Harness h;
        startClub(h, 2024, 3, QDate(2024, 3, 12), 5,
                  { QString::fromLatin1(answer), u"20240315"_s });
        ASSERT_TRUE(h.running()) << answer;
        EXPECT_TRUE(h.dialogs().isEmpty()) << answer;
        EXPECT_EQ(pickerRuns(h), 2) << answer;
        EXPECT_EQ(state().WorkDate, 20240315) << answer;
    }
}

TEST(BatchTest, ADateAnotherUserKeysIsWarnedAboutAndTheBatchGoesOn)
{
    Harness h;
    h.exec(u"user"_s, u"update staff set work = '20240314' where username = 'SMITH'"_s);
    startClub(h, 2024, 3, QDate(2024, 3, 12), 5, { u"20240314"_s });
    ASSERT_TRUE(h.running());
    ASSERT_EQ(h.dialogs().size(), 2);
    EXPECT_EQ(h.dialogs().at(0).title, u"Protected/Shared Issue"_s);
    EXPECT_EQ(h.dialogs().at(1).title, u"Shared Date"_s);
    EXPECT_EQ(h.dialogs().at(1).icon, DialogIcon::Information);
    EXPECT_EQ(
        h.dialogs().at(1).text,
        u"FYI.....\n\n20240314 is currently in use by user: SMITH\n\nMultiple users may key chits for the same date,\nbut you should notify this user that you are\nadding transactions to the date he/she is\nalso currently using."_s);
    EXPECT_EQ(h.control(u"Text1(3)"_s).text, u"20240314"_s);
    EXPECT_EQ(h.focused(), u"Text1(1)"_s);
}

// Chits 125A (member 1001, employee 17, 40.10) and A7 (1002, 3, 9.20) under each choice.
TEST(BatchTest, EachValidityModeKeepsItsOwnTotal)
{
    struct Case
    {
        int mode;
        QStringList shown; // txtvalid(0..3); empty: hidden
    };
    const Case cases[] = {
        { 1, { u"2003"_s, {}, {}, {} } },
        { 2, { {}, u"49.3"_s, {}, {} } },
        { 3, { u"2003"_s, u"49.3"_s, {}, {} } },
        { 4, { {}, {}, u"2177.3"_s, {} } },
        { 5, { {}, {}, {}, u"2197.3"_s } },
        { 0, { {}, {}, {}, {} } },
        { 6, { {}, {}, {}, {} } },
    };
    for (const Case &c : cases) {
        Harness h;
        h.exec(u"config"_s, u"update ar set arvalidity = %1"_s.arg(c.mode));
        startClub(h, 2024, 3, QDate(2024, 3, 12), 5, { u"20240312"_s });
        ASSERT_TRUE(h.running()) << c.mode;
        postChit(h, u"125A"_s, u"1001"_s, u"17"_s, u"40.10"_s);
        postChit(h, u"A7"_s, u"1002"_s, u"3"_s, u"9.20"_s);
        ASSERT_EQ(h.control(u"Text5"_s).text, u"2"_s) << c.mode;
        for (int i = 0; i <= 3; ++i) {
            const bool shown = !c.shown.at(i).isEmpty();
            EXPECT_EQ(h.control(u"txtvalid(%1)"_s.arg(i)).visible, shown) << c.mode << " " << i;
            EXPECT_EQ(h.control(u"lblvalidity(%1)"_s.arg(i)).visible, shown) << c.mode << " " << i;
            EXPECT_EQ(h.control(u"txtvalid(%1)"_s.arg(i)).text, shown ? c.shown.at(i) : u"0"_s)
                << c.mode << " " << i;
        }
    }
}

} // namespace

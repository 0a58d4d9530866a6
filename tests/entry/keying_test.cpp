#include "entry/arinput.h"
#include "suite/sharedstate.h"
#include "platform/form.h"
#include "testkit/fakeplatform.h"
#include "testkit/harness.h"

#include <QApplication>
#include <QMouseEvent>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::DialogIcon;
using tallic::testkit::DialogKind;
using tallic::testkit::Harness;

namespace {

// A club whose A/R month is March 2024, keyed on 12 March 2024, employee checks off.
void prepare(Harness &h)
{
    h.setToday(QDate(2024, 3, 12));
    h.exec(u"config"_s, u"update ar set armonth = 3, aryear = 2024"_s);
    h.exec(u"config"_s, u"update pos set empvalidate = 3"_s);
}

// Starts the program as the menu does and puts the operator into the G/L field.
void startKeying(Harness &h, const QString &batchDate = u"20240312"_s)
{
    h.setClipboard(batchDate);
    h.queuePickedDates({ batchDate });
    h.start();
    // Leaving the empty G/L field at start-up locked it; a new batch unlocks it.
    static_cast<Arinput *>(Form::find(u"arinput"_s))->GlLocked = 0;
    if (h.focused() != u"Text1(1)"_s)
        h.click(u"Text1(1)"_s);
    h.fake().pickedDates.clear();
    h.clearDialogs();
}

class KeyingTest : public ::testing::Test
{
protected:
    void SetUp() override { prepare(h); }
    void startKeying() { ::startKeying(h); }

    Control field(const QString &name) { return Form::find(u"arinput"_s)->controlByName(name); }

    QString text(const QString &name) { return h.control(name).text; }

    Harness h;
};

TEST_F(KeyingTest, EnterMovesThroughTheFieldsWithTheirPrompts)
{
    startKeying();
    EXPECT_EQ(h.control(u"Text1(1)"_s).backColor, 0x00FFFFu);
    h.keys(u"4100{ENTER}"_s);
    EXPECT_EQ(h.focused(), u"Text1(2)"_s);
    EXPECT_EQ(h.control(u"Text1(1)"_s).backColor, 0xFFFFFFu);
    EXPECT_EQ(text(u"Text2"_s), u"Dining Room Food"_s);
    EXPECT_EQ(text(u"helpwindow"_s),
              u"Type the chit # and press ENTER. (+ = duplicate previous chit)"_s);
    h.keys(u"a100{ENTER}"_s);
    EXPECT_EQ(text(u"Text1(2)"_s), u"A100"_s);
    EXPECT_EQ(text(u"Text1(3)"_s), u"20240312"_s);
    h.keys(u"{ENTER}1001{ENTER}"_s);
    EXPECT_EQ(h.focused(), u"Text1(5)"_s);
    EXPECT_TRUE(text(u"Text3"_s).contains(u"ADAMS"_s)) << qPrintable(text(u"Text3"_s));
    h.keys(u"{ENTER}"_s);
    EXPECT_EQ(text(u"Text4"_s), u"Employee validation is off"_s);
    EXPECT_EQ(h.focused(), u"Text1(7)"_s) << "covers are not tracked";
    EXPECT_TRUE(h.dialogs().isEmpty());
}

TEST_F(KeyingTest, PlusCopiesThePreviousChitAndQuotesNeverArrive)
{
    startKeying();
    field(u"txtprev(4)"_s).setText(u"1002"_s);
    field(u"txtprev(7)"_s).setText(u"40.00"_s);
    h.keys(u"4200{ENTER}x'1\"*{ENTER}{ENTER}{+}"_s);
    EXPECT_EQ(text(u"Text1(2)"_s), u"X1"_s);
    EXPECT_EQ(text(u"Text1(4)"_s), u"1002"_s);
    EXPECT_EQ(h.focused(), u"Text1(5)"_s);
    h.keys(u"{ENTER}{+}"_s);
    EXPECT_EQ(text(u"Text1(7)"_s), u"40.00"_s);
    EXPECT_EQ(text(u"Text1(8)"_s), u"6.00"_s);
    EXPECT_EQ(text(u"Text1(10)"_s), u"48.76"_s);
    EXPECT_EQ(h.focused(), u"cmdokay"_s);
}

TEST_F(KeyingTest, LookupsStartFromTheirFieldsAndTheClipboardFillsThem)
{
    h.createFile(u"tassip.exe"_s);
    startKeying();
    h.keys(u"4100{ENTER}{ENTER}{ENTER}"_s);
    h.keys(u"{F5}"_s);
    EXPECT_TRUE(h.started().contains(u"tassip.exe"_s));
    EXPECT_EQ(text(u"Text1(4)"_s), QString()) << "the clipboard is empty until a number is picked";
    h.setClipboard(u"1005"_s);
    h.mouseDown(u"Text1(4)"_s);
    EXPECT_EQ(text(u"Text1(4)"_s), u"1005"_s);
    h.keys(u"{ENTER}"_s);
    EXPECT_TRUE(text(u"Text3"_s).contains(u"EVANS"_s)) << qPrintable(text(u"Text3"_s));
    EXPECT_EQ(h.clipboard(), QString());

    // F5 in the chit-number field does nothing.
    const int before = int(h.started().size());
    h.click(u"Text1(2)"_s);
    h.keys(u"{F5}"_s);
    EXPECT_EQ(h.started().size(), before);
}

TEST_F(KeyingTest, TheAcceptedGlAccountStaysLocked)
{
    startKeying();
    h.keys(u"4100{ENTER}"_s);
    h.click(u"Text1(1)"_s);
    h.keys(u"9{F5}"_s);
    EXPECT_EQ(text(u"Text1(1)"_s), u"4100"_s);
    EXPECT_EQ(h.control(u"Text1(1)"_s).backColor, 0xFFFFFFu)
        << "entering the locked field changes nothing";
    h.setClipboard(u"4300"_s);
    h.mouseDown(u"Text1(1)"_s);
    EXPECT_EQ(text(u"Text1(1)"_s), u"4100"_s);

    QWidget *locked = field(u"Text1(1)"_s).widget();
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), locked->mapToGlobal(QPointF(5, 5)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(locked, &move);
    EXPECT_EQ(h.control(u"Text1(1)"_s).toolTip, u"Click REDO to reactivate the G/L Acct # box."_s);

    // Leaving it again keeps its account, whatever the clipboard holds.
    h.keys(u"{TAB}"_s);
    EXPECT_EQ(text(u"Text1(1)"_s), u"4100"_s);
    EXPECT_EQ(h.focused(), u"Text1(2)"_s);
}

TEST(KeyingGlTest, GlAccountsThatMayNotBeKeyed)
{
    struct Case
    {
        const char *account;
        const char *title;
        const char *text;
        DialogIcon icon;
    };
    const char *const reserved = "You may not key a chit to either the A/R account or the G/L "
                                 "current profit account. Please redo...";
    const Case cases[] = {
        { "4000", "Problem...", "You may not post to non-level 1 accounts", DialogIcon::None },
        { "1200", "Account not allowed...", reserved, DialogIcon::None },
        { "3900", "Account not allowed...", reserved, DialogIcon::None },
        { "9999", "Invalid G/L Account", "# 9999 does not exist", DialogIcon::Critical },
    };
    for (const Case &c : cases) {
        Harness h;
        prepare(h);
        startKeying(h);
        h.keys(QString::fromLatin1(c.account) + u"{ENTER}"_s);
        ASSERT_EQ(h.dialogs().size(), 1) << c.account;
        EXPECT_EQ(h.dialogs().at(0).title, QString::fromLatin1(c.title));
        EXPECT_EQ(h.dialogs().at(0).text, QString::fromLatin1(c.text));
        EXPECT_EQ(h.dialogs().at(0).icon, c.icon);
        EXPECT_EQ(h.focused(), u"Text1(1)"_s);
        // The field empties itself when it is entered again.
        EXPECT_EQ(h.control(u"Text1(1)"_s).text, QString());
    }
}

TEST_F(KeyingTest, ChitNumbersAreUpperCasedMadeUpOrRefused)
{
    startKeying();
    h.keys(u"4100{ENTER}{ENTER}"_s);
    EXPECT_TRUE(QRegularExpression(u"^[A-Z][0-9]{1,6}$"_s).match(text(u"Text1(2)"_s)).hasMatch())
        << qPrintable(text(u"Text1(2)"_s));
    h.click(u"Text1(2)"_s);
    h.keys(u"xbalfwd1{ENTER}"_s);
    ASSERT_EQ(h.dialogs().size(), 1);
    EXPECT_EQ(h.dialogs().at(0).title, u"Oops!"_s);
    EXPECT_EQ(
        h.dialogs().at(0).text,
        u"BALFWD is a reserved system word that you may not use\nas a description for a chit #. Try again."_s);
    EXPECT_EQ(h.dialogs().at(0).icon, DialogIcon::Critical);
    EXPECT_EQ(h.focused(), u"Text1(2)"_s);
}

TEST_F(KeyingTest, DatesAreCompletedAndABlankDateIsToday)
{
    startKeying();
    h.keys(u"4100{ENTER}A1{ENTER}{BS}{BS}{BS}{BS}{BS}{BS}{BS}{BS}0315{ENTER}"_s);
    EXPECT_EQ(text(u"Text1(3)"_s), u"20240315"_s);
    EXPECT_EQ(state().WorkDate, 20240315);
    EXPECT_EQ(h.focused(), u"Text1(4)"_s);

    // A click into the date opens the date picker, and the picked date moves on.
    h.queuePickedDates({ u"20240320"_s });
    h.click(u"Text1(3)"_s);
    EXPECT_TRUE(h.started().contains(u"dalmore.exe"_s));
    EXPECT_EQ(text(u"Text1(3)"_s), u"20240320"_s);
    EXPECT_EQ(state().WorkDate, 20240320);
    EXPECT_EQ(h.focused(), u"Text1(4)"_s);

    h.keys(u"+{TAB}{BS}{BS}{BS}{BS}{BS}{BS}{BS}{BS}{ENTER}"_s);
    ASSERT_FALSE(h.dialogs().isEmpty());
    EXPECT_EQ(h.dialogs().last().title, u"FYI..."_s);
    EXPECT_EQ(h.dialogs().last().text,
              u"A blank date entry is automatically reset to today's date"_s);
    EXPECT_EQ(text(u"Text1(3)"_s), u"20240312"_s);
}

// Keys a date into a club whose open month is given, on a given system date.
struct DateCase
{
    int arYear, arMonth;
    QDate today;
    int level;
    const char *date;
    const char *refusal; // nullptr: accepted
};

TEST(KeyingDateTest, DatesAreHeldToTheOpenMonth)
{
    const char *previous = "You may not use a date in a previous A/R period.";
    const char *ahead = "The date chosen is too far ahead in time. Redo.";
    const DateCase cases[] = {
        { 2024, 3, QDate(2024, 3, 12), 5, "20240229", previous },
        { 2024, 3, QDate(2024, 3, 12), 5, "20240301", nullptr },
        { 2024, 3, QDate(2024, 3, 12), 5, "20240430", nullptr },
        { 2024, 3, QDate(2024, 3, 12), 5, "20240501", ahead },
        { 2024, 3, QDate(2025, 1, 2), 5, "20240501", nullptr },
        { 2024, 11, QDate(2025, 1, 2), 5, "20250102", ahead },
        { 2024, 11, QDate(2025, 1, 2), 5, "20250101", nullptr },
        { 2024, 11, QDate(2024, 11, 20), 5, "20250101", ahead },
        { 2024, 3, QDate(2024, 3, 12), 99, "20261231", nullptr },
        { 2024, 3, QDate(2024, 3, 12), 99, "20240229", previous },
    };
    for (const DateCase &c : cases) {
        Harness h;
        prepare(h);
        h.setToday(c.today);
        h.exec(u"config"_s,
               u"update ar set armonth = %1, aryear = %2"_s.arg(c.arMonth).arg(c.arYear));
        h.setCommandLine(u"KQV%1JONES"_s.arg(c.level, 2, 10, QLatin1Char('0')));
        startKeying(h, QString::number(c.arYear * 10000 + c.arMonth * 100 + 1));
        h.keys(u"4100{ENTER}A1{ENTER}{BS}{BS}{BS}{BS}{BS}{BS}{BS}{BS}"_s
               + QString::fromLatin1(c.date) + u"{ENTER}"_s);
        if (!c.refusal) {
            EXPECT_TRUE(h.dialogs().isEmpty()) << c.date;
            EXPECT_EQ(h.focused(), u"Text1(4)"_s) << c.date;
            continue;
        }
        ASSERT_EQ(h.dialogs().size(), 1) << c.date;
        EXPECT_EQ(h.dialogs().at(0).title, u"Date entered: "_s + QString::fromLatin1(c.date));
        EXPECT_EQ(h.dialogs().at(0).text, QString::fromLatin1(c.refusal));
        EXPECT_EQ(h.focused(), u"Text1(3)"_s) << c.date;
        // The refused date is the working date now: the field shows it again.
        EXPECT_EQ(h.control(u"Text1(3)"_s).text, QString::fromLatin1(c.date));
    }
}

TEST_F(KeyingTest, ADateAnotherUserKeysIsSharedWithAWarning)
{
    h.exec(u"user"_s,
           u"update staff set location = 'A/R Chit', work = '20240314' where username = 'SMITH'"_s);
    startKeying();
    h.keys(u"4100{ENTER}A1{ENTER}{ENTER}"_s);
    EXPECT_TRUE(h.dialogs().isEmpty()) << "the working date as it was offered is not checked again";
    h.keys(u"+{TAB}{BS}{BS}{BS}{BS}{BS}{BS}{BS}{BS}20240314{ENTER}"_s);
    ASSERT_FALSE(h.dialogs().isEmpty());
    const auto warning = h.dialogs().last();
    EXPECT_EQ(warning.title, u"Shared Date"_s);
    EXPECT_TRUE(warning.text.contains(u"SMITH"_s)) << qPrintable(warning.text);
    EXPECT_TRUE(warning.text.endsWith(
        u"\n\nYou should notify this user that you are\nadding transactions to the date he/she is\nalso currently using."_s));
    EXPECT_EQ(h.focused(), u"Text1(4)"_s) << "a shared date is a warning, never a refusal";
}

TEST_F(KeyingTest, MembersShowTheirStateAndPaymentsTheBalance)
{
    startKeying();
    h.keys(u"4100{ENTER}A1{ENTER}{ENTER}1013{ENTER}"_s);
    EXPECT_EQ(h.dialogTitles(), QStringList { u"Suspended Member Account"_s });
    EXPECT_EQ(h.dialogs().at(0).text, u"Please verify this entry."_s);
    EXPECT_EQ(h.dialogs().at(0).icon, DialogIcon::Critical);
    EXPECT_EQ(h.control(u"Text3"_s).backColor, 0x8000000Fu);
    EXPECT_EQ(h.focused(), u"Text1(5)"_s);

    h.exec(u"master"_s, u"update acctinfo set suspended = 1 where acctnumber = 1027"_s);
    h.clearDialogs();
    h.click(u"Text1(4)"_s);
    h.keys(u"1027{ENTER}"_s);
    EXPECT_EQ(h.dialogTitles(),
              (QStringList { u"Suspended Member Account"_s, u"Terminated Member Account"_s }));

    h.click(u"Text1(4)"_s);
    h.keys(u"1035{ENTER}"_s);
    EXPECT_EQ(state().TaxExempt, 1);
    EXPECT_EQ(state().SalesTaxRate, 0.0f);

    state().TransMode = 1;
    h.click(u"Text1(4)"_s);
    h.keys(u"1005{ENTER}"_s);
    EXPECT_EQ(state().TaxExempt, 0);
    EXPECT_TRUE(text(u"Text3"_s).endsWith(u" -- Balance: 62.75"_s)) << qPrintable(text(u"Text3"_s));
    EXPECT_EQ(h.clipboard(), QString());
}

TEST_F(KeyingTest, EmployeesAreShownByOperatorNumber)
{
    h.exec(u"config"_s, u"update pos set empvalidate = 1"_s);
    startKeying();
    h.keys(u"4100{ENTER}A1{ENTER}{ENTER}1001{ENTER}12{ENTER}"_s);
    EXPECT_EQ(text(u"Text4"_s), u"#:305  ANN LEE  Op:12  Ac:"_s);
    EXPECT_EQ(h.focused(), u"Text1(7)"_s);
}

TEST_F(KeyingTest, CoversOutOfRangeAreQuestionedOrRefused)
{
    startKeying();
    field(u"Text1(6)"_s).setVisible(true);
    field(u"Text1(6)"_s).setEnabled(true);
    h.keys(u"4100{ENTER}A1{ENTER}{ENTER}1001{ENTER}{ENTER}1000{ENTER}"_s);
    EXPECT_TRUE(h.dialogs().isEmpty());
    EXPECT_EQ(h.focused(), u"Text1(7)"_s);

    h.click(u"Text1(6)"_s);
    h.queueAnswers({ true });
    h.keys(u"1001{ENTER}"_s);
    ASSERT_EQ(h.dialogs().size(), 1);
    EXPECT_EQ(h.dialogs().at(0).kind, DialogKind::Question);
    EXPECT_EQ(h.dialogs().at(0).title, u"Out of normal range"_s);
    EXPECT_EQ(h.focused(), u"Text1(6)"_s);

    // Five digits cannot be typed into the field; they arrive with the previous chit's "+".
    h.clearDialogs();
    field(u"txtprev(6)"_s).setText(u"40000"_s);
    h.keys(u"{+}"_s);
    EXPECT_EQ(h.dialogTitles(),
              (QStringList { u"Out of normal range"_s, u"Out of acceptable range"_s }));
    EXPECT_EQ(h.dialogs().at(1).text, u"Entry too large - Redo."_s);
    EXPECT_EQ(h.focused(), u"Text1(6)"_s);
}

TEST(KeyingAmountTest, ServiceChargeTaxAndTotal)
{
    struct Case
    {
        const char *basis;
        double salesTax;
        const char *consolidation;
        const char *sc, *tax, *total;
    };
    const Case cases[] = {
        { "D", 0.06, "N", "15.00", "6.90", "121.90" },
        { "S", 0.08, "N", "15.00", "7.20", "122.20" },
        { "", 0.06, "N", "15.00", "6.90", "121.90" },
        { "D", 0.06, "Y", "0", "0", "100.00" },
    };
    for (const Case &c : cases) {
        Harness h;
        prepare(h);
        h.exec(u"config"_s,
               u"update ar set artaxbasis = '%1', arconsolidate = '%2'"_s.arg(
                   QString::fromLatin1(c.basis), QString::fromLatin1(c.consolidation)));
        h.exec(u"config"_s, u"update company set salestax = %1"_s.arg(c.salesTax));
        startKeying(h);
        h.keys(u"4200{ENTER}A1{ENTER}{ENTER}1001{ENTER}{ENTER}100{ENTER}"_s);
        EXPECT_EQ(h.control(u"Text1(7)"_s).text, u"100.00"_s) << c.basis << c.consolidation;
        EXPECT_EQ(h.control(u"Text1(8)"_s).text, QString::fromLatin1(c.sc))
            << c.basis << c.consolidation;
        EXPECT_EQ(h.control(u"Text1(9)"_s).text, QString::fromLatin1(c.tax))
            << c.basis << c.consolidation;
        EXPECT_EQ(h.control(u"Text1(10)"_s).text, QString::fromLatin1(c.total))
            << c.basis << c.consolidation;
        EXPECT_TRUE(h.control(u"cmdokay"_s).enabled);
        EXPECT_EQ(h.focused(), u"cmdokay"_s);
        EXPECT_TRUE(h.dialogs().isEmpty());
    }
}

TEST_F(KeyingTest, LeavingTheBaseSaleByTabComputesOnceAndGoesToOk)
{
    startKeying();
    h.keys(u"4200{ENTER}A1{ENTER}{ENTER}1001{ENTER}{ENTER}-10{TAB}"_s);
    EXPECT_EQ(text(u"Text1(8)"_s), u"-1.50"_s);
    EXPECT_EQ(text(u"Text1(9)"_s), u"-.69"_s);
    EXPECT_EQ(text(u"Text1(10)"_s), u"-12.19"_s);
    EXPECT_EQ(h.dialogTitles(),
              (QStringList { u"Payment or Adjustment?"_s,
                             u"Prior Cycle Adjustment or Current Month Credit?"_s,
                             u"Current Month Credit"_s }));
    // As with Enter, the chit goes on to OK (the memo is off), never past it.
    EXPECT_EQ(h.focused(), u"cmdokay"_s);
    EXPECT_TRUE(h.control(u"cmdokay"_s).enabled);
}

TEST_F(KeyingTest, NegativeAmountsAskWhatTheyAre)
{
    startKeying();
    h.queueAnswers({ true });
    h.keys(u"4200{ENTER}A1{ENTER}{ENTER}1001{ENTER}{ENTER}-10{ENTER}"_s);
    EXPECT_EQ(h.dialogTitles(), QStringList { u"Payment or Adjustment?"_s });
    EXPECT_EQ(h.dialogs().at(0).text, u"Is this a PAYMENT?"_s);
    EXPECT_EQ(text(u"Text1(2)"_s), u"PAYMENT"_s);

    h.clearDialogs();
    h.click(u"Text1(2)"_s);
    h.keys(u"A2{ENTER}{ENTER}1001{ENTER}{ENTER}"_s);
    h.queueAnswers({ false, true });
    h.keys(u"-10{ENTER}"_s);
    EXPECT_EQ(text(u"Text1(2)"_s), u"ADJMENT"_s);
    EXPECT_EQ(h.dialogs().last().title, u"Adjustment to prior minimum cycle/month"_s);
    EXPECT_EQ(
        h.dialogs().last().text,
        u"The adjustment credit will be applied to\nthe member's account along with payments."_s);
}

TEST_F(KeyingTest, PaymentsAreNegativeWithoutChargesAndAdjustmentsAsk)
{
    startKeying();
    h.keys(u"4200{ENTER}"_s);
    field(u"Text1(2)"_s).setText(u"PAYMENT"_s);
    h.click(u"Text1(4)"_s);
    h.keys(u"1001{ENTER}{ENTER}25{ENTER}"_s);
    EXPECT_EQ(text(u"Text1(7)"_s), u"-25.00"_s);
    EXPECT_EQ(text(u"Text1(8)"_s), u"0"_s);
    EXPECT_EQ(text(u"Text1(9)"_s), u"0"_s);
    EXPECT_EQ(text(u"Text1(10)"_s), u"-25.00"_s);
    EXPECT_TRUE(h.dialogs().isEmpty()) << "a payment is not asked whether it is one";

    field(u"Text1(2)"_s).setText(u"ADJMENT"_s);
    h.queueAnswers({ true });
    h.click(u"Text1(7)"_s);
    h.keys(u"25{ENTER}"_s);
    EXPECT_EQ(h.dialogTitles(), QStringList { u"Debit or Credit?"_s });
    EXPECT_EQ(text(u"Text1(7)"_s), u"25.00"_s);
}

TEST_F(KeyingTest, AnEmptyGlAccountIsCaughtAtTheBaseSale)
{
    startKeying();
    h.keys(u"{ENTER}A1{ENTER}{ENTER}1001{ENTER}{ENTER}10{ENTER}"_s);
    ASSERT_EQ(h.dialogTitles(), QStringList { u"G/L Account Problem..."_s });
    EXPECT_EQ(
        h.dialogs().at(0).text,
        u"Either the G/L account is missing in this chit or\nyou must Update A/R from G/L before continuing.\n(The latter step is performed in A/R Configuration.)"_s);
    EXPECT_EQ(h.focused(), u"Text1(7)"_s);
    EXPECT_FALSE(h.control(u"cmdokay"_s).enabled);
}

} // namespace

// Keying a chit field by field: what each field refuses, looks up, completes or asks.
#include "entry/arinput.h"
#include "testkit/fakeplatform.h"
#include "testkit/harness.h"
#include "testkit/world.h"

#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using namespace tallic::testkit;

namespace {

QString text(const Harness &h, const QString &name)
{
    return h.control(name).text;
}

// Each refusal keeps the operator in the field, which empties itself when entered again.
TEST(KeyingTest, FieldsRefuseWhatMayNotBeKeyed)
{
    Harness h;
    startMarch2024(h);
    const QString reserved = u"You may not key a chit to either the A/R account or the G/L "
                             u"current profit account. Please redo..."_s;
    const std::pair<QString, Dialog> accounts[] = {
        { u"4000"_s,
          box(u"Problem..."_s, u"You may not post to non-level 1 accounts"_s, DialogIcon::None) },
        { u"1200"_s, box(u"Account not allowed..."_s, reserved, DialogIcon::None) },
        { u"3900"_s, box(u"Account not allowed..."_s, reserved, DialogIcon::None) },
        { u"9999"_s,
          box(u"Invalid G/L Account"_s, u"# 9999 does not exist"_s, DialogIcon::Critical) },
    };
    for (const auto &[account, refusal] : accounts) {
        h.clearDialogs();
        h.keys(account + u"{ENTER}"_s);
        EXPECT_EQ(h.dialogs(), QList<Dialog> { refusal });
        EXPECT_EQ(h.focused(), u"Text1(1)"_s);
        EXPECT_EQ(text(h, u"Text1(1)"_s), QString());
    }

    // An empty chit number is made up; BALFWD is a word of the system's own.
    h.clearDialogs();
    h.keys(u"4100{ENTER}{ENTER}"_s);
    EXPECT_TRUE(QRegularExpression(u"^[A-Z][0-9]{1,6}$"_s).match(text(h, u"Text1(2)"_s)).hasMatch())
        << qPrintable(text(h, u"Text1(2)"_s));
    h.click(u"Text1(2)"_s);
    h.keys(u"xbalfwd1{ENTER}"_s);
    EXPECT_EQ(h.dialogs(),
              QList<Dialog> { box(u"Oops!"_s,
                                  u"BALFWD is a reserved system word that you may not use\nas a "
                                  u"description for a chit #. Try again."_s,
                                  DialogIcon::Critical) });
    EXPECT_EQ(h.focused(), u"Text1(2)"_s);

    // A chit without its account is caught at the base sale.
    h.clearDialogs();
    h.click(u"cmdredo"_s);
    h.keys(u"{ENTER}A1{ENTER}{ENTER}1001{ENTER}{ENTER}10{ENTER}"_s);
    EXPECT_EQ(text(h, u"Text2"_s), QString()) << "the last account's description";
    EXPECT_EQ(h.dialogTitles(), QStringList { u"G/L Account Problem..."_s });
    EXPECT_EQ(h.focused(), u"Text1(7)"_s);
    EXPECT_FALSE(h.control(u"cmdokay"_s).enabled);

    // A second click into the next field while the member is checked neither checks it
    // again nor gets past the refusal.
    h.click(u"cmdredo"_s);
    h.keys(u"4100{ENTER}A1{ENTER}{ENTER}9999"_s);
    h.clearDialogs();
    QTimer::singleShot(0, [&h] { h.click(u"Text1(5)"_s); });
    h.click(u"Text1(5)"_s);
    EXPECT_EQ(h.dialogs().size(), 1);
    EXPECT_EQ(h.focused(), u"Text1(4)"_s);

    // Nor are there amounts while the rates cannot be read, whatever the last post left.
    h.click(u"cmdredo"_s);
    keyChit(h, u"4100"_s, u"A2"_s, u"1001"_s, u"10"_s);
    h.keys(u"{ENTER}"_s);
    QFile::remove(QDir(h.dataDir()).filePath(u"ar.mdb"_s));
    h.clearDialogs();
    keyChit(h, u"4100"_s, u"A3"_s, u"1001"_s, u"100"_s);
    EXPECT_EQ(h.dialogTitles(), QStringList { u"Uh-oh..."_s });
    EXPECT_EQ(text(h, u"Text1(8)"_s), QString());
    EXPECT_EQ(h.focused(), u"Text1(7)"_s);
    EXPECT_FALSE(h.control(u"cmdokay"_s).enabled);
}

// An account once accepted takes no text pasted (by Ctrl+V or the menu) or dropped; the
// chit number takes of it what fits; the member number takes digits and one point only,
// typed or pasted.
TEST(KeyingTest, FieldsTakeOfAPasteWhatTheyMay)
{
    Harness h;
    startMarch2024(h);
    h.keys(u"4100{ENTER}"_s);
    h.click(u"Text1(1)"_s);
    const std::function<void(QLineEdit *)> pastes[] = {
        [&h](QLineEdit *) { h.keys(u"^v"_s); },
        [](QLineEdit *box) {
            const std::unique_ptr<QMenu> menu(box->createStandardContextMenu());
            for (QAction *action : menu->actions()) {
                if (action->text().remove(u'&').startsWith(u"Paste"_s) && action->isEnabled())
                    action->trigger();
            }
        },
        [](QLineEdit *box) {
            QMimeData text;
            text.setText(QGuiApplication::clipboard()->text());
            QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &text, Qt::LeftButton,
                                  Qt::NoModifier);
            QCoreApplication::sendEvent(box, &enter);
            QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
            if (enter.isAccepted())
                QCoreApplication::sendEvent(box, &drop);
        },
    };
    struct Case
    {
        int field;
        QString clipboard, typed, shown; // pasted in each way when nothing is typed
    };
    const Case cases[] = {
        { 1, u"12345678901234"_s, {}, u"4100"_s },
        { 2, u"12345678901234"_s, {}, u"1234567890"_s },
        { 4, u"abc"_s, {}, {} },
        { 4, u"1001.01"_s, {}, u"1001.01"_s },
        { 4, {}, u"1a0b-0 1.0.1"_s, u"1001.01"_s },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(c.clipboard + c.typed));
        while (h.focused() != u"Text1(%1)"_s.arg(c.field))
            h.keys(u"{TAB}"_s);
        auto *box = qobject_cast<QLineEdit *>(entry()->Text1(c.field).widget());
        QGuiApplication::clipboard()->setText(c.clipboard);
        for (const auto &paste : pastes) {
            if (c.field != 1)
                box->clear();
            if (c.typed.isEmpty())
                paste(box);
            else
                h.keys(c.typed);
            EXPECT_EQ(box->text(), c.shown);
        }
    }
}

// The clipboard fills the G/L, member or employee field only with the answer of a lookup
// started from the field while it kept the focus, which carries that start's mark. Text
// copied in another program, a lookup's answer that comes after its field was left, and
// the answers of AutoGenerate's lookups leave the typed value standing, and stay on the
// clipboard.
TEST(KeyingTest, OnlyTheFieldsLookupAnswersThroughTheClipboard)
{
    Harness h;
    for (const char *lookup : { "ombrel.exe", "tassip.exe", "wennic.exe" })
        h.createFile(QString::fromLatin1(lookup));
    startMarch2024(h);
    // An empty account field left for another is not locked: it still takes typing.
    h.click(u"Text1(4)"_s);
    h.click(u"Text1(1)"_s);
    h.keys(u"4100"_s);
    EXPECT_EQ(text(h, u"Text1(1)"_s), u"4100"_s);

    struct Case
    {
        const char *what, *before; // the clipboard as the chit starts
        const char *box, *boxAnswer; // F5 first in AutoGenerate's box, and its lookup's answer
        const char *keys, *late; // typed from the G/L field; then text ("*": the last lookup's)
        const char *rest, *stored, *after; // typed to OK; account, member, employee; clipboard
    };
    const Case cases[] = {
        // F5 in the locked account field and in the chit number starts nothing.
        { "a number copied elsewhere", "1002", "", "",
          "4100{ENTER}+{TAB}{F5}{TAB}C1{F5}{ENTER}{ENTER}1001{ENTER}3{ENTER}10{ENTER}{ENTER}", "",
          "", "4100 1001 3", "1002" },
        { "a date copied elsewhere", "20240312", "", "", "4100{ENTER}C2{ENTER}{ENTER}1001{ENTER}",
          "", "{ENTER}10{ENTER}{ENTER}", "4100 1001 0", "20240312" },
        { "the answers of each field's lookup", "", "", "",
          "{F5}{ENTER}C3{ENTER}{ENTER}{F5}{ENTER}{F5}{ENTER}10{ENTER}{ENTER}", "", "",
          "4200 1002 15", "" },
        { "its lookup's answer after the field was left", "", "", "",
          "4100{ENTER}C4{ENTER}{ENTER}{F5}{TAB}", "*1003",
          "+{TAB}1001{ENTER}{ENTER}10{ENTER}{ENTER}", "4100 1001 0", "1003" },
        { "text copied elsewhere after a lookup closed without a choice", "", "", "",
          "4100{ENTER}C5{ENTER}{ENTER}1001{F5}", "1002", "{ENTER}{ENTER}10{ENTER}{ENTER}",
          "4100 1001 0", "1002" },
        { "AutoGenerate's member lookup", "", "txtmember", "1007",
          "4100{ENTER}C6{ENTER}{ENTER}1002{ENTER}{ENTER}10{ENTER}{ENTER}", "", "", "4100 1002 0",
          "1007" },
        { "AutoGenerate's account lookup", "", "txtglnum", "4200",
          "4100{ENTER}C7{ENTER}{ENTER}1001{ENTER}{ENTER}10{ENTER}{ENTER}", "", "", "4100 1001 0",
          "4200" },
    };
    h.fake().lookupAnswers = { u"4200"_s, u"1002"_s, u"15"_s };
    int chit = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        h.setClipboard(QString::fromLatin1(c.before));
        if (*c.box) {
            h.click(u"cmdautogenerate"_s);
            h.click(u"frmbundle."_s + QString::fromLatin1(c.box));
            h.fake().lookupAnswers = { QString::fromLatin1(c.boxAnswer) };
            h.keys(u"{F5}"_s);
        }
        h.click(u"cmdredo"_s);
        h.keys(QString::fromLatin1(c.keys));
        if (const QString late = QString::fromLatin1(c.late); !late.isEmpty()) {
            h.setClipboard(late.mid(late.startsWith(u'*')));
            if (late.startsWith(u'*'))
                h.fake().clipboardMark = h.fake().lookupMarks.last();
        }
        h.keys(QString::fromLatin1(c.rest));
        ASSERT_EQ(chits(h).size(), ++chit);
        const QStringList stored = QString::fromLatin1(c.stored).split(u' ');
        expectRow(chits(h).last(),
                  { stored.at(0), u"C%1"_s.arg(chit), u"20240312"_s, stored.at(1), stored.at(2) });
        EXPECT_EQ(h.clipboard(), QString::fromLatin1(c.after));
    }
    EXPECT_EQ(h.started(),
              (QStringList { u"dalmore.exe"_s, u"ombrel.exe AR"_s, u"tassip.exe"_s, u"wennic.exe"_s,
                             u"tassip.exe"_s, u"tassip.exe"_s, u"tassip.exe"_s, u"ombrel.exe"_s }));
}

// A date is completed from mmdd, or today's when left blank. (A date picked in the calendar
// is posted in PostingTest.ChitsRefusedAtOkStayOnTheScreen.)
TEST(KeyingTest, DatesAreCompletedOrToday)
{
    Harness h;
    startMarch2024(h);
    h.keys(u"4100{ENTER}A1{ENTER}{BS}{BS}{BS}{BS}{BS}{BS}{BS}{BS}0315{ENTER}"_s);
    EXPECT_EQ(text(h, u"Text1(3)"_s), u"20240315"_s);
    EXPECT_EQ(h.focused(), u"Text1(4)"_s);
    h.keys(u"1001{ENTER}{ENTER}10{ENTER}{ENTER}"_s);

    h.keys(u"4100{ENTER}A3{ENTER}{BS}{BS}{BS}{BS}{BS}{BS}{BS}{BS}{ENTER}"_s);
    EXPECT_EQ(h.dialogs(),
              QList<Dialog> { box(u"FYI..."_s,
                                  u"A blank date entry is automatically reset to today's date"_s,
                                  DialogIcon::Information) });
    h.keys(u"1001{ENTER}{ENTER}10{ENTER}{ENTER}"_s);
    const QList<QVariantList> rows = chits(h);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.at(0).at(2).toInt(), 20240315);
    EXPECT_EQ(rows.at(1).at(2).toInt(), 20240312);
}

TEST(KeyingTest, MembersShowTheirStateAndPaymentsTheBalance)
{
    Harness h;
    startMarch2024(h);
    h.keys(u"4100{ENTER}A1{ENTER}{ENTER}1013{ENTER}"_s);
    EXPECT_EQ(h.dialogs(),
              QList<Dialog> { box(u"Suspended Member Account"_s, u"Please verify this entry."_s,
                                  DialogIcon::Critical) });
    EXPECT_EQ(h.control(u"Text3"_s).backColor, 0x8000000Fu);
    EXPECT_EQ(h.focused(), u"Text1(5)"_s);

    h.exec(u"master"_s, u"update acctinfo set suspended = 1 where acctnumber = 1027"_s);
    h.clearDialogs();
    h.click(u"Text1(4)"_s);
    h.keys(u"1027{ENTER}"_s);
    EXPECT_EQ(h.dialogTitles(),
              (QStringList { u"Suspended Member Account"_s, u"Terminated Member Account"_s }));
    // A long description shows its beginning.
    EXPECT_EQ(static_cast<QLineEdit *>(entry()->control(u"Text3"_s).widget())->cursorPosition(), 0);

    h.click(u"Text1(4)"_s);
    h.keys(u"1035{ENTER}"_s);
    EXPECT_TRUE(entry()->keyed_.TaxExempt);

    h.click(u"cmdpayments"_s);
    h.keys(u"4100{ENTER}"_s);
    h.click(u"Text1(4)"_s);
    h.keys(u"1005{ENTER}"_s);
    EXPECT_FALSE(entry()->keyed_.TaxExempt);
    EXPECT_TRUE(text(h, u"Text3"_s).endsWith(u" -- Balance: 62.75"_s))
        << qPrintable(text(h, u"Text3"_s));
    EXPECT_EQ(h.clipboard(), QString());

    // A balance that cannot be read is reported; the payment goes on without it.
    QFile::remove(QDir(h.dataDir()).filePath(u"master2.mdb"_s));
    h.clearDialogs();
    h.click(u"Text1(4)"_s);
    h.keys(u"1005{ENTER}"_s);
    EXPECT_EQ(h.dialogTitles(), QStringList { u"Varnest Codes"_s });
}

// The service charge, tax and total of a base sale on account 4200 (15 %, 6 %) by the club's
// settings, the account's rates and the bypass: each charge leans up at the half cent, and
// the tax on the service charge is taken from the charge as shown.
TEST(KeyingTest, ServiceChargeTaxAndTotal)
{
    const struct
    {
        QString settings; // of ar in the configuration
        double salesTax;
        QString rates; // of the account
        QString typed, amounts; // base sale, service charge, tax, total
        const char *bypass = nullptr;
    } cases[] = {
        { {}, 0.06, {}, u"100"_s, u"100.00 15.00 6.90 121.90"_s },
        { u"artaxbasis = ''"_s, 0.06, {}, u"100"_s, u"100.00 15.00 6.90 121.90"_s },
        { u"artaxbasis = 'S'"_s, 0.08, {}, u"100"_s, u"100.00 15.00 7.20 122.20"_s },
        { u"artaxbasis = 's'"_s, 0.06, {}, u"100"_s, u"100.00 15.00 6.00 121.00"_s },
        { u"artaxsrvchg = 'N'"_s, 0.06, {}, u"100"_s, u"100.00 15.00 6.00 121.00"_s },
        { u"arsctaxshare = 0.5"_s, 0.06, {}, u"100"_s, u"100.00 15.00 6.45 121.45"_s },
        { u"artaxbasis = 'S'"_s, 0.08, {}, u"100"_s, u"100.00 15.00 .00 115.00"_s, "cmdtaxbypass" },
        { u"arconsolidate = 'Y'"_s, 0.06, {}, u"100"_s, u"100.00 0 0 100.00"_s },
        // .13, not .128, is taxed.
        { {}, 0.06, u"arsrvchg = 0.1"_s, u"1.28"_s, u"1.28 .13 .09 1.50"_s },
        { u"artaxsrvchg = 'N'"_s, 0.06, {}, u"1.63"_s, u"1.63 .25 .10 1.98"_s },
        { u"artaxsrvchg = 'N'"_s, 0.06, u"arsrvchg = 0.0044, arsalestax = 0.0045"_s, u"1"_s,
          u"1.00 .00 .01 1.01"_s },
        // The single-precision sales rate 0.01 lies a hair below: .45 of it is under a half cent.
        { u"artaxbasis = 'S'"_s, 0.01, u"arsalestax = 0"_s, u"3"_s, u"3.00 .45 .00 3.45"_s },
        // A thousands separator is not typed: "1,000" is a thousand, not one.
        { u"artaxbasis = 'S'"_s, 0.08, {}, u"1,000"_s, u"1000.00 150.00 72.00 1222.00"_s },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(qPrintable(c.settings + u' ' + c.rates + u' ' + c.typed));
        Harness h;
        if (!c.settings.isEmpty())
            h.exec(u"config"_s, u"update ar set "_s + c.settings);
        h.exec(u"config"_s, u"update company set salestax = %1"_s.arg(c.salesTax));
        if (!c.rates.isEmpty())
            h.exec(u"ar"_s, u"update ar0 set "_s + c.rates + u" where aracctnum = 4200"_s);
        startMarch2024(h);
        if (c.bypass) {
            h.click(QString::fromLatin1(c.bypass));
            h.click(u"cmdredo"_s);
        }
        h.keys(u"4200{ENTER}A1{ENTER}{ENTER}1001{ENTER}{ENTER}"_s + c.typed + u"{ENTER}"_s);
        for (int i = 7; i <= 10; ++i)
            EXPECT_EQ(text(h, u"Text1(%1)"_s.arg(i)), c.amounts.split(u' ').at(i - 7)) << i;
        EXPECT_EQ(h.focused(), u"cmdokay"_s);
        EXPECT_TRUE(h.dialogs().isEmpty());
    }
}

// A negative base sale of a normal chit asks whether it is a payment, a prior-cycle
// adjustment or a credit; an adjustment asks whether it charges.
TEST(KeyingTest, AmountsAskWhatTheyAre)
{
    Harness h;
    startMarch2024(h);
    // Leaving by Tab computes once and goes on to OK, as Enter does (the memo is off).
    h.keys(u"4200{ENTER}A1{ENTER}{ENTER}1001{ENTER}{ENTER}-10{TAB}"_s);
    EXPECT_EQ(text(h, u"Text1(8)"_s), u"-1.50"_s);
    EXPECT_EQ(text(h, u"Text1(9)"_s), u"-.69"_s);
    EXPECT_EQ(text(h, u"Text1(10)"_s), u"-12.19"_s);
    EXPECT_EQ(h.dialogTitles(),
              (QStringList { u"Payment or Adjustment?"_s,
                             u"Prior Cycle Adjustment or Current Month Credit?"_s,
                             u"Current Month Credit"_s }));
    EXPECT_EQ(h.focused(), u"cmdokay"_s);
    EXPECT_TRUE(h.control(u"cmdokay"_s).enabled);

    h.clearDialogs();
    h.queueAnswers({ true });
    h.click(u"Text1(7)"_s);
    h.keys(u"-10{ENTER}"_s);
    EXPECT_EQ(h.dialogTitles(), QStringList { u"Payment or Adjustment?"_s });
    EXPECT_EQ(text(h, u"Text1(2)"_s), u"PAYMENT"_s);

    h.clearDialogs();
    h.click(u"Text1(2)"_s);
    h.keys(u"A2{ENTER}{ENTER}1001{ENTER}{ENTER}"_s);
    h.queueAnswers({ false, true });
    h.keys(u"-10{ENTER}"_s);
    EXPECT_EQ(text(h, u"Text1(2)"_s), u"ADJMENT"_s);
    EXPECT_EQ(h.dialogs().last(),
              box(u"Adjustment to prior minimum cycle/month"_s,
                  u"The adjustment credit will be applied to\nthe member's account along with "
                  u"payments."_s,
                  DialogIcon::Information));
}

} // namespace

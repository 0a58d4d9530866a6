// The transaction modes, Redo, the bypasses and the window commands.
#include "chitkeying.h"

#include "platform/colors.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;
using namespace posting;
using tallic::Form;
using tallic::SharedState;
using tallic::state;
using tallic::testkit::DialogKind;
namespace Colors = tallic::Colors;

namespace {

constexpr quint32 Blue = 0xFF0000;
constexpr quint32 Green = 0x00FF00;

quint32 frameText(const Harness &h)
{
    return h.control(u"Frame1"_s).foreColor;
}

QString field(int i)
{
    return u"Text1(%1)"_s.arg(i);
}

QString label(int i)
{
    return u"Label1(%1)"_s.arg(i);
}

// The normal mode's screen, whatever the options and the mode before it were.
void expectNormalScreen(const Harness &h)
{
    struct Caption
    {
        int index;
        const char *caption;
        bool keyed; // blue with white text; else button face with the frame's text colour
    };
    const Caption captions[]
        = { { 1, "G/L Acct #", true }, { 2, "Chit #", true },     { 3, "Chit Date", true },
            { 4, "Member #", false },  { 5, "Employee #", true }, { 6, "Covers OFF", false },
            { 7, "Base Sale", false } };
    for (const Caption &c : captions) {
        const auto state = h.control(label(c.index));
        EXPECT_EQ(state.caption, QString::fromLatin1(c.caption)) << c.index;
        EXPECT_EQ(state.backColor, c.keyed ? Blue : quint32(Colors::ButtonFace)) << c.index;
        EXPECT_EQ(state.foreColor, c.keyed ? quint32(Colors::White) : frameText(h)) << c.index;
        EXPECT_TRUE(state.visible) << c.index;
    }
    EXPECT_EQ(h.control(label(10)).caption, u"Chit Total"_s);
    for (int i : { 1, 2, 3, 4, 5, 7 }) {
        EXPECT_TRUE(h.control(field(i)).visible) << i;
        EXPECT_TRUE(h.control(field(i)).enabled) << i;
    }
    EXPECT_FALSE(h.control(field(6)).visible);
    EXPECT_FALSE(h.control(field(6)).enabled);
    for (int i : { 8, 9 }) {
        EXPECT_TRUE(h.control(field(i)).visible) << i;
        EXPECT_TRUE(h.control(label(i)).visible) << i;
    }
    EXPECT_EQ(text(h, field(2)), QString());
    EXPECT_EQ(h.control(u"Label2"_s).caption, u"Memo OFF - click HERE to activate"_s);
    EXPECT_FALSE(h.control(u"txtmemo"_s).visible);
    EXPECT_EQ(state().TransMode, 0);
    EXPECT_EQ(h.focused(), field(1));
}

TEST(ModesTest, EachModeShowsItsFieldsAndNormalModeRestoresThem)
{
    const QString question = u"Adjustments are intended to correct transactions from a previously\n"
                             "finished month and will not affect a current period's minimum.\n\n"
                             "Credits are intended to correct transactions during the current\n"
                             "billing month and may effect the current period's minimum.\n\n"
                             "Both adjustment and credit entries appear on the current month's\n"
                             "statement and are included in the current month's sales totals.\n\n"
                             "Is this an adjustment to a PREVIOUS month's transaction?\n\n"_s;
    struct Mode
    {
        const char *button;
        QList<bool> answers;
        const char *word;
        int transMode;
        const char *amountCaption, *totalCaption;
        quint32 amountBack;
        bool whiteAmountText; // else the frame's text colour
        bool chargesShown;
    };
    const Mode modes[] = {
        { "cmdpayments", {}, "PAYMENT", 1, "Payment Amount", "Payment Total", Green, false, false },
        { "cmdadjust",
          { true },
          "ADJMENT",
          2,
          "Adjustment",
          "Chit Total",
          Colors::Red,
          true,
          true },
        { "cmdadjust", { false }, "CREDIT", 3, "Credit", "Chit Total", Colors::Red, true, true },
    };

    Harness h;
    startBatch(h);
    expectNormalScreen(h);
    for (const Mode &m : modes) {
        const QString button = QString::fromLatin1(m.button);
        h.queueAnswers(m.answers);
        h.click(button);
        EXPECT_EQ(state().TransMode, m.transMode) << m.word;
        EXPECT_EQ(text(h, field(2)), QString::fromLatin1(m.word));
        EXPECT_FALSE(h.control(field(2)).enabled) << m.word;
        EXPECT_FALSE(h.control(label(2)).visible) << m.word;
        for (int i : { 5, 6 }) {
            EXPECT_FALSE(h.control(field(i)).visible) << m.word << i;
            EXPECT_FALSE(h.control(label(i)).visible) << m.word << i;
        }
        const auto amount = h.control(label(7));
        EXPECT_EQ(amount.caption, QString::fromLatin1(m.amountCaption));
        EXPECT_EQ(amount.backColor, m.amountBack) << m.word;
        EXPECT_EQ(amount.foreColor, m.whiteAmountText ? quint32(Colors::White) : frameText(h))
            << m.word;
        EXPECT_EQ(h.control(label(10)).caption, QString::fromLatin1(m.totalCaption));
        for (int i : { 8, 9 }) {
            EXPECT_EQ(h.control(field(i)).visible, m.chargesShown) << m.word << i;
            EXPECT_EQ(h.control(label(i)).visible, m.chargesShown) << m.word << i;
        }
        EXPECT_EQ(h.focused(), field(1)) << m.word;
        EXPECT_TRUE(h.control(button).enabled) << m.word;
        if (button == u"cmdadjust"_s) {
            ASSERT_EQ(h.dialogs().size(), 1) << m.word;
            EXPECT_EQ(h.dialogs().at(0).kind, DialogKind::Question);
            EXPECT_EQ(h.dialogs().at(0).title, u"Adjustment/Credit"_s);
            EXPECT_EQ(h.dialogs().at(0).text, question);
        } else {
            EXPECT_TRUE(h.dialogs().isEmpty()) << m.word;
        }
        h.clearDialogs();

        // The field options go back to keyed too.
        h.click(label(3));
        h.click(label(6));
        h.click(u"cmdnormal"_s);
        expectNormalScreen(h);
        EXPECT_TRUE(h.control(u"cmdnormal"_s).enabled);
    }
}

TEST(ModesTest, RedoClearsTheChitAndUnlocksTheAccount)
{
    Harness h;
    startBatch(h);
    h.keys(u"4100{ENTER}A1{ENTER}{ENTER}1035{ENTER}"_s);
    ASSERT_EQ(text(h, u"Text2"_s), u"Dining Room Food"_s);
    ASSERT_EQ(state().SalesTaxRate, 0.0f) << "1035 is tax exempt";
    h.click(u"cmdredo"_s);
    for (int i = 1; i <= 10; ++i) {
        if (i != 3) {
            EXPECT_EQ(text(h, field(i)), QString()) << i;
        }
    }
    for (const char *box : { "Text2", "Text3", "Text4" })
        EXPECT_EQ(text(h, QString::fromLatin1(box)), QString()) << box;
    EXPECT_EQ(h.focused(), field(1));
    EXPECT_TRUE(h.control(u"cmdredo"_s).enabled);
    // The exemption was the member's, for that chit only.
    EXPECT_EQ(state().TaxExempt, 0);
    EXPECT_FLOAT_EQ(state().SalesTaxRate, 0.06f);
    h.keys(u"4200"_s);
    EXPECT_EQ(text(h, field(1)), u"4200"_s) << "the account may be keyed again";
}

TEST(ModesTest, RedoKeepsAFixedAccount)
{
    Harness h;
    startBatch(h);
    h.keys(u"4100{ENTER}"_s);
    h.click(label(1));
    ASSERT_EQ(h.control(label(1)).caption, u"4100"_s);
    h.keys(u"A1{ENTER}{ENTER}1001{ENTER}"_s);
    h.click(u"cmdredo"_s);
    EXPECT_EQ(text(h, field(1)), u"4100"_s);
    EXPECT_EQ(text(h, u"Text2"_s), u"Dining Room Food"_s);
    EXPECT_EQ(text(h, u"Text3"_s), QString());
    EXPECT_EQ(text(h, field(2)), QString());
    EXPECT_EQ(h.focused(), field(2));

    h.keys(u"A2{ENTER}{ENTER}1001{ENTER}{ENTER}10{ENTER}{ENTER}"_s);
    const auto rows = chits(h);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.at(0).at(0).toDouble(), 4100);
    EXPECT_EQ(text(h, field(1)), u"4100"_s) << "the next chit is for the same account";
}

TEST(ModesTest, TheBypassesToggleAndHoldUntilToggledAgain)
{
    struct Toggle
    {
        const char *button;
        int label;
        const char *onButton, *offButton, *onLabel, *offLabel;
        qint16 SharedState::*flag;
        const char *serviceCharge, *tax; // for a base sale of 10 at 18% and 6%
    };
    const Toggle toggles[] = {
        { "cmdscbypass", 8, "S/C Bypass ON", "S/C Bypass Off", "S/C Bypassed", "Service Chg",
          &SharedState::ScBypass, ".00", ".60" },
        { "cmdtaxbypass", 9, "Tax Bypass ON", "Tax Bypass Off", "Tax Bypassed", "Tax",
          &SharedState::TaxBypass, "1.80", ".00" },
    };
    for (const Toggle &t : toggles) {
        const QString button = QString::fromLatin1(t.button);
        Harness h;
        startBatch(h);
        h.click(button);
        EXPECT_EQ(h.control(button).caption, QString::fromLatin1(t.onButton));
        EXPECT_EQ(h.control(label(t.label)).caption, QString::fromLatin1(t.onLabel));
        EXPECT_EQ(h.control(label(t.label)).foreColor, quint32(Colors::Red));
        EXPECT_EQ(state().*t.flag, -1);
        EXPECT_TRUE(h.control(button).enabled);

        // Neither a mode change nor Redo switches a bypass off.
        h.click(u"cmdnormal"_s);
        h.click(u"cmdredo"_s);
        keyChit(h, u"4100"_s, u"B1"_s, u"1001"_s, u"10"_s);
        EXPECT_EQ(text(h, field(8)), QString::fromLatin1(t.serviceCharge)) << t.button;
        EXPECT_EQ(text(h, field(9)), QString::fromLatin1(t.tax)) << t.button;

        h.click(button);
        EXPECT_EQ(h.control(button).caption, QString::fromLatin1(t.offButton));
        EXPECT_EQ(h.control(label(t.label)).caption, QString::fromLatin1(t.offLabel));
        EXPECT_EQ(h.control(label(t.label)).foreColor, frameText(h));
        EXPECT_EQ(state().*t.flag, 0);
    }
}

TEST(ModesTest, ACommandCannotBeStartedAgainWhileItRuns)
{
    Harness h;
    ClockedMachine machine(h);
    startBatch(h);
    QList<bool> availableMeanwhile;
    machine.onBox = [&](const QString &title) {
        if (title != u"Adjustment/Credit"_s)
            return;
        availableMeanwhile << h.control(u"cmdadjust"_s).enabled;
        // The operator clicks again while the question is open, once.
        if (availableMeanwhile.size() == 1)
            h.click(u"cmdadjust"_s);
    };
    h.click(u"cmdadjust"_s);
    EXPECT_EQ(availableMeanwhile, QList<bool> { false }) << "asked once, and unavailable meanwhile";
    EXPECT_TRUE(h.control(u"cmdadjust"_s).enabled);
}

TEST(ModesTest, AutoGenerateOpensBesideTheEntryWindow)
{
    for (const char *command : { "cmdautogenerate", "mnuautogen" }) {
        Harness h;
        startBatch(h);
        h.click(QString::fromLatin1(command));
        h.click(QString::fromLatin1(command));
        Form *bundle = Form::find(u"frmbundle"_s);
        ASSERT_NE(bundle, nullptr) << command;
        const QList<Form *> forms = Form::openForms();
        EXPECT_EQ(std::count_if(forms.cbegin(), forms.cend(),
                                [](Form *f) { return f->objectName() == u"frmbundle"_s; }),
                  1)
            << command;
        EXPECT_EQ(h.control(u"frmbundle"_s).caption, u"AutoGenerate Chits - 21.12.28a"_s);
        EXPECT_TRUE(h.control(u"frmbundle"_s).visible);
        const QRect screen = bundle->screen()->geometry();
        EXPECT_NEAR(bundle->frameGeometry().center().x(), screen.center().x(), 2) << command;
        EXPECT_NEAR(bundle->frameGeometry().center().y(), screen.center().y(), 2) << command;

        // The entry window stays open and usable.
        EXPECT_TRUE(h.running());
        EXPECT_TRUE(h.control(u"arinput"_s).visible);
        EXPECT_TRUE(h.control(u"cmdautogenerate"_s).enabled);
        h.click(u"cmdpayments"_s);
        EXPECT_EQ(text(h, field(2)), u"PAYMENT"_s);
    }
}

TEST(ModesTest, ExitEndsTheProgram)
{
    for (const char *command : { "cmdexit", "exit" }) {
        Harness h;
        startBatch(h);
        h.click(QString::fromLatin1(command));
        EXPECT_FALSE(h.running()) << command;
        const auto staff
            = h.rows(u"user"_s, u"select location from staff where username = 'JONES'"_s);
        ASSERT_EQ(staff.size(), 1);
        EXPECT_EQ(staff.at(0).at(0).toString(), u"A/R Master"_s) << command;
    }
}

TEST(ModesTest, TheConsolidationLabelExplainsItself)
{
    Harness h;
    h.exec(u"config"_s, u"update ar set arconsolidate = 'Y'"_s);
    startBatch(h);
    ASSERT_TRUE(h.control(u"lblconsolidate"_s).visible);
    QWidget *consolidate = entry()->ctl(u"lblconsolidate"_s).widget();
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), consolidate->mapToGlobal(QPointF(5, 5)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(consolidate, &move);
    EXPECT_EQ(
        text(h, u"helpwindow"_s),
        u"Consolidate mode ON. Service charges and taxes must be keyed as separate chits when consolidate mode is on. The system will not calculate them automatically."_s);
}

} // namespace

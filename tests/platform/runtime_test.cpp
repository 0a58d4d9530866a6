#include "testform.h"

#include "testkit/harness.h"
#include "testkit/world.h"

#include "platform/keygate.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::Harness;

namespace {

class RuntimeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form = new TestForm;
        form->open();
        h.idle();
        // Opening the window activates its first field.
        EXPECT_EQ(takeLog(), (QStringList { u"Load"_s, u"Activate"_s, u"Got 1"_s }));
        EXPECT_EQ(h.focused(), u"Text1(1)"_s);
    }

    QStringList takeLog()
    {
        QStringList log = form->log;
        form->log.clear();
        return log;
    }

    Harness h;
    TestForm *form = nullptr;
};

// Keeps only the focus events of a log.
QStringList focusEvents(const QStringList &log)
{
    QStringList events;
    for (const QString &line : log) {
        if (line.startsWith(u"Got"_s) || line.startsWith(u"Lost"_s))
            events << line;
    }
    return events;
}

TEST_F(RuntimeTest, LostFocusThatSetsTheFocusBackKeepsTheNextFieldOutOfIt)
{
    h.keys(u"{TAB}{TAB}back{TAB}"_s);
    EXPECT_EQ(focusEvents(takeLog()),
              (QStringList { u"Lost 1"_s, u"Got 2"_s, u"Lost 2"_s, u"Got 3"_s, u"Lost 3"_s,
                             u"Got 3"_s }));
    EXPECT_EQ(h.focused(), u"Text1(3)"_s);
    EXPECT_EQ(QApplication::focusWidget(), form->Text1(3).widget());

    // The field keeps refusing until its text is put right; then the next field is entered.
    h.keys(u"{TAB}"_s);
    EXPECT_EQ(focusEvents(takeLog()), (QStringList { u"Lost 3"_s, u"Got 3"_s }));
    form->Text1(3).setText(u"ok"_s);
    h.keys(u"{TAB}"_s);
    EXPECT_EQ(focusEvents(takeLog()), (QStringList { u"Lost 3"_s, u"Got 4"_s }));

    // LostFocus may send the focus elsewhere as well.
    h.keys(u"elsewhere{TAB}"_s);
    EXPECT_EQ(focusEvents(takeLog()), (QStringList { u"Lost 4"_s, u"Got 7"_s }));
    EXPECT_EQ(h.focused(), u"Text1(7)"_s);
}

// A box from LostFocus, with its own event loop, its window taking the focus and giving it
// back, must not start a focus change of its own.
class RealBoxes final : public testkit::MachineOverride
{
public:
    using MachineOverride::MachineOverride;
    int messageBox(const QString &text, const QString &title, BoxIcon, BoxButtons) override
    {
        QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok);
        QTimer::singleShot(50, &box, [&box] {
            // Keys meanwhile go to the box, as they would on the operator's screen.
            EXPECT_EQ(QApplication::activeModalWidget(), &box);
            box.accept();
        });
        box.exec();
        return AnswerOk;
    }
};

TEST_F(RuntimeTest, RealModalBoxFromLostFocusGivesTheFocusBack)
{
    {
        RealBoxes real(h);
        h.keys(u"{TAB}msg{TAB}"_s);
    }
    h.idle();
    EXPECT_EQ(focusEvents(takeLog()),
              (QStringList { u"Lost 1"_s, u"Got 2"_s, u"Lost 2"_s, u"Got 2"_s }));
    EXPECT_EQ(h.focused(), u"Text1(2)"_s);
    EXPECT_EQ(QApplication::focusWidget(), form->Text1(2).widget());
    // Typing goes on in the refused field.
    h.keys(u"x"_s);
    EXPECT_EQ(form->Text1(2).text(), u"msgx"_s);
}

TEST_F(RuntimeTest, KeyDownAndKeyPressCanSwallowOrChangeKeysAndTypingHasItsLimit)
{
    form->logChanges = true;
    h.keys(u"{F5}"_s);
    EXPECT_EQ(takeLog(), (QStringList { u"KeyDown 1 116 0"_s }));

    h.keys(u"a*q"_s);
    EXPECT_EQ(form->Text1(1).text(), u"aQ"_s);
    EXPECT_EQ(takeLog(),
              (QStringList { u"KeyDown 1 65 0"_s, u"KeyPress 1 97"_s, u"Change 1"_s,
                             u"KeyDown 1 106 0"_s, u"KeyPress 1 42"_s, u"KeyDown 1 81 0"_s,
                             u"KeyPress 1 113"_s, u"Change 1"_s }));
    h.keys(u"B"_s);
    EXPECT_EQ(takeLog(), (QStringList { u"KeyDown 1 66 1"_s, u"KeyPress 1 66"_s, u"Change 1"_s }));

    // Text set by the program raises Change as well.
    form->Text1(6).setText(u"abc"_s);
    form->Text1(6).setText(QString());
    EXPECT_EQ(takeLog(), (QStringList { u"Change 6"_s, u"Change 6"_s }));

    // A maximum length limits typing, not the program.
    form->Text1(1).setMaxLength(4);
    h.keys(u"123456"_s);
    EXPECT_EQ(form->Text1(1).text(), u"aQB1"_s);
    form->Text1(1).setText(u"PAYMENT"_s);
    EXPECT_EQ(form->Text1(1).text(), u"PAYMENT"_s);
}

TEST_F(RuntimeTest, AFieldSwitchedOffUnderTheOperatorPassesTheKeysToTheNextField)
{
    h.keys(u"{TAB}{TAB}"_s);
    form->Text1(3).setVisible(false);
    takeLog();
    h.keys(u"7"_s);
    EXPECT_EQ(focusEvents(takeLog()), (QStringList { u"Lost 3"_s, u"Got 4"_s }));
    EXPECT_EQ(form->Text1(4).text(), u"7"_s);

    // Tab and Shift+Tab go to the neighbours of a field that was switched off.
    form->Text1(4).setEnabled(false);
    h.keys(u"+{TAB}"_s);
    EXPECT_EQ(h.focused(), u"Text1(2)"_s);
}

// A click on a button, or Alt and its underlined letter, makes the button the active control
// and runs its command: not when the field being left refuses, nor when the button is
// unavailable, and no letter is typed. While another command runs such input waits its turn;
// for a button unavailable when it comes, or made so before its turn, it is dropped as the
// toolkit drops it, and never runs once the button is available again.
TEST_F(RuntimeTest, AButtonRunsOnAClickOrItsLetterOnlyWhenItMay)
{
    QWidget *two = form->control(u"cmdtwo"_s).widget();
    const struct
    {
        bool click, during;
        QString field; // Text1(1) as the input comes
        bool offBefore, offAfter, runs;
    } cases[] = { { true, false, u"fine"_s, false, false, true },
                  { true, false, u"back"_s, false, false, false },
                  { false, false, u"fine"_s, false, false, true },
                  { false, false, u"back"_s, false, false, false },
                  { false, false, u"fine"_s, true, false, false },
                  { true, true, u"fine"_s, false, false, true },
                  { true, true, u"fine"_s, true, false, false },
                  { true, true, u"fine"_s, false, true, false },
                  { false, true, u"fine"_s, false, false, true },
                  { false, true, u"fine"_s, true, false, false },
                  { false, true, u"fine"_s, false, true, false } };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.click << c.during << c.offBefore << c.offAfter);
        form->Text1(1).setFocus();
        h.idle();
        form->Text1(1).setText(c.field);
        takeLog();
        const auto input = [&] {
            two->setEnabled(!c.offBefore);
            if (c.click)
                QTest::mouseClick(two, Qt::LeftButton);
            else
                QTest::keyClick(KeyGate::keyTarget(), Qt::Key_W, Qt::AltModifier);
            two->setEnabled(!c.offBefore && !c.offAfter);
            DoEvents();
            two->setEnabled(true);
        };
        form->during = c.during ? input : std::function<void()>();
        if (c.during)
            h.click(u"cmdone"_s);
        else
            input();
        h.idle();
        const QStringList log = takeLog();
        EXPECT_EQ(focusEvents(log).value(0), c.offBefore && !c.during ? QString() : u"Lost 1"_s);
        EXPECT_EQ(log.contains(u"Click cmdtwo"_s), c.runs);
        EXPECT_EQ(h.focused(), c.runs ? u"cmdtwo"_s : c.during ? u"cmdone"_s : u"Text1(1)"_s);
        EXPECT_EQ(form->Text1(1).text(), c.field);
    }
}

// A control set to what it shows is not painted again, one that changes is painted once,
// and the button with the focus disabled leaves the focus where no other is painted.
TEST_F(RuntimeTest, OnlyWhatChangesIsPainted)
{
    Control box = form->Text1(2), one = form->control(u"cmdone"_s);
    // A display shows its text from the start. A button has the focus: a caret would blink.
    box.setLocked(true);
    one.setFocus();
    const struct
    {
        const char *what;
        std::function<void()> change;
        QStringList painted;
    } cases[] = {
        { "a new text", [&] { box.setText(u"abc"_s); }, { u"Text1(2)"_s } },
        { "the same text", [&] { box.setText(u"abc"_s); }, {} },
        { "the same colour", [&] { box.setBackColor(box.backColor()); }, {} },
        { "a refresh", [&] { box.refresh(); }, {} },
        { "the focus's button disabled", [&] { one.setEnabled(false); }, { u"cmdone"_s } },
    };
    for (const auto &c : cases)
        EXPECT_EQ(testkit::paintedDuring(h, c.change), c.painted) << c.what;
}

TEST_F(RuntimeTest, HandlersThatDoNotFitTheirEventAreNamed)
{
    EXPECT_TRUE(form->wiringProblems().isEmpty()) << qPrintable(form->wiringProblems().join(u' '));
    MiswiredForm miswired;
    EXPECT_EQ(
        miswired.wiringProblems(),
        (QStringList { u"Text1_KeyPress(int&)"_s, u"Form_Unload()"_s, u"cmdgone_Click()"_s }));
}

TEST_F(RuntimeTest, EndingTheProgramStopsEveryHandler)
{
    h.keys(u"end{TAB}"_s);
    EXPECT_FALSE(h.running());
    takeLog();
    h.keys(u"{TAB}abc"_s);
    EXPECT_TRUE(takeLog().isEmpty());
    EXPECT_EQ(MsgBox(u"x"_s, BoxButtons::YesNo, BoxIcon::Question, u"t"_s), AnswerNo);
    EXPECT_TRUE(h.dialogs().isEmpty());
}

} // namespace

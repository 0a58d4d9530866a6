#include "testform.h"

#include "testkit/harness.h"
#include "testkit/world.h"

#include <QApplication>
#include <QMessageBox>
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

TEST_F(RuntimeTest, KeyDownAndKeyPressCanSwallowOrChangeKeys)
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

TEST_F(RuntimeTest, MaximumLengthLimitsTypingButNotTheProgram)
{
    form->Text1(1).setMaxLength(4);
    h.keys(u"123456"_s);
    EXPECT_EQ(form->Text1(1).text(), u"1234"_s);
    form->Text1(1).setText(u"PAYMENT"_s);
    EXPECT_EQ(form->Text1(1).text(), u"PAYMENT"_s);
}

TEST_F(RuntimeTest, AButtonClickedWhileAFieldRefusesToBeLeftDoesNothing)
{
    form->Text1(1).setText(u"back"_s);
    h.click(u"cmdone"_s);
    EXPECT_EQ(takeLog(), (QStringList { u"Lost 1"_s, u"Got 1"_s }));
    form->Text1(1).setText(u"fine"_s);
    h.click(u"cmdone"_s);
    EXPECT_EQ(takeLog(), (QStringList { u"Lost 1"_s, u"Click cmdone"_s }));
    EXPECT_EQ(h.focused(), u"cmdone"_s);
}

TEST_F(RuntimeTest, AltAndTheUnderlinedLetterPressesAButtonAsAClickDoes)
{
    const auto withoutKeys = [](QStringList log) {
        log.removeIf([](const QString &line) { return line.startsWith(u"Key"_s); });
        return log;
    };
    h.keys(u"12%w"_s);
    EXPECT_EQ(withoutKeys(takeLog()), (QStringList { u"Lost 1"_s, u"Click cmdtwo"_s }));
    EXPECT_EQ(form->Text1(1).text(), u"12"_s);
    EXPECT_EQ(h.focused(), u"cmdtwo"_s);

    // A field that refuses to be left keeps the focus, and the command does not run.
    form->Text1(1).setFocus();
    h.idle();
    form->Text1(1).setText(u"back"_s);
    takeLog();
    h.keys(u"%o"_s);
    EXPECT_EQ(withoutKeys(takeLog()), (QStringList { u"Lost 1"_s, u"Got 1"_s }));

    // An unavailable button does not answer to its letter, and the letter is not typed.
    form->Text1(1).setText(u"fine"_s);
    form->control(u"cmdone"_s).setEnabled(false);
    h.keys(u"%o"_s);
    EXPECT_EQ(withoutKeys(takeLog()), QStringList {});
    EXPECT_EQ(form->Text1(1).text(), u"fine"_s);
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

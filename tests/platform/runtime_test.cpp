#include "testform.h"

#include "platform/colors.h"
#include "testkit/fakeplatform.h"
#include "testkit/harness.h"

#include <QApplication>
#include <QLineEdit>
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
        form->log.clear();
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

TEST(RuntimeOpenTest, OpeningTheWindowActivatesTheFirstField)
{
    Harness h;
    auto *form = new TestForm;
    form->open();
    h.idle();
    EXPECT_EQ(form->log, (QStringList { u"Load"_s, u"Activate"_s, u"Got 1"_s }));
    EXPECT_EQ(h.focused(), u"Text1(1)"_s);
    EXPECT_EQ(QApplication::focusWidget(), form->Text1(1).widget());
}

TEST_F(RuntimeTest, EnterTypesATabAndMovesThroughTheFields)
{
    h.keys(u"12{ENTER}"_s);
    EXPECT_EQ(focusEvents(takeLog()), (QStringList { u"Lost 1"_s, u"Got 2"_s }));
    EXPECT_EQ(form->Text1(1).text(), u"12"_s);
    h.keys(u"{TAB}{TAB}"_s);
    EXPECT_EQ(h.focused(), u"Text1(4)"_s);
    h.keys(u"+{TAB}"_s);
    EXPECT_EQ(h.focused(), u"Text1(3)"_s);
    EXPECT_EQ(QApplication::focusWidget(), form->Text1(3).widget());
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
}

TEST_F(RuntimeTest, LostFocusMaySendTheFocusElsewhere)
{
    h.keys(u"elsewhere{TAB}"_s);
    EXPECT_EQ(focusEvents(takeLog()), (QStringList { u"Lost 1"_s, u"Got 7"_s }));
    EXPECT_EQ(h.focused(), u"Text1(7)"_s);
}

TEST_F(RuntimeTest, MessageBoxFromLostFocusRaisesNoFurtherEvent)
{
    h.keys(u"msg{TAB}"_s);
    EXPECT_EQ(focusEvents(takeLog()), (QStringList { u"Lost 1"_s, u"Got 1"_s }));
    ASSERT_EQ(h.dialogs().size(), 1);
    EXPECT_EQ(h.dialogs().at(0).text, u"Refused"_s);
    EXPECT_EQ(h.dialogs().at(0).icon, testkit::DialogIcon::Information);
    EXPECT_EQ(QApplication::focusWidget(), form->Text1(1).widget());
}

// The same with a real modal box: its own event loop, its window taking the focus and
// giving it back must not start a focus change of their own.
class RealBoxPlatform final : public Platform
{
public:
    explicit RealBoxPlatform(Platform &inner)
        : inner_(inner)
    {
    }
    QString clipboardText() override { return inner_.clipboardText(); }
    void setClipboardText(const QString &text) override { inner_.setClipboardText(text); }
    void clearClipboard() override { inner_.clearClipboard(); }
    bool startProgram(const QString &line, WindowStyle style) override
    {
        return inner_.startProgram(line, style);
    }
    int runAndWait(const QString &line) override { return inner_.runAndWait(line); }
    bool fileExists(const QString &name) override { return inner_.fileExists(name); }
    QDate today() override { return inner_.today(); }
    QTime timeOfDay() override { return inner_.timeOfDay(); }
    void seedRandom() override { }
    double random() override { return 0; }
    bool claimSingleInstance() override { return true; }
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
    QString inputBox(const QString &, const QString &, const QString &) override { return {}; }

private:
    Platform &inner_;
};

TEST_F(RuntimeTest, RealModalBoxFromLostFocusGivesTheFocusBack)
{
    RealBoxPlatform real(h.fake());
    Platform *previous = setPlatform(&real);
    h.keys(u"{TAB}msg{TAB}"_s);
    setPlatform(previous);
    h.idle();
    EXPECT_EQ(focusEvents(takeLog()),
              (QStringList { u"Lost 1"_s, u"Got 2"_s, u"Lost 2"_s, u"Got 2"_s }));
    EXPECT_EQ(h.focused(), u"Text1(2)"_s);
    EXPECT_EQ(QApplication::focusWidget(), form->Text1(2).widget());
    // Typing goes on in the refused field.
    h.keys(u"x"_s);
    EXPECT_EQ(form->Text1(2).text(), u"msgx"_s);
}

TEST_F(RuntimeTest, TabOrderSkipsDisabledAndHiddenControlsAndWraps)
{
    form->Text1(2).setEnabled(false);
    form->Text1(3).setVisible(false);
    h.keys(u"{TAB}"_s);
    EXPECT_EQ(h.focused(), u"Text1(4)"_s);
    h.keys(u"+{TAB}"_s);
    EXPECT_EQ(h.focused(), u"Text1(1)"_s);

    // Backwards from the first control wraps to the last in tab order.
    h.keys(u"+{TAB}"_s);
    EXPECT_EQ(h.focused(), u"cmdtwo"_s);
    h.keys(u"{TAB}"_s);
    EXPECT_EQ(h.focused(), u"Text1(1)"_s);

    // The tab index decides the order, not the order of building.
    form->control(u"cmdtwo"_s).setTabIndex(1);
    form->Text1(4).setTabStop(false);
    h.keys(u"{TAB}"_s);
    EXPECT_EQ(h.focused(), u"cmdtwo"_s);
    h.keys(u"{TAB}"_s);
    EXPECT_EQ(h.focused(), u"Text1(5)"_s);
}

TEST_F(RuntimeTest, EnterOnAFocusedButtonPressesIt)
{
    form->control(u"cmdone"_s).setFocus();
    h.idle();
    EXPECT_EQ(focusEvents(takeLog()), (QStringList { u"Lost 1"_s }));
    h.keys(u"{ENTER}"_s);
    EXPECT_EQ(takeLog(), (QStringList { u"Click cmdone"_s }));
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
}

TEST_F(RuntimeTest, KeysThatArriveWhileAKeyIsHandledFollowItInOrder)
{
    // The form's handler of "#" lets events run while a "9" is waiting.
    h.keys(u"1#2"_s);
    EXPECT_EQ(form->Text1(1).text(), u"1#92"_s);
    QStringList presses = takeLog();
    presses.removeIf([](const QString &line) { return !line.startsWith(u"KeyPress"_s); });
    EXPECT_EQ(presses,
              (QStringList { u"KeyPress 1 49"_s, u"KeyPress 1 35"_s, u"KeyPress 1 57"_s,
                             u"KeyPress 1 50"_s }));
}

TEST_F(RuntimeTest, KeysTypedWhileACommandRunsWaitUntilItIsDone)
{
    // The command lets events run while a 5 and Alt+O (cmdone's access key) arrive.
    form->typeDuringCommand = true;
    h.click(u"cmdtwo"_s);
    const QStringList log = takeLog();
    const qsizetype during = log.indexOf(u"Text1(1) during the command: "_s);
    EXPECT_GE(during, 0) << qPrintable(log.join(u'|'));
    EXPECT_GT(log.indexOf(u"Click cmdone"_s), during) << qPrintable(log.join(u'|'));
    EXPECT_EQ(form->Text1(1).text(), u"5"_s);
}

TEST_F(RuntimeTest, AQuestionTakesTheAnswerTypedBeforeItAppeared)
{
    // The command's question gets the first waiting key, the field the rest.
    form->askDuringCommand = true;
    h.click(u"cmdtwo"_s);
    QTest::qWait(300);
    h.idle();
    EXPECT_TRUE(takeLog().contains(u"Answer yes"_s));
    EXPECT_EQ(form->Text1(1).text(), u"7"_s);
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

TEST_F(RuntimeTest, ChangeRunsForTextSetByTheProgram)
{
    form->logChanges = true;
    form->Text1(6).setText(u"abc"_s);
    form->Text1(6).setText(QString());
    EXPECT_EQ(takeLog(), (QStringList { u"Change 6"_s, u"Change 6"_s }));
}

TEST_F(RuntimeTest, ClickingAFieldMovesTheFocusBeforeTheMouseEvents)
{
    h.click(u"Text1(5)"_s);
    EXPECT_EQ(takeLog(), (QStringList { u"Lost 1"_s, u"Got 5"_s, u"MouseDown 5"_s, u"Click 5"_s }));
    EXPECT_EQ(h.focused(), u"Text1(5)"_s);

    h.mouseDown(u"Text1(4)"_s);
    EXPECT_EQ(takeLog(), (QStringList { u"Lost 5"_s, u"Got 4"_s, u"MouseDown 4"_s }));

    // Labels take no focus.
    h.click(u"lblnote"_s);
    EXPECT_EQ(takeLog(), (QStringList { u"Click lblnote"_s }));
    EXPECT_EQ(h.focused(), u"Text1(4)"_s);
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

TEST_F(RuntimeTest, ColoursReadBackAsTheirLongValues)
{
    struct Case
    {
        quint32 value;
        QColor screen;
    };
    const Case cases[] = {
        { 0xFF0000, QColor(0, 0, 255) },
        { 0x00FFFF, QColor(255, 255, 0) },
        { 0x0000FF, QColor(255, 0, 0) },
        { 0xFFFFFF, QColor(255, 255, 255) },
        { Rgb(192, 192, 255), QColor(192, 192, 255) },
        { Colors::ButtonFace, QApplication::palette().color(QPalette::Button) },
    };
    Control field = form->Text1(2);
    for (const Case &c : cases) {
        field.setBackColor(c.value);
        field.setForeColor(c.value);
        EXPECT_EQ(h.control(u"Text1(2)"_s).backColor, c.value);
        EXPECT_EQ(h.control(u"Text1(2)"_s).foreColor, c.value);
        EXPECT_EQ(field.widget()->palette().color(QPalette::Base), c.screen) << c.value;
    }
    EXPECT_EQ(Rgb(0, 0, 128), 0x800000u);
    EXPECT_EQ(h.control(u"cmdone"_s).backColor, Colors::ButtonFace);
    EXPECT_EQ(h.control(u"testform"_s).backColor, Colors::ButtonFace);
}

TEST_F(RuntimeTest, ResizingScalesEveryControlInProportion)
{
    Control field = form->Text1(3);
    field.setFont(u"Sans Serif"_s, 9.75, true);
    const QRect designed = field.widget()->geometry();
    form->resize(800, 1000);
    h.idle();
    EXPECT_EQ(
        field.widget()->geometry(),
        QRect(designed.x() * 2, designed.y() * 2, designed.width() * 2, designed.height() * 2));
    EXPECT_DOUBLE_EQ(field.widget()->font().pointSizeF(), 19.5);

    form->resize(400, 500);
    h.idle();
    EXPECT_EQ(field.widget()->geometry(), designed);
    EXPECT_DOUBLE_EQ(field.widget()->font().pointSizeF(), 9.75);
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

TEST_F(RuntimeTest, UnloadingTheLastWindowEndsTheProgram)
{
    EXPECT_TRUE(form->unload());
    h.idle();
    EXPECT_FALSE(h.running());
}

} // namespace

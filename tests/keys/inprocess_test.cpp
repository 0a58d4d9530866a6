#include "keysform.h"
#include "recordingkeys.h"

#include "keys/inprocesskeys.h"
#include "platform/runtime.h"
#include "testkit/harness.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::Harness;

namespace {

class InProcessKeysTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form = new KeysForm;
        form->open();
        h.idle();
        form->log.clear();
    }

    QStringList takeLog() { return std::exchange(form->log, {}); }

    Harness h;
    KeysForm *form = nullptr;
};

TEST_F(InProcessKeysTest, IsTheKeyboardWhereTheWindowSystemOffersNoInjection)
{
    KeyPlatform *installed = setKeyPlatform(nullptr);
    EXPECT_EQ(&keyPlatform(), &inProcessKeyboard());
    setKeyPlatform(installed);
}

TEST_F(InProcessKeysTest, TextArrivesAsTypedWithTheShiftItNeeds)
{
    h.keys(u"aB 1x+yZ"_s);
    EXPECT_EQ(form->text(1), u"aB 1xYZ"_s);
    EXPECT_EQ(takeLog(), (QStringList { u"KeyDown 1 65 0"_s, u"KeyDown 1 66 1"_s, u"KeyDown 1 32 0"_s,
                                        u"KeyDown 1 49 0"_s, u"KeyDown 1 88 0"_s, u"KeyDown 1 89 1"_s,
                                        u"KeyDown 1 90 1"_s }));
}

TEST_F(InProcessKeysTest, CtrlAndAltKeysTypeNoText)
{
    h.keys(u"^a%b^(cd)"_s);
    EXPECT_EQ(form->text(1), QString());
    EXPECT_EQ(takeLog(), (QStringList { u"KeyDown 1 65 2"_s, u"KeyDown 1 66 4"_s, u"KeyDown 1 67 2"_s,
                                        u"KeyDown 1 68 2"_s }));
}

TEST_F(InProcessKeysTest, LocksAreTurnedOffForTheStringAndBackOnAfter)
{
    inProcessKeyboard().setLock(CapsLockKey, true);
    h.keys(u"aB"_s);
    EXPECT_EQ(form->text(1), u"aB"_s);
    EXPECT_EQ(takeLog(), (QStringList { u"KeyDown 1 20 0"_s, u"KeyDown 1 65 0"_s, u"KeyDown 1 66 1"_s,
                                        u"KeyDown 1 20 0"_s }));
    EXPECT_TRUE(inProcessKeyboard().LockIsOn(CapsLockKey));

    // The string's own press of the lock is undone as well.
    h.keys(u"{CAPSLOCK}"_s);
    EXPECT_TRUE(inProcessKeyboard().LockIsOn(CapsLockKey));

    // With 2 in `wait` the lock stays as the string leaves it, starting from off; letters
    // typed after the string has switched it on come out in the other case.
    SendKeyString(u"{CAPSLOCK}cD"_s, 2);
    h.idle();
    EXPECT_TRUE(inProcessKeyboard().LockIsOn(CapsLockKey));
    SendKeyString(u"e"_s, 2);
    h.idle();
    EXPECT_FALSE(inProcessKeyboard().LockIsOn(CapsLockKey));
    EXPECT_EQ(form->text(1), u"aBCde"_s);
}

TEST_F(InProcessKeysTest, KeysSentByAHandlerGoBeforeTheRestOfTheString)
{
    // Enter in a field sends a Tab: the next digits belong to the next field.
    h.keys(u"12{ENTER}34~56"_s);
    EXPECT_EQ(form->text(1), u"12"_s);
    EXPECT_EQ(form->text(2), u"34"_s);
    EXPECT_EQ(form->text(3), u"56"_s);
    EXPECT_EQ(h.focused(), u"Text1(3)"_s);
    h.keys(u"+{TAB 2}"_s);
    EXPECT_EQ(h.focused(), u"Text1(1)"_s);
}

TEST_F(InProcessKeysTest, KeysGoToTheControlThatHasTheFocusWhenTheyAreTaken)
{
    // The Enter meant for the button arrives in the field that has the focus by then, and
    // the field's own Tab goes before the next key.
    form->control(u"cmdok"_s).setFocus();
    SendKeyString(u"{ENTER}"_s);
    form->Text1(2).setFocus();
    SendKeyString(u"x"_s);
    h.idle();
    EXPECT_EQ(takeLog(), (QStringList { u"KeyDown 2 13 0"_s, u"KeyDown 3 88 0"_s }));
    EXPECT_EQ(form->text(3), u"x"_s);

    // As the program presses a button: the focus on it, then Enter.

    form->control(u"cmdok"_s).setFocus();
    h.keys(u"{ENTER}"_s);
    EXPECT_EQ(takeLog(), (QStringList { u"Click cmdok"_s }));
}

TEST_F(InProcessKeysTest, ExtendedCharactersArriveThroughAltAndTheKeypad)
{
    inProcessKeyboard().setLock(NumLockKey, true);
    h.keys(u"Déjà vu ÿ €"_s);
    EXPECT_EQ(form->text(1), u"Déjà vu ÿ ?"_s);
    EXPECT_TRUE(inProcessKeyboard().LockIsOn(NumLockKey));

    // A code with a leading zero is one of the Western code page.
    h.keys(u"{NUMLOCK}%({NUMPAD0}{NUMPAD1}{NUMPAD2}{NUMPAD8}){NUMLOCK}"_s);
    EXPECT_EQ(form->text(1), u"Déjà vu ÿ ?€"_s);
}

TEST_F(InProcessKeysTest, KeysTypedAheadAreLostWhenTheProgramEnds)
{
    SendKeyString(u"abc"_s);
    endProgram();
    h.idle();
    EXPECT_FALSE(inProcessKeyboard().pending());
    EXPECT_EQ(form->text(1), QString());
}

// A tick count that moves on by a step at every reading.
struct SteppingTicks
{
    quint32 now;
    quint32 step;
    int readings = 0;
    quint32 operator()()
    {
        ++readings;
        const quint32 value = now;
        now += step;
        return value;
    }
};

TEST(PauseTest, LetsEventsRunUntilTheTicksHavePassedTheWait)
{
    Harness h;
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    SteppingTicks ticks { 1000, 4 };
    pauseWithTicks(20, std::ref(ticks));
    EXPECT_TRUE(ran);
    // 1000 is the start; 1004 to 1020 keep waiting, 1024 ends it.
    EXPECT_EQ(ticks.readings, 7);

    // On the real clock as well.
    ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    QElapsedTimer clock;
    clock.start();
    inProcessKeyboard().PauseMs(20);
    EXPECT_GE(clock.elapsed(), 20);
    EXPECT_TRUE(ran);
}

TEST(PauseTest, ATickCountThatWrapsAroundEndsTheWait)
{
    Harness h;
    SteppingTicks ticks { 0xFFFFFFF8u, 10 };
    pauseWithTicks(20, std::ref(ticks));
    EXPECT_EQ(ticks.readings, 2);
}

TEST(PauseTest, StopsWhenTheProgramEnds)
{
    Harness h;
    QTimer::singleShot(0, [] { endProgram(); });
    SteppingTicks ticks { 5000, 0 }; // a clock that stands still would keep it waiting
    pauseWithTicks(20, std::ref(ticks));
    EXPECT_TRUE(programEnding());
}

} // namespace

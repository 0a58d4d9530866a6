// Key strings: their notation, and how the program's own keyboard types them.
#include "keysform.h"

#include "keys/inprocesskeys.h"
#include "keys/keyplatform.h"
#include "keys/sendkeys.h"
#include "platform/runtime.h"
#include "testkit/harness.h"

#include <gtest/gtest.h>

#include <initializer_list>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::Harness;

namespace {

// Key operations that only write down what they are asked to do: "P x" and "R x" for a
// press and a release, and "toggle NUMLOCK". Pressing a lock key switches its lock.
class RecordingKeys final : public KeyPlatform
{
public:
    bool capsLock = false, numLock = false, scrollLock = false;
    QStringList events;

    QString OsFamily() override { return u"NT"_s; }
    bool LockIsOn(int key) override
    {
        return key == CapsLockKey ? capsLock : key == NumLockKey ? numLock : scrollLock;
    }
    void PressKey(const QString &token) override
    {
        capsLock ^= KeyCodeFromName(token) == CapsLockKey;
        scrollLock ^= KeyCodeFromName(token) == ScrollLockKey;
        events << u"P "_s + token;
    }
    void ReleaseKey(const QString &token) override { events << u"R "_s + token; }
    void ToggleNumLock() override
    {
        numLock = !numLock;
        events << u"toggle NUMLOCK"_s;
    }
    void PauseMs(qint16) override { }
    bool sendKeysNatively(const QString &, qint16) override { return false; }
};

// Press and release of each token in turn.
QStringList taps(std::initializer_list<QString> tokens)
{
    QStringList events;
    for (const QString &token : tokens)
        events << u"P "_s + token << u"R "_s + token;
    return events;
}

// The program's own keys are typed with every lock off, and each lock is put back after
// them, its own press by the string included.
TEST(KeyStringTest, LocksAreSwitchedOffForTheStringAndOnAgainAfter)
{
    const QStringList caps = taps({ u"CAPSLOCK"_s });
    const QStringList all = caps + QStringList { u"toggle NUMLOCK"_s } + taps({ u"SCROLLLOCK"_s });
    struct Case
    {
        QString keys;
        QStringList events;
        bool on = false; // every lock on before and after
    };
    const Case cases[] = {
        { u"{ENTER}"_s, all + taps({ u"ENTER"_s }) + all, true },
        { u"%{F4}"_s,
          all + QStringList { u"P ALT"_s } + taps({ u"F4"_s }) + QStringList { u"R ALT"_s } + all,
          true },
        { u"{CAPSLOCK}"_s, caps + caps },
        { u"{NUMLOCK}"_s, { u"toggle NUMLOCK"_s, u"toggle NUMLOCK"_s } },
        // Reading stops at the zero count; the locks are put back all the same.
        { u"{ENTER 0}"_s, all + all, true },
    };
    for (const Case &c : cases) {
        RecordingKeys keys;
        keys.capsLock = keys.numLock = keys.scrollLock = c.on;
        KeyPlatform *previous = setKeyPlatform(&keys);
        SendKeyString(c.keys);
        setKeyPlatform(previous);
        EXPECT_EQ(keys.events, c.events) << qPrintable(c.keys);
        EXPECT_EQ(keys.capsLock, c.on) << qPrintable(c.keys);
        EXPECT_EQ(keys.numLock, c.on) << qPrintable(c.keys);
        EXPECT_EQ(keys.scrollLock, c.on) << qPrintable(c.keys);
    }
}

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

TEST_F(InProcessKeysTest, TextArrivesWithTheShiftItNeedsAndCtrlOrAltKeysTypeNone)
{
    h.keys(u"aB 1x+yZ^a%b^(cd)"_s);
    EXPECT_EQ(form->text(1), u"aB 1xYZ"_s);
    EXPECT_EQ(takeLog(),
              (QStringList { u"KeyDown 1 65 0"_s, u"KeyDown 1 66 1"_s, u"KeyDown 1 32 0"_s,
                             u"KeyDown 1 49 0"_s, u"KeyDown 1 88 0"_s, u"KeyDown 1 89 1"_s,
                             u"KeyDown 1 90 1"_s, u"KeyDown 1 65 2"_s, u"KeyDown 1 66 4"_s,
                             u"KeyDown 1 67 2"_s, u"KeyDown 1 68 2"_s }));
}

TEST_F(InProcessKeysTest, LocksAreTurnedOffForTheStringAndBackOnAfter)
{
    inProcessKeyboard().setLock(CapsLockKey, true);
    h.keys(u"aB"_s);
    EXPECT_EQ(form->text(1), u"aB"_s);
    EXPECT_EQ(takeLog(),
              (QStringList { u"KeyDown 1 20 0"_s, u"KeyDown 1 65 0"_s, u"KeyDown 1 66 1"_s,
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
}

} // namespace

#include "keysform.h"

#include "keys/keyplatform.h"
#include "keys/sendkeys.h"
#include "keys/x11keys.h"
#include "platform/runtime.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;

namespace {

class X11KeysTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("TALLIC_XVFB_DISPLAY"))
            GTEST_SKIP() << "TALLIC_XVFB_DISPLAY is not set: no X server to type into";
        resetProgramState();
        keys = dynamic_cast<X11Keys *>(&keyPlatform());
        ASSERT_NE(keys, nullptr) << "on X11 with XTEST the keys are injected for real";
        form = new KeysForm;
        form->open();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form));
        ASSERT_TRUE(
            waitFor([this] { return QApplication::focusWidget() == form->Text1(1).widget(); }));
        ASSERT_FALSE(keys->LockIsOn(CapsLockKey));
    }

    void TearDown() override { delete form; }

    void tap(const QString &token)
    {
        keys->PressKey(token);
        keys->ReleaseKey(token);
    }

    // Runs events until the condition holds; the keys come back from the X server.
    static bool waitFor(const std::function<bool()> &condition)
    {
        return QTest::qWaitFor(condition, 5000);
    }

    X11Keys *keys = nullptr;
    KeysForm *form = nullptr;
};

TEST_F(X11KeysTest, TextArrivesAsTypedAndTheProgramsTabGoesBeforeTypeAhead)
{
    // All at once, faster than any operator: the Tab that Enter sends comes first.
    // Letters the keyboard's layout lacks arrive too.
    SendKeyString(u"Tallic 2024 XYZ Café Müller~cd~ef+{TAB}y"_s);
    EXPECT_TRUE(waitFor([&] { return form->text(2) == u"cdy"_s; })) << qPrintable(form->text(2));
    EXPECT_EQ(form->text(1), u"Tallic 2024 XYZ Café Müller"_s);
    EXPECT_EQ(form->text(3), u"ef"_s);
    EXPECT_EQ(form->activeControl().widget(), form->Text1(2).widget());
}

// A lock is read from the keyboard, and put back after a string that pressed it.
TEST_F(X11KeysTest, NumLockIsReadFromTheKeyboardAndPutBack)
{
    const bool before = keys->LockIsOn(NumLockKey);
    tap(u"NUMLOCK"_s);
    EXPECT_NE(keys->LockIsOn(NumLockKey), before);
    SendKeyString(u"x{NUMLOCK}"_s);
    EXPECT_NE(keys->LockIsOn(NumLockKey), before);
    tap(u"NUMLOCK"_s);
}

} // namespace

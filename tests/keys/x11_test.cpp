#include "keysform.h"

#include "keys/keyplatform.h"
#include "keys/sendkeys.h"
#include "keys/x11keys.h"
#include "platform/runtime.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;

namespace {

Display *display()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

// Puts a keysym on a key the keyboard leaves empty, for one scope: a layout with that
// character on a key of its own.
class KeyOfItsOwn
{
public:
    explicit KeyOfItsOwn(KeySym sym)
    {
        int first = 0, last = 0, perKey = 0;
        XDisplayKeycodes(display(), &first, &last);
        KeySym *map = XGetKeyboardMapping(display(), KeyCode(first), last - first + 1, &perKey);
        for (int code = last; code >= first && code_ == 0; --code) {
            const KeySym *syms = map + (code - first) * perKey;
            if (std::all_of(syms, syms + perKey, [](KeySym s) { return s == NoSymbol; }))
                code_ = code;
        }
        XFree(map);
        if (code_ != 0)
            XChangeKeyboardMapping(display(), code_, 1, &sym, 1);
        XSync(display(), False);
    }
    ~KeyOfItsOwn()
    {
        KeySym none = NoSymbol;
        if (code_ != 0)
            XChangeKeyboardMapping(display(), code_, 1, &none, 1);
        XSync(display(), False);
    }
    bool found() const { return code_ != 0; }

private:
    int code_ = 0;
};

// Scroll Lock locks nothing in X11's usual keymap; bound to a modifier of its own, as
// desktops that light its indicator have it, it does.
class ScrollLockModifier
{
public:
    ScrollLockModifier() { change(true); }
    ~ScrollLockModifier() { change(false); }

private:
    static void change(bool bind)
    {
        const KeyCode key = XKeysymToKeycode(display(), XK_Scroll_Lock);
        XModifierKeymap *map = XGetModifierMapping(display());
        map = bind ? XInsertModifiermapEntry(map, key, Mod3MapIndex)
                   : XDeleteModifiermapEntry(map, key, Mod3MapIndex);
        XSetModifierMapping(display(), map);
        XFreeModifiermap(map);
        XSync(display(), False);
    }
};

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
        ASSERT_TRUE(waitFor([this] { return QApplication::focusWidget() == form->Text1(1).widget(); }));
        ASSERT_FALSE(keys->LockIsOn(CapsLockKey));
    }

    void TearDown() override
    {
        if (keys && keys->LockIsOn(CapsLockKey))
            tap(u"CAPSLOCK"_s);
        delete form;
    }

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

TEST_F(X11KeysTest, LettersAndDigitsArriveInTheTextBoxAsTyped)
{
    const QString typed = u"Tallic 2024 chits XYZ abc"_s;
    SendKeyString(typed);
    EXPECT_TRUE(waitFor([&] { return form->text(1) == typed; })) << qPrintable(form->text(1));
}

TEST_F(X11KeysTest, TabMovesTheFocus)
{
    SendKeyString(u"{TAB}"_s);
    EXPECT_TRUE(waitFor([&] { return form->activeControl().widget() == form->Text1(2).widget(); }));
    SendKeyString(u"x+{TAB}y"_s);
    EXPECT_TRUE(waitFor([&] { return form->text(1) == u"y"_s; })) << qPrintable(form->text(1));
    EXPECT_EQ(form->text(2), u"x"_s);
    EXPECT_EQ(form->activeControl().widget(), form->Text1(1).widget());
}

TEST_F(X11KeysTest, TypingAheadAfterEnterGoesIntoTheNextField)
{
    // All at once, faster than any operator: the Tab that Enter sends comes first.
    SendKeyString(u"ab~cd~ef"_s);
    EXPECT_TRUE(waitFor([&] { return form->text(3) == u"ef"_s; })) << qPrintable(form->text(3));
    EXPECT_EQ(form->text(1), u"ab"_s);
    EXPECT_EQ(form->text(2), u"cd"_s);
}

TEST_F(X11KeysTest, EnterOnAFocusedButtonPressesIt)
{
    form->control(u"cmdok"_s).setFocus();
    SendKeyString(u"{ENTER}"_s);
    EXPECT_TRUE(waitFor([&] { return form->log.contains(u"Click cmdok"_s); }));
}

TEST_F(X11KeysTest, EnterSentAsAWindowOpensReachesIt)
{
    // As the entry window presses its first button while it loads: it opens, the window
    // that had the focus goes away, and the Enter follows at once.
    auto *second = new KeysForm;
    second->setObjectName(u"second"_s);
    second->open();
    form->hide();
    DoEvents();
    second->control(u"cmdok"_s).setFocus();
    SendKeyString(u"{ENTER}"_s);
    EXPECT_TRUE(waitFor([&] { return second->log.contains(u"Click cmdok"_s); }));
    EXPECT_TRUE(form->log.isEmpty());
    delete second;
}

TEST_F(X11KeysTest, KeysWaitForTheProgramToHaveTheInputFocus)
{
    // As under a window manager that gives the window the focus a moment after it asks.
    XSetInputFocus(display(), None, RevertToNone, CurrentTime);
    XSync(display(), False);
    ASSERT_TRUE(waitFor([] { return QGuiApplication::focusWindow() == nullptr; }));
    QTimer::singleShot(200, form, [this] {
        XSetInputFocus(display(), Window(form->winId()), RevertToParent, CurrentTime);
        XFlush(display());
    });
    SendKeyString(u"late"_s);
    EXPECT_TRUE(waitFor([&] { return form->text(1) == u"late"_s; })) << qPrintable(form->text(1));
}

TEST_F(X11KeysTest, CapsLockOnBeforeASendIsOnAgainAfterIt)
{
    tap(u"CAPSLOCK"_s);
    ASSERT_TRUE(keys->LockIsOn(CapsLockKey));
    SendKeyString(u"abC1"_s);
    EXPECT_TRUE(keys->LockIsOn(CapsLockKey));
    // Typed with Caps Lock off: the letters in the case the string asks for.
    EXPECT_TRUE(waitFor([&] { return form->text(1) == u"abC1"_s; })) << qPrintable(form->text(1));

    // Typed by hand with Caps Lock still on, the letters come out the other way round.
    tap(u"a"_s);
    EXPECT_TRUE(waitFor([&] { return form->text(1) == u"abC1A"_s; })) << qPrintable(form->text(1));
}

TEST_F(X11KeysTest, NumAndScrollLockAreReadFromTheKeyboard)
{
    ScrollLockModifier scrollLock;
    for (const int lock : { NumLockKey, ScrollLockKey }) {
        const QString name = lock == NumLockKey ? u"NUMLOCK"_s : u"SCROLLLOCK"_s;
        const bool before = keys->LockIsOn(lock);
        tap(name);
        EXPECT_NE(keys->LockIsOn(lock), before) << qPrintable(name);
        // Put back after the string, its own press of the key included.
        SendKeyString(u"x{%1}"_s.arg(name));
        EXPECT_NE(keys->LockIsOn(lock), before) << qPrintable(name);
        // Left as the string leaves it, starting from off.
        SendKeyString(QString(), lock == NumLockKey ? 3 : 4);
        EXPECT_FALSE(keys->LockIsOn(lock)) << qPrintable(name);
        if (before)
            tap(name);
    }
}

TEST_F(X11KeysTest, AnAltCodeTypesItsCharacterWhereTheLayoutHasOne)
{
    const bool numLock = keys->LockIsOn(NumLockKey);
    // No key of the layout types é: it is skipped.
    SendKeyString(u"aéb"_s);
    EXPECT_TRUE(waitFor([&] { return form->text(1) == u"ab"_s; })) << qPrintable(form->text(1));

    KeyOfItsOwn eacute(XK_eacute);
    ASSERT_TRUE(eacute.found());
    SendKeyString(u"Café"_s);
    EXPECT_TRUE(waitFor([&] { return form->text(1) == u"abCafé"_s; })) << qPrintable(form->text(1));
    // No Alt is left behind, and Num Lock is as it was.
    SendKeyString(u"x"_s);
    EXPECT_TRUE(waitFor([&] { return form->text(1) == u"abCaféx"_s; })) << qPrintable(form->text(1));
    EXPECT_EQ(keys->LockIsOn(NumLockKey), numLock);
}

} // namespace

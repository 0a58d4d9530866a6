#include "recordingkeys.h"

#include "keys/sendkeys.h"

#include <gtest/gtest.h>

#include <initializer_list>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;

namespace {

// Press and release of each token in turn.
QStringList taps(std::initializer_list<QString> tokens)
{
    QStringList events;
    for (const QString &token : tokens)
        events << u"P "_s + token << u"R "_s + token;
    return events;
}

QStringList repeat(const QStringList &events, int times)
{
    QStringList all;
    for (int i = 0; i < times; ++i)
        all << events;
    return all;
}

struct Locks
{
    bool caps = false, num = false, scroll = false;
    bool operator==(const Locks &) const = default;
};

struct Case
{
    QString keys;
    QStringList events;
    qint16 wait = 0;
    Locks before {};
    Locks after {};
};

// Also the name of the case in the test list, so it must tell the cases apart.
void PrintTo(const Case &c, std::ostream *out)
{
    *out << '"' << c.keys.toStdString() << "\" wait " << c.wait;
    if (c.before.caps)
        *out << ", Caps Lock on";
    if (c.before.num)
        *out << ", Num Lock on";
    if (c.before.scroll)
        *out << ", Scroll Lock on";
}

class KeyStringTest : public ::testing::TestWithParam<Case>
{
};


TEST_P(KeyStringTest, PressesAndReleasesInOrder)
{
    const Case &c = GetParam();
    RecordingKeys keys;
    keys.capsLock = c.before.caps;
    keys.numLock = c.before.num;
    keys.scrollLock = c.before.scroll;
    UseKeys use(keys);

    SendKeyString(c.keys, c.wait);

    EXPECT_EQ(keys.events, c.events);
    EXPECT_EQ((Locks { keys.capsLock, keys.numLock, keys.scrollLock }), c.after)
        << "caps " << keys.capsLock << " num " << keys.numLock << " scroll " << keys.scrollLock;
}

const QStringList ShiftTab = QStringList { u"P SHIFT"_s } + taps({ u"TAB"_s }) + QStringList { u"R SHIFT"_s };
const QStringList CapsTap = taps({ u"CAPSLOCK"_s });
const QStringList ScrollTap = taps({ u"SCROLLLOCK"_s });
const QString NumToggle = u"toggle NUMLOCK"_s;

INSTANTIATE_TEST_SUITE_P(Notation, KeyStringTest, ::testing::Values(
    Case { u"{TAB}"_s, taps({ u"TAB"_s }) },
    Case { u"+{TAB}"_s, ShiftTab },
    Case { u"^+a"_s, QStringList { u"P CONTROL"_s, u"P SHIFT"_s } + taps({ u"a"_s })
                         + QStringList { u"R SHIFT"_s, u"R CONTROL"_s } },
    Case { u"+(ab)c"_s, QStringList { u"P SHIFT"_s } + taps({ u"a"_s, u"b"_s })
                            + QStringList { u"R SHIFT"_s } + taps({ u"c"_s }) },
    Case { u"{TAB 3}"_s, repeat(taps({ u"TAB"_s }), 3) },
    Case { u"{ab 2}"_s, taps({ u"a"_s, u"b"_s, u"a"_s, u"b"_s }) },
    Case { u"{}}"_s, taps({ u"}"_s }) },
    Case { u"{{}"_s, taps({ u"{"_s }) },
    // The last "}" before the next "{" closes: a name may hold braces.
    Case { u"{a}b}{TAB}"_s, taps({ u"a"_s, u"}"_s, u"b"_s, u"TAB"_s }) },
    Case { u"+{}}^{{}"_s, QStringList { u"P SHIFT"_s } + taps({ u"}"_s }) + QStringList { u"R SHIFT"_s, u"P CONTROL"_s }
                              + taps({ u"{"_s }) + QStringList { u"R CONTROL"_s } },
    Case { u"{ENTER}x{TAB}"_s, taps({ u"ENTER"_s, u"x"_s, u"TAB"_s }) },
    Case { u"{enter}"_s, taps({ u"ENTER"_s }) },
    Case { u"{ALT}"_s, taps({ u"A"_s, u"L"_s, u"T"_s }) },
    Case { u"~"_s, taps({ u"ENTER"_s }) },
    Case { u"{+}{^}{%}{~}{(}{)}"_s, taps({ u"+"_s, u"^"_s, u"%"_s, u"~"_s, u"("_s, u")"_s }) },
    Case { u"%{F4}"_s, QStringList { u"P ALT"_s } + taps({ u"F4"_s }) + QStringList { u"R ALT"_s } },
    Case { u"{F16}{F17}"_s, taps({ u"F16"_s, u"F"_s, u"1"_s, u"7"_s }) },
    Case { u"{}x"_s, taps({ u"x"_s }) }));

INSTANTIATE_TEST_SUITE_P(WhereReadingStops, KeyStringTest, ::testing::Values(
    Case { u"a{"_s, taps({ u"a"_s }) },
    Case { u"a{TAB"_s, taps({ u"a"_s }) },
    Case { u"{ENTER 0}abc"_s, {} },
    Case { u"{TAB x}abc"_s, {} },
    Case { u"{ }abc"_s, {} },
    Case { u"+({TAB 0}"_s, { u"P SHIFT"_s, u"R SHIFT"_s } },
    Case { u"{TAB -2}x"_s, taps({ u"x"_s }) },
    Case { u"{TAB 2.6}"_s, repeat(taps({ u"TAB"_s }), 3) },
    Case { u"a+"_s, taps({ u"a"_s }) + QStringList { u"P SHIFT"_s, u"R SHIFT"_s } },
    Case { u"^%"_s, { u"P CONTROL"_s, u"P ALT"_s, u"R ALT"_s, u"R CONTROL"_s } },
    Case { u"a)b"_s, taps({ u"a"_s, u"b"_s }) },
    Case { u"+(ab"_s, QStringList { u"P SHIFT"_s } + taps({ u"a"_s, u"b"_s }) + QStringList { u"R SHIFT"_s } },
    Case { u"+((a)b"_s, QStringList { u"P SHIFT"_s } + taps({ u"a"_s }) + QStringList { u"R SHIFT"_s }
                            + taps({ u"b"_s }) },
    Case { u""_s, {} }));

const Locks AllOn { true, true, true };

INSTANTIATE_TEST_SUITE_P(Locks, KeyStringTest, ::testing::Values(
    Case { u"{ENTER}"_s, CapsTap + taps({ u"ENTER"_s }) + CapsTap, 0, { true }, { true } },
    Case { u""_s, CapsTap + QStringList { NumToggle } + ScrollTap + CapsTap + QStringList { NumToggle } + ScrollTap,
           0, AllOn, AllOn },
    Case { u"{CAPSLOCK}"_s, CapsTap + CapsTap, 0, {}, {} },
    Case { u"{CAPSLOCK}"_s, CapsTap + QStringList { u"pause 20"_s }, 2, {}, { true } },
    Case { u"{capslock}"_s, CapsTap + CapsTap, 0, { true }, { true } },
    Case { u"{NUMLOCK}"_s, { NumToggle, NumToggle }, 0, {}, {} },
    Case { u"{NUMLOCK}"_s, { NumToggle, u"pause 20"_s }, 3, {}, { false, true } },
    Case { u"{SCROLLLOCK 2}"_s, ScrollTap + ScrollTap, 0, {}, {} },
    Case { u"{SCROLLLOCK}"_s, ScrollTap + ScrollTap + QStringList { u"pause 20"_s }, 23, { false, false, true },
           { false, false, true } },
    Case { u""_s, ScrollTap + QStringList { u"pause 20"_s }, 4, { false, false, true }, {} },
    Case { u"x"_s, CapsTap + QStringList { NumToggle } + ScrollTap + taps({ u"x"_s }) + CapsTap
                      + QStringList { u"pause 20"_s }, 34, AllOn, { true, false, false } },
    Case { u"x"_s, CapsTap + taps({ u"x"_s }) + CapsTap + QStringList { u"pause 20"_s }, -1, { true }, { true } },
    Case { u"x"_s, CapsTap + taps({ u"x"_s }) + QStringList { u"pause 20"_s }, -2, { true }, {} },
    // Reading stops at the zero count; the locks are put back all the same.
    Case { u"{ENTER 0}"_s, CapsTap + CapsTap, 0, { true }, { true } }));

INSTANTIATE_TEST_SUITE_P(ExtendedCharacters, KeyStringTest, ::testing::Values(
    Case { u"é"_s, { NumToggle, u"P ALT"_s, u"P NUMPAD1"_s, u"R NUMPAD1"_s, u"P NUMPAD3"_s, u"R NUMPAD3"_s,
                     u"P NUMPAD0"_s, u"R NUMPAD0"_s, u"R ALT"_s, NumToggle } },
    // With Num Lock on, the string's own toggles switch it on and off again around the code.
    Case { u"+é"_s, QStringList { NumToggle, u"P SHIFT"_s, NumToggle, u"R SHIFT"_s, u"P ALT"_s } +
                         taps({ u"NUMPAD1"_s, u"NUMPAD3"_s, u"NUMPAD0"_s }) +
                         QStringList { u"R ALT"_s, NumToggle, NumToggle },
           0, { false, true }, { false, true } }));

TEST(KeyStringTest, OnTheOlderFamilyThePlatformsOwnServiceTypesTheString)
{
    RecordingKeys keys;
    keys.family = u"9x"_s;
    keys.capsLock = true;
    UseKeys use(keys);
    SendKeyString(u"+{TAB}é"_s, 5);
    EXPECT_EQ(keys.events, (QStringList { u"native +{TAB}é 5"_s }));
    EXPECT_TRUE(keys.capsLock);
}

TEST(KeyStringTest, PrintKeysAreTwoDifferentKeys)
{
    RecordingKeys keys;
    UseKeys use(keys);
    SendKeyString(u"{PRTSC}{prtscr}"_s);
    EXPECT_EQ(keys.events, taps({ u"PRTSC"_s, u"PRTSCR"_s }));
    EXPECT_EQ(keys.pressedCodes, (QList<int> { 42, 44 }));
}

TEST(KeyCodeFromNameTest, NamesInAnyCaseAndNothingElse)
{
    const QList<std::pair<QString, int>> table = {
        { u"BACKSPACE"_s, 8 }, { u"bs"_s, 8 },          { u"Bksp"_s, 8 },     { u"DEL"_s, 46 },
        { u"insert"_s, 45 },   { u"PRTSC"_s, 42 },      { u"PRTSCR"_s, 44 },  { u"CapsLock"_s, 20 },
        { u"F1"_s, 112 },      { u"f16"_s, 127 },       { u"NUMPAD0"_s, 96 }, { u"numpad9"_s, 105 },
        // Not names: modifiers, keys beyond the table, near misses.
        { u"SHIFT"_s, 0 },     { u"CONTROL"_s, 0 },     { u"ALT"_s, 0 },      { u"F0"_s, 0 },
        { u"F17"_s, 0 },       { u"F01"_s, 0 },         { u"NUMPAD10"_s, 0 }, { u"TAB "_s, 0 },
        { u"a"_s, 0 },         { u""_s, 0 },
    };
    for (const auto &[name, code] : table)
        EXPECT_EQ(KeyCodeFromName(name), code) << qPrintable(name);
}

TEST(EncodeExtendedCharsTest, WesternCharactersBecomeTheirOemCodeOnTheKeypad)
{
    const auto alt = [](const QString &digits) {
        QString keys = u"{NUMLOCK}%("_s;
        for (const QChar d : digits)
            keys += u"{NUMPAD"_s + d + u'}';
        return keys + u"){NUMLOCK}"_s;
    };
    const QList<std::pair<QString, QString>> table = {
        { u"plain {TAB}+~ text"_s, u"plain {TAB}+~ text"_s },
        { u"é"_s, alt(u"130"_s) },
        { u"Café au lait"_s, u"Caf"_s + alt(u"130"_s) + u" au lait"_s },
        { u"ü"_s, alt(u"129"_s) },
        { u"ÿ"_s, alt(u"152"_s) },
        { u"£"_s, alt(u"156"_s) },
        { u"\u00A0"_s, alt(u"255"_s) },
        // In the Western code page but not in the OEM one: typed as its "?".
        { u"€"_s, alt(u"63"_s) },
        // Not in the Western code page: left for the keyboard layout to type, or skip.
        { u"Ł\u4E2D"_s, u"Ł\u4E2D"_s },
    };
    for (const auto &[text, encoded] : table)
        EXPECT_EQ(EncodeExtendedChars(text), encoded) << qPrintable(text);
}

} // namespace

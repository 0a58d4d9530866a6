#include "entry/arinput.h"
#include "suite/sharedstate.h"
#include "platform/form.h"
#include "testkit/harness.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::ControlState;
using tallic::testkit::Harness;

namespace {

constexpr quint32 Blue = 0xFF0000;
constexpr quint32 White = 0xFFFFFF;
constexpr quint32 Red = 0xFF;
constexpr quint32 Yellow = 0xFFFF;
constexpr quint32 ButtonFace = 0x8000000F;

const QString MemoOff = u"Memo OFF - click HERE to activate"_s;
const QString MemoOn = u"Optional: type memo in the space below (max 40 char)"_s;

QString label(int i)
{
    return u"Label1(%1)"_s.arg(i);
}

QString field(int i)
{
    return u"Text1(%1)"_s.arg(i);
}

class OptionsTest : public ::testing::Test
{
protected:
    // A club in March 2024, keyed on 12 March 2024, employee checks off, covers not tracked.
    void SetUp() override
    {
        h.setToday(QDate(2024, 3, 12));
        h.exec(u"config"_s, u"update ar set armonth = 3, aryear = 2024"_s);
        h.exec(u"config"_s, u"update pos set empvalidate = 3"_s);
    }

    void start()
    {
        h.setClipboard(u"20240312"_s);
        h.queuePickedDates({ u"20240312"_s });
        h.start();
        // Leaving the empty G/L field at start-up locked it; a new batch unlocks it.
        static_cast<Arinput *>(Form::find(u"arinput"_s))->GlLocked = 0;
        if (h.focused() != field(1))
            h.click(field(1));
        h.clearDialogs();
    }

    void setText(const QString &name, const QString &text)
    {
        Form::find(u"arinput"_s)->controlByName(name).setText(text);
    }

    // Keys a chit up to its base sale, switching the memo on after the account; Enter in
    // the base sale then moves to the memo.
    void keyChitWithMemo()
    {
        h.keys(u"4200"_s);
        h.click(u"Label2"_s);
        h.click(field(2));
        h.keys(u"A1{ENTER}{ENTER}1001{ENTER}{ENTER}100{ENTER}"_s);
    }

    // The caption, the label's colours and the field's availability of field i.
    std::tuple<QString, quint32, quint32, bool, bool> look(int i)
    {
        const ControlState l = h.control(label(i));
        const ControlState f = h.control(field(i));
        return { l.caption, l.backColor, l.foreColor, f.enabled, f.visible };
    }

    void expectField(int i, const QString &caption, bool on)
    {
        EXPECT_EQ(look(i), std::make_tuple(caption, on ? Blue : ButtonFace, on ? White : Red, on, on))
            << i;
    }

    Harness h;
};

TEST_F(OptionsTest, CaptionClicksSwitchTheirFieldsOffAndOn)
{
    struct Case
    {
        int index;
        const char *first; // the caption after one click
        bool firstOn;
        const char *second; // after a second click
    };
    const Case cases[] = {
        { 2, "Random chit#", false, "Chit #" },
        { 5, "Employee # OFF", false, "Employee # ON" },
        { 6, "Covers ON", true, "Covers OFF" }, // covers start switched off
    };
    start();
    for (const Case &c : cases) {
        h.click(label(c.index));
        expectField(c.index, QString::fromLatin1(c.first), c.firstOn);
        h.click(label(c.index));
        expectField(c.index, QString::fromLatin1(c.second), !c.firstOn);
    }
}

TEST_F(OptionsTest, TheKeyingPathPassesOverSwitchedOffFields)
{
    start();
    for (int i : { 2, 3, 5, 6 })
        h.click(label(i));
    h.click(field(1));
    h.keys(u"4100{ENTER}"_s);
    EXPECT_EQ(h.focused(), field(4));
    h.keys(u"1001{ENTER}"_s);
    EXPECT_EQ(h.focused(), field(6)) << "covers are tracked now";
    h.keys(u"{ENTER}"_s);
    EXPECT_EQ(h.focused(), field(7));
}

TEST_F(OptionsTest, CaptionsOfFieldsThatCannotBeSwitchedDoNothing)
{
    start();
    for (int i : { 4, 7, 8, 9, 10 }) {
        const auto before = look(i);
        h.click(label(i));
        EXPECT_EQ(look(i), before) << i;
    }
    EXPECT_EQ(h.control(label(4)).caption, u"Member #"_s);
}

TEST_F(OptionsTest, AnEmptyGlAccountCannotBeSwitchedOff)
{
    start();
    setText(u"Text2"_s, u"Dining Room Food"_s);
    h.click(label(1));
    expectField(1, u"G/L Acct #"_s, true);
    EXPECT_EQ(h.control(u"Text2"_s).text, QString());
}

TEST_F(OptionsTest, AFixedGlAccountIsShownAsItsCaption)
{
    start();
    h.keys(u"4100{ENTER}"_s);
    h.click(label(1));
    expectField(1, u"4100"_s, false);
    EXPECT_EQ(h.control(field(1)).text, u"4100"_s) << "the hidden field keeps its account";
    EXPECT_EQ(h.control(u"Text2"_s).text, u"Dining Room Food"_s);
    h.click(label(1));
    expectField(1, u"G/L Acct #"_s, true);
}

TEST_F(OptionsTest, ASwitchedOffDateShowsTheWorkDate)
{
    start();
    h.keys(u"4100{ENTER}A1{ENTER}{BS}{BS}{BS}{BS}{BS}{BS}{BS}{BS}20240315{ENTER}"_s);
    h.click(label(3));
    expectField(3, u"20240315"_s, false);
    h.click(label(3));
    expectField(3, u"Chit Date"_s, true);
}

TEST_F(OptionsTest, TheMemoIsSwitchedOnAndOffByItsCaption)
{
    start();
    EXPECT_EQ(h.control(u"Label2"_s).caption, MemoOff);
    EXPECT_FALSE(h.control(u"txtmemo"_s).visible);
    const quint32 consolidateBack = h.control(u"lblconsolidate"_s).backColor;

    h.click(u"Label2"_s);
    ControlState caption = h.control(u"Label2"_s);
    EXPECT_EQ(caption.caption, MemoOn);
    EXPECT_EQ(caption.backColor, consolidateBack);
    EXPECT_EQ(caption.foreColor, Red);
    EXPECT_TRUE(h.control(u"txtmemo"_s).visible);
    EXPECT_TRUE(h.control(u"txtmemo"_s).enabled);
    EXPECT_EQ(h.focused(), u"txtmemo"_s);
    EXPECT_EQ(h.control(u"txtmemo"_s).backColor, Yellow);
    EXPECT_EQ(h.control(u"helpwindow"_s).text,
              u"Optional memo for this chit - limited to 40 characters"_s);

    h.keys(u"Dinner"_s);
    h.click(field(4));
    EXPECT_EQ(h.control(u"txtmemo"_s).backColor, White);

    h.click(u"Label2"_s);
    caption = h.control(u"Label2"_s);
    EXPECT_EQ(caption.caption, MemoOff);
    EXPECT_EQ(caption.backColor, consolidateBack);
    EXPECT_EQ(caption.foreColor, h.control(u"Frame1"_s).foreColor);
    EXPECT_FALSE(h.control(u"txtmemo"_s).visible);
    EXPECT_FALSE(h.control(u"txtmemo"_s).enabled);
    EXPECT_EQ(h.control(u"txtmemo"_s).text, u"Dinner"_s) << "switching off keeps the memo";
}

TEST_F(OptionsTest, TheMemoSitsBetweenBaseSaleAndOkWithoutQuotes)
{
    start();
    keyChitWithMemo();
    EXPECT_EQ(h.focused(), u"txtmemo"_s);
    h.keys(u"Bob's \"party\"{ENTER}"_s);
    EXPECT_EQ(h.control(u"txtmemo"_s).text, u"Bobs party"_s);
    EXPECT_EQ(h.focused(), u"cmdokay"_s);
}

TEST_F(OptionsTest, PlusRecallsTheLastMemoAndMovesOn)
{
    start();
    state().LastMemoText = u"Member-guest dinner"_s;
    keyChitWithMemo();
    h.keys(u"{+}"_s);
    EXPECT_EQ(h.control(u"txtmemo"_s).text, u"Member-guest dinner"_s);
    EXPECT_EQ(h.focused(), u"cmdokay"_s);
}

TEST_F(OptionsTest, FunctionKeysReplaceTheMemoByTheirTexts)
{
    h.exec(u"config"_s, u"update ar set arfkey1 = 'Dinner dance', arfkey2 = '', "
                        u"arfkey5 = 'Banquet', arfkey6 = '=today()', arfkey12 = 'Tournament'"_s);
    start();
    h.click(u"Label2"_s);
    const qsizetype programsBefore = h.started().size();
    struct Case
    {
        const char *keys;
        const char *memo;
    };
    const Case cases[] = {
        { "note{F5}", "note" },
        { "{F1}", "Dinner dance" },
        { "x{F6}", "20240312" },
        { "{F12}", "Tournament" },
        { "{F2}", "" }, // a key without a text empties the memo
    };
    for (const Case &c : cases) {
        h.keys(QString::fromLatin1(c.keys));
        EXPECT_EQ(h.control(u"txtmemo"_s).text, QString::fromLatin1(c.memo)) << c.keys;
        EXPECT_EQ(h.focused(), u"txtmemo"_s) << c.keys;
    }
    EXPECT_EQ(h.started().size(), programsBefore) << "F5 starts no lookup from the memo";
}

TEST_F(OptionsTest, TheMemoTakesFortyCharacters)
{
    start();
    h.click(u"Label2"_s);
    h.keys(u"0123456789012345678901234567890123456789ABCDE"_s);
    EXPECT_EQ(h.control(u"txtmemo"_s).text, u"0123456789012345678901234567890123456789"_s);
}

} // namespace

#include "platform/runtime.h"
#include "testkit/harness.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::DialogIcon;
using tallic::testkit::DialogKind;
using tallic::testkit::Harness;

namespace {

TEST(HarnessTest, AnswersQuestionsInOrderAndNoWhenNoneIsLeft)
{
    Harness h;
    h.queueAnswers({ true, false });
    h.queueAnswers({ true });
    EXPECT_EQ(MsgBox(u"First?"_s, BoxButtons::YesNo, BoxIcon::Question, u"Q1"_s), AnswerYes);
    EXPECT_EQ(MsgBox(u"Second?"_s, BoxButtons::YesNo, BoxIcon::Question, u"Q2"_s), AnswerNo);
    EXPECT_EQ(MsgBox(u"Third?"_s, BoxButtons::YesNo, BoxIcon::Question, u"Q3"_s), AnswerYes);
    EXPECT_EQ(MsgBox(u"Fourth?"_s, BoxButtons::YesNo, BoxIcon::Question, u"Q4"_s), AnswerNo);
    EXPECT_EQ(MsgBox(u"Done"_s, BoxButtons::Ok, BoxIcon::Critical, u"Varnest"_s), AnswerOk);

    const auto dialogs = h.dialogs();
    ASSERT_EQ(dialogs.size(), 5);
    EXPECT_EQ(dialogs.at(0).kind, DialogKind::Question);
    EXPECT_EQ(dialogs.at(0).title, u"Q1"_s);
    EXPECT_EQ(dialogs.at(0).icon, DialogIcon::Question);
    EXPECT_EQ(dialogs.at(4).kind, DialogKind::Message);
    EXPECT_EQ(dialogs.at(4).text, u"Done"_s);
    EXPECT_EQ(dialogs.at(4).icon, DialogIcon::Critical);
    h.clearDialogs();
    EXPECT_TRUE(h.dialogs().isEmpty());
}

TEST(HarnessTest, AnswersInputBoxesInOrderAndCancelWhenNoneIsLeft)
{
    Harness h;
    h.queueInputs({ u"GOLF"_s });
    h.queueInputs({ u""_s, u"POOL"_s });
    EXPECT_EQ(InputBox(u"Name?"_s, u"Bundle"_s), u"GOLF"_s);
    EXPECT_EQ(InputBox(u"Name?"_s, u"Bundle"_s), QString());
    EXPECT_EQ(InputBox(u"Name?"_s, u"Bundle"_s), u"POOL"_s);
    EXPECT_EQ(InputBox(u"Name?"_s, u"Bundle"_s, u"x"_s), QString());
    ASSERT_EQ(h.dialogs().size(), 4);
    EXPECT_EQ(h.dialogs().at(0).kind, DialogKind::Input);
    EXPECT_EQ(h.dialogs().at(0).text, u"Name?"_s);
}

TEST(HarnessTest, TheDatePickerLeavesTheQueuedDatesAndEndsTheRunWhenNoneIsLeft)
{
    Harness h;
    h.queuePickedDates({ u"20240315"_s });
    h.queuePickedDates({ u"20240316"_s });
    EXPECT_TRUE(platform().startProgram(u"dalmore.exe"_s, WindowStyle::Normal));
    EXPECT_EQ(h.clipboard(), u"20240315"_s);
    platform().clearClipboard();
    EXPECT_TRUE(platform().startProgram(u"DALMORE.EXE"_s, WindowStyle::Normal));
    EXPECT_EQ(h.clipboard(), u"20240316"_s);
    EXPECT_TRUE(h.running());
    platform().startProgram(u"dalmore.exe"_s, WindowStyle::Normal);
    EXPECT_FALSE(h.running());
}

TEST(HarnessTest, ProgramsRunOnlyWhenTheirFileIsInTheDataFolder)
{
    Harness h;
    h.createFile(u"Prastle.EXE"_s);
    h.setExitCode(u"prastle.exe"_s, 3);
    EXPECT_EQ(platform().runAndWait(u"prastle.exe WJX05JONES"_s), 3);
    EXPECT_EQ(platform().runAndWait(u"holvane.exe ZPH05JONES"_s), -1);
    EXPECT_FALSE(platform().startProgram(u"tassip.exe"_s, WindowStyle::Normal));
    h.createFile(u"tassip.exe"_s);
    EXPECT_TRUE(platform().startProgram(u"tassip.exe"_s, WindowStyle::Normal));
    EXPECT_EQ(h.started(),
              (QStringList { u"prastle.exe WJX05JONES"_s, u"holvane.exe ZPH05JONES"_s,
                             u"tassip.exe"_s, u"tassip.exe"_s }));
}

TEST(HarnessTest, ClockAndClipboardAreTheTestsOwn)
{
    Harness h;
    h.setToday(QDate(2024, 3, 1));
    EXPECT_EQ(platform().today(), QDate(2024, 3, 1));
    EXPECT_EQ(platform().timeOfDay(), QTime(10, 15, 0));
    h.setClipboard(u"20240301"_s);
    EXPECT_EQ(platform().clipboardText(), u"20240301"_s);
    platform().setClipboardText(u"Balance: 12.50"_s);
    EXPECT_EQ(h.clipboard(), u"Balance: 12.50"_s);
}

TEST(HarnessTest, EachHarnessHasAFreshDataFolderThatIsTheWorkingFolder)
{
    QString first;
    {
        Harness h;
        first = h.dataDir();
        EXPECT_EQ(QDir::currentPath(), QDir(h.dataDir()).canonicalPath());
        h.exec(u"daily"_s, u"create table t (a integer, b text)"_s);
        h.exec(u"daily"_s, u"insert into t values (1, 'x')"_s);
        const auto rows = h.rows(u"DAILY"_s, u"select a, b from t"_s);
        ASSERT_EQ(rows.size(), 1);
        EXPECT_EQ(rows.at(0).at(1).toString(), u"x"_s);
    }
    EXPECT_FALSE(QDir(first).exists());
    Harness h;
    EXPECT_TRUE(h.running());
    EXPECT_TRUE(h.rows(u"daily"_s, u"select name from sqlite_master where name = 't'"_s).isEmpty());
}

} // namespace

#include "autogen/frmbundle.h"
#include "entry/arinput.h"
#include "entry/frmsplash.h"
#include "suite/sharedstate.h"
#include "platform/form.h"
#include "testkit/fakeplatform.h"
#include "testkit/harness.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::DialogIcon;
using tallic::testkit::Harness;

namespace {

// The name of a configuration column by its position, as the program reads it.
QString arColumn(Harness &h, int position)
{
    const auto info = h.rows(u"config"_s, u"pragma table_info(ar)"_s);
    return info.at(position).at(1).toString();
}

void setAr(Harness &h, int position, const QString &sqlValue)
{
    h.exec(u"config"_s, u"update ar set %1 = %2"_s.arg(arColumn(h, position), sqlValue));
}

const QString Refused = u"This module cannot be run by itself.\nClick OK to exit..."_s;
const QString Denied = u"Access denied. See system administrator.\nClick OK to exit..."_s;

TEST(StartupTest, AStartFromTheMenuShowsTheEntryScreen)
{
    Harness h;
    setAr(h, 22, u"7"_s);
    h.setCommandLine(u"KQV05 JONES"_s);
    h.setClipboard(u"20240315"_s);
    // The batch the program starts by itself, on a day of the open month.
    const qint32 batchDate = QDate::currentDate().year() * 10000 + 701;
    h.queuePickedDates({ QString::number(batchDate) });
    h.start();
    EXPECT_TRUE(h.running());
    EXPECT_EQ(h.control(u"arinput"_s).caption, u"JONES @ Accounts Receivable  - in A/R month: 7"_s);
    EXPECT_TRUE(h.control(u"arinput"_s).visible);
    EXPECT_EQ(state().AccessLevel, 5);
    EXPECT_EQ(state().UserName, u"JONES"_s);
    EXPECT_EQ(state().WorkDate, batchDate);
    EXPECT_EQ(state().StartStamp, u"JONES10:15:00"_s);
    EXPECT_EQ(h.clipboard(), QString());
    EXPECT_EQ(Form::find(u"frmsplash"_s), nullptr);
    EXPECT_TRUE(h.dialogs().isEmpty());
}

TEST(StartupTest, LaunchCodesAndLevels)
{
    struct Case
    {
        const char *commandLine;
        int lowestLevel;
        bool runs;
        QString refusal;
    };
    const Case cases[] = {
        { "KQV05JONES", 5, true, {} },       { "#QV05JONES", 5, true, {} },
        { "KQV04JONES", 5, false, Denied },  { "", 5, false, Refused },
        { "KQV0", 5, false, Refused },       { "KQV05   ", 5, false, Refused },
        { "KQX05JONES", 5, false, Refused }, { "KQV99SMITH", 99, true, {} },
    };
    for (const Case &c : cases) {
        Harness h;
        setAr(h, 0, QString::number(c.lowestLevel));
        h.setCommandLine(QString::fromLatin1(c.commandLine));
        h.queuePickedDates({ QDate::currentDate().toString(u"yyyyMMdd"_s) });
        h.start();
        EXPECT_EQ(h.running(), c.runs) << c.commandLine;
        if (c.runs) {
            EXPECT_TRUE(h.dialogs().isEmpty()) << c.commandLine;
            continue;
        }
        ASSERT_EQ(h.dialogs().size(), 1) << c.commandLine;
        EXPECT_EQ(h.dialogs().at(0).text, c.refusal) << c.commandLine;
        EXPECT_EQ(h.dialogs().at(0).title, u"Varnest"_s);
        EXPECT_EQ(h.dialogs().at(0).icon, DialogIcon::Critical);
    }
}

TEST(StartupTest, ASecondCopyIsRefusedBeforeAnythingElse)
{
    Harness h;
    h.fake().otherInstanceRunning = true;
    h.createFile(u"dbupdate.dat"_s);
    h.start();
    EXPECT_FALSE(h.running());
    ASSERT_EQ(h.dialogs().size(), 1);
    EXPECT_EQ(h.dialogs().at(0).text,
              u"Tallic is already running. You may not\nstart it twice on the same computer."_s);
    EXPECT_EQ(h.dialogs().at(0).icon, DialogIcon::Information);
    EXPECT_EQ(h.dialogs().at(0).title, u"Varnest"_s);
}

TEST(StartupTest, APendingDatabaseUpdateStopsTheStart)
{
    const QString message
        = u"Before you may continue, you must run the \nDBUPDATE module.  Note that no users may be  \nusing Varnest Accounting during an update.  \n\n"_s;
    for (bool pointOfSale : { false, true }) {
        Harness h;
        h.createFile(u"dbupdate.dat"_s);
        if (pointOfSale)
            h.createFile(u"PONTIQ.EXE"_s);
        h.start();
        EXPECT_FALSE(h.running());
        ASSERT_EQ(h.dialogs().size(), 1);
        const QString expected = pointOfSale ? message
                + u"Unless the instructions specify otherwise, it is NOT \nnecessary to shut down Pontiq Point of sale."_s
                                             : message;
        EXPECT_EQ(h.dialogs().at(0).text, expected) << "point of sale " << pointOfSale;
        EXPECT_EQ(h.dialogs().at(0).title, u"Varnest Database Update Required"_s);
        EXPECT_EQ(h.dialogs().at(0).icon, DialogIcon::Critical);
    }
}

TEST(StartupTest, TheWorkingDateComesFromTheClipboard)
{
    // What the window takes from the menu when it is created, before the first batch
    // asks for a date of its own.
    const std::pair<const char *, int> cases[] = { { "20240315", 20240315 }, { "not a date", 0 } };
    for (const auto &[clipboard, workDate] : cases) {
        Harness h;
        h.setClipboard(QString::fromLatin1(clipboard));
        auto *window = new Arinput;
        QMetaObject::invokeMethod(window, "Form_Initialize");
        EXPECT_EQ(state().WorkDate, workDate) << clipboard;
        EXPECT_EQ(h.clipboard(), QString()) << "the clipboard is cleared once read";
        delete window;
    }
}

TEST(StartupTest, SkipDigitsSwitchValidationsOff)
{
    struct Case
    {
        QString column;
        int gl, member, employee;
    };
    const Case cases[]
        = { { u"''"_s, 0, 0, 0 }, { u"'010'"_s, 0, 1, 0 }, { u"'1110000000'"_s, 1, 1, 1 } };
    for (const Case &c : cases) {
        Harness h;
        setAr(h, 47, c.column);
        h.start();
        EXPECT_EQ(state().SkipGlCheck, c.gl) << qPrintable(c.column);
        EXPECT_EQ(state().SkipMemberCheck, c.member) << qPrintable(c.column);
        EXPECT_EQ(state().SkipEmpCheck, c.employee) << qPrintable(c.column);
    }
}

TEST(StartupTest, ANullConsolidationColumnIsWrittenBackOnce)
{
    Harness h;
    setAr(h, 26, u"null"_s);
    setAr(h, 30, u"null"_s);
    h.start();
    EXPECT_EQ(state().ConsolidationMode, u"N"_s);
    const QString consolidation = arColumn(h, 26);
    const QString f4 = arColumn(h, 30);
    const auto rows
        = h.rows(u"config"_s, u"select %1, %2 is null from ar"_s.arg(consolidation, f4));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.at(0).at(0).toString(), u"N"_s);
    EXPECT_TRUE(rows.at(0).at(1).toBool()) << "other Null columns stay Null";
    EXPECT_EQ(state().FunctionKeyText[4], QString());
}

TEST(StartupTest, ConsolidationIsShownUnlessThePointOfSaleProgramIsThere)
{
    for (bool pointOfSale : { false, true }) {
        Harness h;
        setAr(h, 26, u"'g'"_s);
        if (pointOfSale)
            h.createFile(u"Pontiq.exe"_s);
        h.start();
        EXPECT_EQ(state().ConsolidationMode, pointOfSale ? u"N"_s : u"G"_s);
        EXPECT_EQ(h.control(u"lblconsolidate"_s).visible, !pointOfSale);
    }
}

TEST(StartupTest, FunctionKeyDateWordsBecomeToday)
{
    Harness h;
    h.setToday(QDate(2024, 3, 1));
    setAr(h, 27, u"'YYYYMMDD'"_s);
    setAr(h, 28, u"'MMDDYYYY'"_s);
    setAr(h, 29, u"'yyyymmdd'"_s);
    h.start();
    EXPECT_EQ(state().FunctionKeyText[1], u"20240301"_s);
    EXPECT_EQ(state().FunctionKeyText[2], u"20240301"_s);
    EXPECT_EQ(state().FunctionKeyText[3], u"yyyymmdd"_s);
}

TEST(StartupTest, TheEmployeeCaptionFollowsTheValidationMode)
{
    const std::pair<int, QString> cases[]
        = { { 1, u"Emp Operator #"_s }, { 2, u"Emp Access #"_s }, { 3, u"Employee #"_s } };
    for (const auto &[mode, caption] : cases) {
        Harness h;
        h.exec(u"config"_s, u"update pos set empvalidate = %1"_s.arg(mode));
        h.start();
        EXPECT_EQ(h.control(u"Label1(5)"_s).caption, caption);
    }
}

TEST(StartupTest, TheEndOfMonthEditorIsOfferedFromItsLevelOn)
{
    for (int level : { 49, 50 }) {
        Harness h;
        setAr(h, 3, u"50"_s);
        h.setCommandLine(u"KQV%1JONES"_s.arg(level));
        h.start();
        EXPECT_EQ(h.control(u"eomeditor"_s).visible, level >= 50);
    }
}

TEST(StartupTest, AMissingConfigurationIsReportedOnceAndTheProgramEnds)
{
    Harness h;
    QDir(h.dataDir()).remove(u"config.mdb"_s);
    h.start();
    EXPECT_FALSE(h.running());
    ASSERT_FALSE(h.dialogs().isEmpty());
    EXPECT_EQ(
        h.dialogs().at(0).text,
        u"The CONFIG.MDB database is missing.\r\nContact Pellmoor technical support for assistance."_s);
    ASSERT_EQ(h.dialogs().size(), 2);
    EXPECT_EQ(h.dialogs().at(1).text, u"Code 9 in 0Subscript out of range"_s);
    EXPECT_EQ(h.dialogs().at(1).icon, DialogIcon::Critical);
}

} // namespace

namespace {

TEST(StartupWiringTest, EveryHandlerOfEveryWindowFitsItsEvent)
{
    Harness h;
    h.start();
    Frmsplash splash;
    Frmbundle bundle;
    for (Form *window : QList<Form *> { Form::find(u"arinput"_s), &splash, &bundle }) {
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->wiringProblems().isEmpty())
            << qPrintable(window->objectName() + u' ' + window->wiringProblems().join(u' '));
    }
}

} // namespace

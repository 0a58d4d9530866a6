#include "datepicker.h"
#include "suite/sharedstate.h"
#include "platform/form.h"
#include "suite/tools.h"
#include "testkit/fakeplatform.h"
#include "testkit/harness.h"

#include <QCalendarWidget>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::DialogIcon;
using tallic::testkit::DialogKind;
using tallic::testkit::FakePlatform;
using tallic::testkit::Harness;

namespace {

const QString Caution = u"WARNING - PREMATURE USER TERMINATION OF BACKUP PROCEDURE"_s;

// The harness's machine, noting whether the entry window took input while a tool ran and
// what the clipboard offered the tool.
class WatchedPlatform final : public Platform
{
public:
    explicit WatchedPlatform(FakePlatform &fake)
        : f(fake)
    {
    }
    bool enabledDuringRun = true;
    QString clipboardDuringRun;

    int runAndWait(const QString &commandLine) override
    {
        const Form *window = Form::find(u"arinput"_s);
        enabledDuringRun = window && window->isEnabled();
        clipboardDuringRun = f.clipboard;
        return f.runAndWait(commandLine);
    }
    QString clipboardText() override { return f.clipboardText(); }
    void setClipboardText(const QString &text) override { f.setClipboardText(text); }
    void clearClipboard() override { f.clearClipboard(); }
    bool startProgram(const QString &line, WindowStyle style) override
    {
        return f.startProgram(line, style);
    }
    bool fileExists(const QString &name) override { return f.fileExists(name); }
    QDate today() override { return f.today(); }
    QTime timeOfDay() override { return f.timeOfDay(); }
    void seedRandom() override { f.seedRandom(); }
    double random() override { return f.random(); }
    bool claimSingleInstance() override { return f.claimSingleInstance(); }
    int messageBox(const QString &t, const QString &title, BoxIcon i, BoxButtons b) override
    {
        return f.messageBox(t, title, i, b);
    }
    QString inputBox(const QString &p, const QString &t, const QString &d) override
    {
        return f.inputBox(p, t, d);
    }

private:
    FakePlatform &f;
};

// An operator of the March 2024 club, on 12 March 2024, with the machine watched.
class Session
{
public:
    Session()
    {
        h.setToday(QDate(2024, 3, 12));
        h.exec(u"config"_s, u"update ar set armonth = 3, aryear = 2024"_s);
        setPlatform(&watched);
    }
    ~Session()
    {
        setPlatform(&h.fake());
        setPickDateLimit(std::chrono::minutes(2));
    }

    bool start(int level = 5)
    {
        h.setCommandLine(u"KQV%1JONES"_s.arg(level, 2, 10, QLatin1Char('0')));
        h.queuePickedDates({ u"20240312"_s });
        h.start();
        h.clearDialogs();
        return h.running();
    }
    QString path(const QString &name) const { return QDir(h.dataDir()).filePath(name); }
    QStringList logLines(const QString &name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly)
            ? QString::fromUtf8(file.readAll()).split(u"\r\n"_s, Qt::SkipEmptyParts)
            : QStringList();
    }
    QString location()
    {
        return h.rows(u"user"_s, u"select location from staff where username = 'JONES'"_s)
            .value(0)
            .value(0)
            .toString();
    }
    qsizetype pickerRuns() const { return h.started().count(u"dalmore.exe"_s); }

    Harness h;
    WatchedPlatform watched { h.fake() };
};

class ToolsTest : public ::testing::Test, public Session
{
};

TEST(ToolsTableTest, TheEditorsRunWithTheOperatorsLevelAndComeBackToANewBatch)
{
    const char *const cases[][4] = {
        { "7", "dpedit", "prastle.exe", "prastle.exe WJX07JONES" },
        { "12", "dpedit", "prastle.exe", "prastle.exe WJX12JONES" },
        { "50", "eomeditor", "holvane.exe", "holvane.exe ZPH50JONES" },
    };
    for (const auto &c : cases) {
        Session s;
        s.h.createFile(QString::fromLatin1(c[2]));
        ASSERT_TRUE(s.start(QByteArray(c[0]).toInt())) << c[3];
        s.h.queuePickedDates({ u"20240318"_s });
        s.h.click(QString::fromLatin1(c[1]));
        EXPECT_TRUE(s.h.started().contains(QString::fromLatin1(c[3]))) << c[3];
        EXPECT_FALSE(s.watched.enabledDuringRun) << "no input while a tool runs";
        EXPECT_TRUE(s.h.control(u"arinput"_s).enabled);
        EXPECT_TRUE(s.h.dialogs().isEmpty()) << c[3];
        EXPECT_EQ(s.pickerRuns(), 2) << c[3];
        EXPECT_EQ(s.h.control(u"Text1(3)"_s).text, u"20240318"_s);
        EXPECT_EQ(s.location(), u"Chit Entry"_s);
    }
    Session s;
    ASSERT_TRUE(s.start());
    s.h.queuePickedDates({ u"20240318"_s });
    s.h.click(u"dpedit"_s);
    EXPECT_EQ(s.watched.clipboardDuringRun, u"20240312"_s) << "the workspace editor's date";
}

TEST_F(ToolsTest, AMissingEditorIsAPrematureEndThenANewBatch)
{
    ASSERT_TRUE(start());
    h.queuePickedDates({ u"20240319"_s });
    h.click(u"dpedit"_s);
    ASSERT_EQ(h.dialogs().size(), 1);
    EXPECT_EQ(h.dialogs().at(0).title, u"CAUTION"_s);
    EXPECT_EQ(h.dialogs().at(0).text, Caution);
    EXPECT_EQ(h.dialogs().at(0).icon, DialogIcon::Critical);
    EXPECT_EQ(logLines(u"lastbkup.dat"_s),
              QStringList { u"03-12-2024-10:15:00-JONES-Backup/Restore-"_s + Caution });
    EXPECT_EQ(pickerRuns(), 2);
    EXPECT_EQ(h.control(u"Text1(3)"_s).text, u"20240319"_s);
    EXPECT_EQ(location(), u"Chit Entry"_s);
}

TEST_F(ToolsTest, ALogThatCannotBeWrittenIsReportedOnceAndEndsTheRun)
{
    ASSERT_TRUE(QDir(h.dataDir()).mkdir(u"lastbkup.dat"_s));
    ASSERT_TRUE(start());
    h.click(u"dpedit"_s);
    ASSERT_EQ(h.dialogs().size(), 2);
    EXPECT_EQ(h.dialogs().at(0).title, u"CAUTION"_s);
    EXPECT_EQ(h.dialogs().at(1).title, u"Varnest Codes"_s);
    EXPECT_TRUE(h.dialogs().at(1).text.startsWith(u"Code 75 - "_s));
    EXPECT_EQ(pickerRuns(), 1) << "no new batch after the report";
    EXPECT_TRUE(h.control(u"arinput"_s).enabled);
}

TEST_F(ToolsTest, TheMonthEndEditorIsRefusedBelowItsLevel)
{
    h.createFile(u"holvane.exe"_s);
    ASSERT_TRUE(start(49));
    h.click(u"eomeditor"_s);
    ASSERT_EQ(h.dialogs().size(), 1);
    EXPECT_EQ(h.dialogs().at(0).title, u"Varnest"_s);
    EXPECT_EQ(h.dialogs().at(0).text, u"Access denied."_s);
    EXPECT_EQ(h.dialogs().at(0).icon, DialogIcon::Information);
    EXPECT_TRUE(h.started().filter(u"holvane"_s).isEmpty());
    EXPECT_EQ(pickerRuns(), 1);
}

TEST(ToolsHelpTest, HelpOpensTheManualOrElseTheTextViewer)
{
    for (const bool manual : { true, false }) {
        Session s;
        if (manual)
            s.h.createFile(u"dodizara.exe"_s);
        ASSERT_TRUE(s.start());
        s.h.setClipboard(u"1001"_s);
        s.h.click(u"help"_s);
        EXPECT_EQ(s.h.started().contains(u"dodizara.exe manual-ACCTREC.pdf"_s), manual);
        EXPECT_EQ(s.h.started().contains(u"vuruzad.exe arinput.txt.txt"_s), !manual);
        EXPECT_TRUE(s.h.dialogs().isEmpty());
    }
}

// Without the calendar the operator types the date; what is no date is asked again.
TEST_F(ToolsTest, WithoutTheCalendarTheDateIsTyped)
{
    ASSERT_TRUE(QFile::remove(path(u"dalmore.exe"_s)));
    h.queueInputs({ u"2024031"_s, u"abcdefgh"_s, u"20240229"_s, u"20240313"_s });
    h.start();
    ASSERT_TRUE(h.running());
    QStringList seen;
    for (const auto &dialog : h.dialogs())
        seen << (dialog.kind == DialogKind::Input ? u"input"_s : dialog.title);
    EXPECT_EQ(seen,
              (QStringList { u"input"_s, u"input"_s, u"input"_s, u"Date chosen: 20240229"_s,
                             u"input"_s }));
    EXPECT_EQ(h.control(u"Text1(3)"_s).text, u"20240313"_s);

    // Cancel in the date field keeps its date.
    h.click(u"Text1(3)"_s);
    EXPECT_EQ(h.dialogs().last().kind, DialogKind::Input);
    EXPECT_EQ(h.control(u"Text1(3)"_s).text, u"20240313"_s);
}

TEST_F(ToolsTest, ACalendarThatNeverAnswersGivesWayToTheInputBox)
{
    setPickDateLimit(std::chrono::milliseconds(60));
    h.queuePickedDates({ QString() }); // the calendar starts and leaves nothing
    h.queueInputs({ u"20240314"_s });
    h.start();
    ASSERT_TRUE(h.running());
    ASSERT_EQ(h.dialogs().size(), 1);
    EXPECT_EQ(h.dialogs().at(0).kind, DialogKind::Input);
    EXPECT_EQ(h.control(u"Text1(3)"_s).text, u"20240314"_s);
}

// The calendar itself: Enter takes today, served on the clipboard until another program
// has taken it; Escape gives nothing.
TEST(DatePickerTest, ThePickedDateIsServedUntilTakenAndEscapeGivesNone)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    datepicker::DatePicker picker(QDate(2024, 3, 12));
    QSignalSpy finished(&picker, &datepicker::DatePicker::finished);
    picker.show();
    QTest::keyClick(picker.calendar()->focusProxy(), Qt::Key_Return);
    EXPECT_EQ(clipboard->text(), u"20240312"_s);
    QCoreApplication::processEvents();
    EXPECT_EQ(finished.count(), 0) << "the date waits to be taken";
    clipboard->clear();
    QCoreApplication::processEvents();
    EXPECT_EQ(finished.count(), 1);

    datepicker::DatePicker cancelled(QDate(2024, 3, 12));
    QSignalSpy none(&cancelled, &datepicker::DatePicker::finished);
    cancelled.show();
    cancelled.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&cancelled));
    QTest::keyClick(cancelled.calendar()->focusProxy(), Qt::Key_Escape);
    EXPECT_EQ(none.count(), 1);
    EXPECT_EQ(clipboard->text(), QString());
}

} // namespace

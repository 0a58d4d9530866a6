#include "platform/form.h"
#include "platform/keygate.h"
#include "suite/sharedstate.h"
#include "suite/tools.h"
#include "testkit/harness.h"
#include "testkit/world.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::box;
using tallic::testkit::Dialog;
using tallic::testkit::DialogIcon;
using tallic::testkit::DialogKind;
using tallic::testkit::Harness;
using tallic::testkit::prepareMarch2024;
using tallic::testkit::startMarch2024;

namespace {

const QString Caution = u"WARNING - PREMATURE USER TERMINATION OF BACKUP PROCEDURE"_s;

// The harness's machine, noting whether the entry window took input while a tool ran and
// what the clipboard offered the tool.
class WatchedPlatform final : public testkit::MachineOverride
{
public:
    using MachineOverride::MachineOverride;
    bool enabledDuringRun = true;
    QString clipboardDuringRun;
    // Keys the operator types at the entry window while the calendar is open, and those
    // that come to it once the calendar is gone (auto-repeat of a key held down there).
    QString typedWhileOpen, typedAfter;
    bool repeated = false, picking = false;

    static void type(const QString &text, bool repeat)
    {
        for (const QChar c : text) {
            const int key = c == u'\r' ? int(Qt::Key_Return) : int(c.toUpper().unicode());
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c), repeat);
            QCoreApplication::sendEvent(KeyGate::keyTarget(), &press);
        }
    }
    // The keys come as the window system sends them: while the date picker looks at the
    // clipboard for the calendar's answer, and when it clears the clipboard after.
    bool startProgram(const QString &line, WindowStyle style) override
    {
        picking = line == u"dalmore.exe"_s;
        return inner.startProgram(line, style);
    }
    qint64 startWatchedProgram(const QString &line, WindowStyle style) override
    {
        picking = line == u"dalmore.exe"_s;
        return inner.startWatchedProgram(line, style);
    }
    QString clipboardText() override
    {
        if (picking)
            type(std::exchange(typedWhileOpen, {}), false);
        return inner.clipboardText();
    }
    void clearClipboard() override
    {
        if (std::exchange(picking, false))
            type(std::exchange(typedAfter, {}), repeated);
        inner.clearClipboard();
    }

    int runAndWait(const QString &commandLine) override
    {
        const Form *window = Form::find(u"arinput"_s);
        enabledDuringRun = window && window->isEnabled();
        clipboardDuringRun = inner.clipboardText();
        return inner.runAndWait(commandLine);
    }
};

// An operator of the March 2024 club, with the machine watched.
class Session
{
public:
    bool start(int level = 5, const QString &date = u"20240312"_s)
    {
        startMarch2024(h, { date }, level);
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
    qsizetype pickerRuns() const { return h.started().filter(u"dalmore.exe"_s).size(); }

    Harness h;
    WatchedPlatform watched { h };
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
        ASSERT_TRUE(s.start(QByteArray(c[0]).toInt(), u"20240310"_s)) << c[3];
        // Enter in the calendar keeps the day that was being keyed, not today's (the 12th).
        s.h.queuePickedDates({ u"~"_s });
        s.h.click(QString::fromLatin1(c[1]));
        EXPECT_TRUE(s.h.started().contains(QString::fromLatin1(c[3]))) << c[3];
        EXPECT_FALSE(s.watched.enabledDuringRun) << "no input while a tool runs";
        EXPECT_TRUE(s.h.control(u"arinput"_s).enabled);
        EXPECT_TRUE(s.h.dialogs().isEmpty()) << c[3];
        EXPECT_EQ(s.pickerRuns(), 2) << c[3];
        EXPECT_EQ(s.h.control(u"Text1(3)"_s).text, u"20240310"_s);
        EXPECT_EQ(s.location(), u"Chit Entry"_s);
    }
    // The workspace editor gets the batch date; missing, it is a premature end, logged,
    // and then a new batch.
    Session s;
    ASSERT_TRUE(s.start());
    s.h.queuePickedDates({ u"20240319"_s });
    s.h.click(u"dpedit"_s);
    EXPECT_EQ(s.watched.clipboardDuringRun, u"20240312"_s);
    EXPECT_EQ(s.h.dialogs(), QList<Dialog> { box(u"CAUTION"_s, Caution, DialogIcon::Critical) });
    EXPECT_EQ(s.logLines(u"lastbkup.dat"_s),
              QStringList { u"03-12-2024-10:15:00-JONES-Backup/Restore-"_s + Caution });
    EXPECT_EQ(s.pickerRuns(), 2);
    EXPECT_EQ(s.h.control(u"Text1(3)"_s).text, u"20240319"_s);
    EXPECT_EQ(s.location(), u"Chit Entry"_s);
}

// Keys typed at the window while the calendar is open are not for the new batch, nor is the
// auto-repeat of Enter held down in the calendar; a key pressed afresh after it is.
TEST(ToolsTableTest, KeysTypedAtTheWindowWhileTheCalendarIsOpenAreDropped)
{
    const struct
    {
        const char *whileOpen, *after;
        bool repeated;
        const char *field;
    } cases[]
        = { { "4100\r1\r", "", false, "" }, { "", "\r\r\r", true, "" }, { "", "41", false, "41" } };
    for (const auto &c : cases) {
        Session s;
        ASSERT_TRUE(s.start());
        s.watched.typedWhileOpen = QString::fromLatin1(c.whileOpen);
        s.watched.typedAfter = QString::fromLatin1(c.after);
        s.watched.repeated = c.repeated;
        s.h.queuePickedDates({ u"20240318"_s });
        s.h.click(u"cmdnewbatch"_s);
        EXPECT_EQ(s.h.control(u"Text1(1)"_s).text, QString::fromLatin1(c.field)) << c.after;
        EXPECT_EQ(s.h.focused(), u"Text1(1)"_s) << c.whileOpen << c.after;
        EXPECT_TRUE(s.h.dialogs().isEmpty()) << c.whileOpen << c.after;
    }
}

// Help shows the manual through the help program, or the window's own text when the help
// program is not installed or has no manual ("NOHELP").
TEST(ToolsTableTest, HelpFallsBackToTheWindowsOwnText)
{
    const struct
    {
        const char *window, *help, *ownText; // help: the help program's answer; null: none
        bool ownTextShown;
    } cases[] = {
        { "help", nullptr, "vuruzad.exe arinput.txt.txt", true },
        { "help", "", "vuruzad.exe arinput.txt.txt", false },
        { "help", "NOHELP", "vuruzad.exe arinput.txt.txt", true },
        { "frmbundle.cmdhelp", "NOHELP", "vuruzad.exe bundle.txt", true },
        { "frmbundle.cmdhelp", "", "vuruzad.exe bundle.txt", false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.window);
        SCOPED_TRACE(c.help ? c.help : "no help program");
        Session s;
        if (c.help)
            s.h.createFile(u"dodizara.exe"_s, c.help);
        ASSERT_TRUE(s.start());
        if (QByteArray(c.window).startsWith("frmbundle"))
            s.h.click(u"cmdautogenerate"_s);
        s.h.click(QString::fromLatin1(c.window));
        EXPECT_EQ(s.h.started().contains(u"dodizara.exe manual-ACCTREC.pdf"_s), c.help != nullptr);
        EXPECT_EQ(s.h.started().contains(QString::fromLatin1(c.ownText)), c.ownTextShown);
        EXPECT_TRUE(s.h.dialogs().isEmpty());
    }
}

TEST_F(ToolsTest, TheMonthEndEditorIsRefusedBelowItsLevel)
{
    h.createFile(u"holvane.exe"_s);
    ASSERT_TRUE(start(49));
    h.click(u"eomeditor"_s);
    EXPECT_EQ(h.dialogs(),
              QList<Dialog> { box(u"Varnest"_s, u"Access denied."_s, DialogIcon::Information) });
    EXPECT_TRUE(h.started().filter(u"holvane"_s).isEmpty());
    EXPECT_EQ(pickerRuns(), 1);
}

// Escape in the calendar, or Cancel in the box typed in its place, ends the wait at once and
// leaves the batch as it was (none at start-up), with the window in the operator's hands.
TEST(ToolsTableTest, ACancelledDateLeavesTheBatchAsItWas)
{
    const struct
    {
        bool calendar;
        QStringList inputs;
        qsizetype boxes;
    } cases[] = { { true, {}, 0 }, { false, { u"20240312"_s }, 1 }, { false, {}, 1 } };
    const auto limit = pickDateLimit();
    setPickDateLimit(std::chrono::seconds(1));
    for (const auto &c : cases) {
        Session s;
        if (!c.calendar) {
            ASSERT_TRUE(QFile::remove(s.path(u"dalmore.exe"_s)));
        }
        prepareMarch2024(s.h);
        s.h.queuePickedDates({ u"20240312"_s, QString() });
        s.h.queueInputs(c.inputs);
        s.h.start();
        s.h.clearDialogs();
        s.h.click(u"cmdnewbatch"_s);
        SCOPED_TRACE(c.inputs.size() + 2 * c.calendar);
        EXPECT_EQ(s.h.dialogs().size(), c.boxes);
        EXPECT_EQ(s.h.control(u"Text1(3)"_s).text, u"20240312"_s);
        EXPECT_TRUE(s.h.control(u"cmdnewbatch"_s).enabled);
        s.h.click(u"cmdexit"_s);
        EXPECT_FALSE(s.h.running());
    }
    setPickDateLimit(limit);
}

// Without the calendar the operator types the date; what is no date is asked again.
TEST_F(ToolsTest, WithoutTheCalendarTheDateIsTyped)
{
    ASSERT_TRUE(QFile::remove(path(u"dalmore.exe"_s)));
    prepareMarch2024(h);
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

} // namespace

#include "autogen/frmbundle.h"
#include "entry/arinput.h"
#include "entry/frmsplash.h"
#include "platform/form.h"
#include "testkit/fakeplatform.h"
#include "testkit/harness.h"
#include "testkit/serverpair.h"
#include "testkit/world.h"

#include <QCoreApplication>
#include <QDir>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using namespace tallic::testkit;

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

// The launch code, the access level, another copy running and a pending database update
// may each stop the start before the window opens, with one box.
TEST(StartupTest, StartsThatAreRefused)
{
    const Dialog denied = box(u"Varnest"_s, Denied, DialogIcon::Critical);
    const Dialog refused = box(u"Varnest"_s, Refused, DialogIcon::Critical);
    const Dialog running
        = box(u"Varnest"_s,
              u"Tallic is already running. You may not\nstart it twice on the same computer."_s,
              DialogIcon::Information);
    const Dialog lockFailed = box(u"Varnest"_s,
                                  u"Tallic cannot use its lock file, so it cannot make sure that "
                                  u"it\nruns only once on this computer:\n/run/t.lock: why"_s,
                                  DialogIcon::Critical);
    const QString update
        = u"Before you may continue, you must run the \nDBUPDATE module.  Note that no users may be  \nusing Varnest Accounting during an update.  \n\n"_s;
    const Dialog updateBox
        = box(u"Varnest Database Update Required"_s, update, DialogIcon::Critical);
    // Settings that name a server out of reach, or that cannot be used: the box that says
    // why is all.
    const auto missingConfig = [](const QString &reason) {
        return box(u"Uh-oh..."_s,
                   u"The CONFIG.MDB database is missing.\r\nContact Pellmoor technical support "
                   u"for assistance.\r\n\r\n"_s
                       + reason,
                   DialogIcon::Information);
    };
    const quint16 closed = freeLoopbackPort();
    const QString onServer = u"[database]\ndriver=postgres\ndatabase=tallic\nhost=127.0.0.1"_s;
    const Dialog outOfReach
        = missingConfig(u"The database server cannot be reached: connection to server at "
                        u"\"127.0.0.1\", port %1 failed: Connection refused"_s.arg(closed));
    const Dialog unusable
        = missingConfig(u"tallic.ini: port lists 3 ports: give one, or one for each host (2)."_s);
    const Dialog updateWithPointOfSale = box(
        u"Varnest Database Update Required"_s,
        update
            + u"Unless the instructions specify otherwise, it is NOT \nnecessary to shut down Pontiq Point of sale."_s,
        DialogIcon::Critical);
    struct Case
    {
        const char *commandLine;
        int lowestLevel;
        QList<Dialog> boxes; // none: the program runs
        QStringList files = {};
        InstanceClaim instance = {};
        quint64 fileSystem = 0; // the data folder's (statfs); 0: the real one
        const char *network = nullptr; // its name in the refusal
        QString settings = {}; // tallic.ini
    };
    const Case cases[] = {
        { "KQV05JONES", 5, {} },
        { "#QV05JONES", 5, {} },
        { "KQV04JONES", 5, { denied } },
        { "", 5, { refused } },
        { "KQV05   ", 5, { refused } },
        { "KQX05JONES", 5, { refused } },
        { "KQV99SMITH", 99, {} },
        // Another copy is refused before anything else.
        { "KQV05JONES",
          5,
          { running },
          { u"dbupdate.dat"_s },
          { InstanceClaim::OtherCopyRunning, {} } },
        // A lock that cannot be used is not another copy.
        { "KQV05JONES",
          5,
          { lockFailed },
          {},
          { InstanceClaim::LockFailed, u"/run/t.lock: why"_s } },
        { "KQV05JONES", 5, {}, { u"PONTIQ.EXE"_s } },
        { "KQV05JONES", 5, { updateBox }, { u"dbupdate.dat"_s } },
        { "KQV05JONES", 5, { updateWithPointOfSale }, { u"dbupdate.dat"_s, u"PONTIQ.EXE"_s } },
        // The suite writes its names in either case.
        { "KQV05JONES", 5, { updateWithPointOfSale }, { u"DBUPDATE.DAT"_s, u"pontiq.exe"_s } },
        // SQLite files only on a disk of this computer; ext4 and tmpfs are.
        { "KQV05JONES", 5, {}, {}, {}, 0x6969, "NFS" },
        { "KQV05JONES", 5, {}, {}, {}, 0xFF534D42, "SMB/CIFS" },
        { "KQV05JONES", 5, {}, {}, {}, 0x65735546, "FUSE, such as sshfs" },
        { "KQV05JONES", 5, {}, {}, {}, 0xEF53 },
        { "KQV05JONES", 5, {}, {}, {}, 0x01021994 },
        { "KQV05JONES",
          5,
          { outOfReach },
          {},
          {},
          0,
          nullptr,
          onServer + u"\nport=%1"_s.arg(closed) },
        { "KQV05JONES", 5, { unusable }, {}, {}, 0, nullptr, onServer + u",b\nport=1,2,3"_s },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.commandLine + (u' ' + c.files.join(u' ') + c.settings).toStdString());
        Harness h;
        setAr(h, 0, QString::number(c.lowestLevel));
        h.setCommandLine(QString::fromLatin1(c.commandLine));
        for (const QString &file : c.files)
            h.createFile(file);
        if (!c.settings.isEmpty())
            h.createFile(u"tallic.ini"_s, c.settings.toUtf8());
        h.fake().instance = c.instance;
        h.fake().fileSystem = c.fileSystem;
        h.queuePickedDates({ QDate::currentDate().toString(u"yyyyMMdd"_s) });
        h.start();
        QList<Dialog> boxes = c.boxes;
        if (c.network) {
            boxes << box(u"Data folder on a network"_s,
                         u"The data folder %1 is on a network file system (%2).\nIts SQLite "
                         u"databases must be on a disk of this computer: their log needs\nmemory "
                         u"that only the programs of one computer share.\n\nWorkstations share "
                         u"a club through a PostgreSQL server: see\n\"Several workstations\" "
                         u"in the README."_s.arg(h.dataDir(), QString::fromUtf8(c.network)),
                         DialogIcon::Critical);
        }
        EXPECT_EQ(h.running(), boxes.isEmpty());
        EXPECT_EQ(h.dialogs(), boxes);
    }
}

// What the configuration decides at start: the checks skipped, consolidation (off while the
// point-of-sale program is there, and written back when it was Null), the employee caption
// and the end-of-month editor.
TEST(StartupTest, TheConfigurationDecidesChecksCaptionsAndCommands)
{
    struct Case
    {
        QString skipDigits, consolidation; // as SQL values
        bool pointOfSale;
        int empValidate, level;
        bool skipGl, skipMember, skipEmployee;
        QString consolidationMode, employeeCaption;
    };
    const Case cases[] = {
        { u"''"_s, u"'g'"_s, false, 1, 49, 0, 0, 0, u"G"_s, u"Emp Operator #"_s },
        { u"'010'"_s, u"'g'"_s, true, 2, 50, 0, 1, 0, u"N"_s, u"Emp Access #"_s },
        { u"'1110000000'"_s, u"null"_s, false, 3, 50, 1, 1, 1, u"N"_s, u"Employee #"_s },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(c.skipDigits));
        Harness h;
        prepareMarch2024(h);
        setAr(h, 47, c.skipDigits);
        setAr(h, 26, c.consolidation);
        setAr(h, 3, u"50"_s);
        setAr(h, 30, u"null"_s);
        h.exec(u"config"_s, u"update pos set empvalidate = %1"_s.arg(c.empValidate));
        if (c.pointOfSale)
            h.createFile(u"Pontiq.exe"_s);
        h.setCommandLine(u"KQV%1JONES"_s.arg(c.level));
        h.queuePickedDates({ u"20240312"_s });
        h.start();
        EXPECT_EQ(entry()->start().settings().SkipGlCheck, c.skipGl);
        EXPECT_EQ(entry()->start().settings().SkipMemberCheck, c.skipMember);
        EXPECT_EQ(entry()->start().settings().SkipEmpCheck, c.skipEmployee);
        EXPECT_EQ(entry()->start().settings().ConsolidationMode, c.consolidationMode);
        EXPECT_EQ(h.control(u"lblconsolidate"_s).visible, c.consolidationMode != u"N"_s);
        EXPECT_EQ(h.control(u"Label1(5)"_s).caption, c.employeeCaption);
        EXPECT_EQ(h.control(u"eomeditor"_s).visible, c.level >= 50);
        EXPECT_EQ(entry()->start().settings().FunctionKeyText[4], QString());
        const QString read
            = u"select %1, %2 is null from ar"_s.arg(arColumn(h, 26), arColumn(h, 30));
        const QVariantList stored = h.rows(u"config"_s, read).value(0);
        if (c.consolidation == u"null"_s) {
            EXPECT_EQ(stored.value(0).toString(), u"N"_s) << "written back once read";
        }
        EXPECT_TRUE(stored.value(1).toBool()) << "other Null columns stay Null";
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

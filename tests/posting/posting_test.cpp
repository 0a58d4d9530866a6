// Batches, posting chits into ardaily as the operator keys them, the modes and the window
// commands.
#include "entry/arinput.h"
#include "platform/form.h"
#include "store/database.h"
#include "testkit/harness.h"
#include "testkit/relay.h"
#include "testkit/world.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QScreen>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/mount.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using namespace tallic::testkit;

namespace {

QString text(const Harness &h, const QString &name)
{
    return h.control(name).text;
}

QString activityLog(const Harness &h)
{
    QFile log(h.dataDir() + u"/admlog.ini"_s);
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

// A refused or unstored chit: it stays on the screen with OK offered again, and the batch
// has not counted it.
void expectChitKept(Harness &h, const QString &chit)
{
    EXPECT_EQ(text(h, u"Text1(2)"_s), chit);
    EXPECT_TRUE(h.control(u"cmdokay"_s).enabled);
    EXPECT_EQ(text(h, u"Text5"_s), u"0"_s);
    EXPECT_EQ(text(h, u"txtprev(2)"_s), QString());
    EXPECT_FALSE(h.control(u"txtvalid(0)"_s).visible);
    EXPECT_EQ(entry()->batch_.totals.hash.count(), 0);
    EXPECT_EQ(entry()->batch_.totals.base.count(), 0);
}

// NEW BATCH is pressed once at start-up; each chit is stored by position and counted, the
// screen shows it as the previous chit and waits for the next; a new batch starts afresh.
TEST(PostingTest, ABatchStoresAndCountsItsChitsAndANewBatchStartsAfresh)
{
    Harness h;
    h.setClipboard(u"20240305"_s);
    startMarch2024(h, { u"20240314"_s });
    EXPECT_EQ(h.started().count(u"dalmore.exe"_s), 1);
    EXPECT_EQ(text(h, u"Text1(3)"_s), u"20240314"_s);
    EXPECT_EQ(text(h, u"helpwindow"_s), u"JONES10:15:00"_s);
    for (int i = 0; i <= 3; ++i)
        EXPECT_FALSE(h.control(u"txtvalid(%1)"_s.arg(i)).visible) << "no chit is posted yet";

    h.keys(u"4100{ENTER}a100{ENTER}{ENTER}1001{ENTER}{ENTER}10{ENTER}"_s);
    ASSERT_EQ(h.focused(), u"cmdokay"_s);
    // The row's total is the sum of the amounts, whatever the total field shows.
    entry()->Text1(10).setText(u"99.99"_s);
    h.keys(u"{ENTER}"_s);
    EXPECT_TRUE(h.dialogs().isEmpty());
    ASSERT_EQ(chits(h).size(), 1);
    ASSERT_EQ(chits(h).at(0).size(), 18);
    // No memo leaves its column as a new row has it.
    expectRow(chits(h).at(0),
              { u"4100"_s, u"A100"_s, u"20240314"_s, u"1001"_s, u"0"_s, u"0"_s, u"10"_s, u"1.8"_s,
                u"0.71"_s, u"12.51"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s, u" "_s, u"JONES10:15:00"_s,
                u"null"_s, u"9"_s });
    const char *const shown[]
        = { "4100", "A100", "20240314", "1001", "0", "", "10.00", "1.80", ".71", "99.99" };
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(text(h, u"txtprev(%1)"_s.arg(i)), QString::fromLatin1(shown[i - 1])) << i;
        EXPECT_EQ(text(h, u"Text1(%1)"_s.arg(i)), i == 3 ? u"20240314"_s : QString()) << i;
    }
    EXPECT_EQ(text(h, u"Text3"_s), QString());
    EXPECT_EQ(text(h, u"Text5"_s), u"1"_s);
    EXPECT_EQ(h.focused(), u"Text1(1)"_s);
    EXPECT_FALSE(h.control(u"cmdokay"_s).enabled);

    // The next chit, its account keyed again: quotes never arrive, and "+" copies the
    // previous chit's member and base sale.
    h.keys(u"4200{ENTER}x'1\"*{ENTER}{ENTER}{+}{ENTER}{+}"_s);
    EXPECT_EQ(text(h, u"Text1(10)"_s), u"12.19"_s);
    EXPECT_EQ(h.focused(), u"cmdokay"_s);
    h.keys(u"{ENTER}"_s);
    ASSERT_EQ(chits(h).size(), 2);
    expectRow(chits(h).at(1), "4200 X1 20240314 1001 0 0 10 1.5 0.69 12.19");
    EXPECT_EQ(text(h, u"Text5"_s), u"2"_s);

    h.queuePickedDates({ u"20240320"_s });
    h.click(u"cmdnewbatch"_s);
    EXPECT_EQ(h.started().count(u"dalmore.exe"_s), 2);
    EXPECT_EQ(text(h, u"Text1(3)"_s), u"20240320"_s);
    EXPECT_EQ(text(h, u"Text5"_s), u"0"_s);
    for (int i = 1; i <= 10; ++i)
        EXPECT_EQ(text(h, u"txtprev(%1)"_s.arg(i)), QString()) << i;
    for (int i = 0; i <= 3; ++i)
        EXPECT_EQ(text(h, u"txtvalid(%1)"_s.arg(i)), u"0"_s) << i;
    EXPECT_TRUE(h.control(u"txtvalid(0)"_s).visible) << "a shown total stays for the run";
    EXPECT_EQ(h.focused(), u"Text1(1)"_s);
    EXPECT_TRUE(h.control(u"cmdnewbatch"_s).enabled);

    // NEW BATCH clicked while OK stores a chit waits until the chit is stored and counted
    // in its own batch; so does Exit.
    keyChit(h, u"4100"_s, u"A3"_s, u"1002"_s, u"10"_s);
    h.queuePickedDates({ u"20240321"_s });
    QTimer::singleShot(0, [&h] { h.click(u"cmdnewbatch"_s); });
    h.click(u"cmdokay"_s);
    EXPECT_EQ(chits(h).last().at(2).toInt(), 20240320);
    EXPECT_EQ(text(h, u"Text5"_s), u"0"_s);
    EXPECT_EQ(text(h, u"Text1(3)"_s), u"20240321"_s);
    keyChit(h, u"4100"_s, u"A4"_s, u"1002"_s, u"10"_s);
    QTimer::singleShot(0, [&h] { h.click(u"exit"_s); });
    h.click(u"cmdokay"_s);
    EXPECT_FALSE(h.running());
    EXPECT_EQ(chits(h).last().at(1).toString(), u"A4"_s);
    expectWholeCents(h);
}

// Refused at OK, a chit stays on the screen with OK offered again, and the batch has not
// counted it: a base sale of zero, a date outside the open month that reached the hidden
// date field through the working date, and a charge to a terminated member, whose total
// field decides as the operator sees it; in that order.
TEST(PostingTest, ChitsRefusedAtOkStayOnTheScreen)
{
    Harness h;
    startMarch2024(h);
    keyChit(h, u"4100"_s, u"Z1"_s, u"1001"_s, u"0"_s);
    h.click(u"cmdokay"_s);
    EXPECT_EQ(h.dialogs(),
              QList<Dialog> {
                  box(u"Oops..."_s, u"Base sale total is missing."_s, DialogIcon::Information) });
    expectChitKept(h, u"Z1"_s);
    EXPECT_EQ(h.focused(), u"cmdokay"_s);

    h.click(u"cmdredo"_s);
    keyChit(h, u"4100"_s, u"P1"_s, u"1001"_s, u"0"_s);
    const std::pair<QString, QString> dates[] = {
        { u"20240229"_s, u"You may not use a date in a previous A/R period."_s },
        { u"20240501"_s, u"The date chosen is too far ahead in time. Redo."_s },
    };
    for (const auto &[date, refusal] : dates) {
        h.queuePickedDates({ date });
        h.click(u"Text1(3)"_s);
        ASSERT_EQ(h.focused(), u"Text1(3)"_s);
        h.click(u"Label1(3)"_s);
        ASSERT_FALSE(h.control(u"Text1(3)"_s).visible);
        h.clearDialogs();
        h.click(u"cmdokay"_s);
        ASSERT_FALSE(h.dialogs().isEmpty());
        EXPECT_EQ(h.dialogs().last(),
                  box(u"Date entered: "_s + date, refusal, DialogIcon::Information));
        expectChitKept(h, u"P1"_s);
        h.click(u"Label1(3)"_s);
    }
    // With the date keyed again the chit goes through.
    h.queuePickedDates({ u"20240315"_s });
    h.click(u"Text1(3)"_s);
    h.keys(u"1001{ENTER}{ENTER}10{ENTER}{ENTER}"_s);
    ASSERT_EQ(chits(h).size(), 1);
    EXPECT_EQ(chits(h).at(0).at(2).toDouble(), 20240315);

    h.clearDialogs();
    keyChit(h, u"4500"_s, u"T1"_s, u"1027"_s, u"5"_s);
    EXPECT_EQ(h.dialogTitles(), QStringList { u"Terminated Member Account"_s });
    const QString date = text(h, u"Text1(3)"_s);
    entry()->Text1(3).setText(u"20240229"_s);
    for (const char *total : { "5.00", ".01" }) {
        h.clearDialogs();
        entry()->Text1(10).setText(QString::fromLatin1(total));
        h.click(u"cmdokay"_s);
        EXPECT_EQ(h.dialogs(),
                  QList<Dialog> { box(u"Terminated Member"_s,
                                      u"This account is marked as terminated. Only credit value\n"
                                      u"transactions can be made to a terminated member account."_s,
                                      DialogIcon::Information) });
        EXPECT_EQ(chits(h).size(), 1) << total;
        EXPECT_EQ(text(h, u"Text1(2)"_s), u"T1"_s);
        EXPECT_EQ(text(h, u"Text1(4)"_s), u"1027"_s);
        EXPECT_TRUE(h.control(u"cmdokay"_s).enabled);
        EXPECT_EQ(text(h, u"Text5"_s), u"1"_s);
    }
    h.clearDialogs();
    entry()->Text1(3).setText(date);
    entry()->Text1(10).setText(u"0"_s);
    h.click(u"cmdokay"_s);
    // A credit to the same member: answered neither payment nor prior adjustment.
    h.queueAnswers({ false, false });
    keyChit(h, u"4500"_s, u"T2"_s, u"1027"_s, u"-5"_s);
    h.click(u"cmdokay"_s);
    EXPECT_EQ(h.dialogTitles(),
              (QStringList { u"Terminated Member Account"_s, u"Payment or Adjustment?"_s,
                             u"Prior Cycle Adjustment or Current Month Credit?"_s,
                             u"Current Month Credit"_s }));
    ASSERT_EQ(chits(h).size(), 3);
    EXPECT_EQ(chits(h).at(1).at(9).toDouble(), 5);
    EXPECT_EQ(chits(h).at(2).at(9).toDouble(), -5);
    EXPECT_EQ(text(h, u"Text5"_s), u"3"_s);
}

// An empty date, or a hidden one, posts the batch date.
TEST(PostingTest, AnEmptyOrHiddenDatePostsTheBatchDate)
{
    Harness h;
    startMarch2024(h);
    for (const char *date : { "0", "", "mar 15", "20240315" }) {
        keyChit(h, u"4100"_s, u"D"_s + QString::fromLatin1(date), u"1001"_s, u"10"_s);
        entry()->Text1(3).setText(QString::fromLatin1(date));
        if (date == std::string("20240315"))
            h.click(u"Label1(3)"_s);
        h.click(u"cmdokay"_s);
        EXPECT_TRUE(h.dialogs().isEmpty()) << date;
        EXPECT_EQ(chits(h).last().at(2).toDouble(), 20240312) << date;
        EXPECT_EQ(text(h, u"txtprev(3)"_s), u"20240312"_s) << date;
    }
}

// Ways the daily database can refuse a row, each put right again afterwards.
struct StoreFailure
{
    const char *name;
    std::function<bool(Harness &, const QString &file)> breakIt; // false: cannot here
    QString reason;
    std::function<void(const QString &file)> putRight = {}; // none: the good copy comes back
};

// A small disk (tmpfs) of its own for the daily database, which the data folder links to;
// only where the tests may mount one, as root.
struct SmallDisk
{
    QTemporaryDir folder;
    QByteArray path = folder.path().toLocal8Bit();
    bool mounted = ::mount("tallic", path.constData(), "tmpfs", 0, "size=256k") == 0;

    ~SmallDisk()
    {
        if (mounted)
            ::umount2(path.constData(), MNT_DETACH);
    }
    // The file goes with its log and the log's index, as a file in use has them.
    bool take(const QString &file)
    {
        const QString moved = folder.filePath(u"daily.mdb"_s);
        QFile log(moved + u"-wal"_s), index(moved + u"-shm"_s);
        return mounted && QFile::copy(file, moved) && QFile::remove(file)
            && QFile::link(moved, file) && log.open(QIODevice::WriteOnly)
            && index.open(QIODevice::WriteOnly) && index.write(QByteArray(32768, 0)) == 32768;
    }
    bool fill()
    {
        QFile filler(folder.filePath(u"filler"_s));
        const bool opened = filler.open(QIODevice::WriteOnly);
        while (opened && filler.write(QByteArray(4096, 'x')) > 0 && filler.flush()) { }
        return opened;
    }
    bool setReadOnly(bool on)
    {
        const unsigned long flags = MS_REMOUNT | (on ? MS_RDONLY : 0);
        return ::mount(nullptr, path.constData(), nullptr, flags, "size=256k") == 0;
    }
};

TEST(PostingStoreTest, AChitThatCannotBeStoredStaysOnTheScreen)
{
    const int waitLimit = setLockWaitLimit(300);
    std::unique_ptr<LockHolder> holder;
    std::unique_ptr<SmallDisk> disk;
    QStringList passedOver;
    std::optional<bool> waitShown; // asked where the operator is made to wait
    // Meanwhile the window works under the busy pointer, and the operator presses Enter:
    // not to close the box that is yet to come, nor to press OK again.
    const auto watchTheWait = [&waitShown] {
        waitShown = false;
        QTimer::singleShot(100, [&waitShown] {
            waitShown = QGuiApplication::overrideCursor()
                && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, u"\r"_s);
            QCoreApplication::sendEvent(QApplication::focusWidget(), &enter);
        });
    };
    const StoreFailure failures[] = {
        { "locked past the wait",
          [&](Harness &, const QString &file) {
              holder = std::make_unique<LockHolder>(file, 1500);
              watchTheWait();
              return true;
          },
          lockedDatabaseText() + u" (code 3000)"_s },
        { "missing file",
          [](Harness &h, const QString &) {
              h.setAside(u"daily"_s);
              return true;
          },
          u"The daily database is missing. (code 3024)"_s },
        { "failed save",
          [](Harness &h, const QString &) {
              if (h.onServer())
                  h.exec(u"daily"_s,
                         u"create function full() returns trigger language plpgsql as "
                         u"$$begin raise exception 'database or disk is full'; end$$; "
                         u"create trigger refuse before insert on ardaily for each row "
                         u"execute function full()"_s);
              else
                  h.exec(u"daily"_s,
                         u"create trigger full before insert on ardaily begin "
                         "select raise(abort, 'database or disk is full'); end"_s);
              return true;
          },
          u"database or disk is full (code 3019)"_s },
        // Root writes to a read-only file, but not on a read-only disk.
        { "read-only file",
          [&](Harness &h, const QString &file) {
              if (h.onServer())
                  return false;
              QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
              if (QFile probe(file); !probe.open(QIODevice::ReadWrite))
                  return true;
              QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
              disk = std::make_unique<SmallDisk>();
              return disk->take(file) && disk->setReadOnly(true);
          },
          u"The daily database is read-only. (code 3008)"_s,
          [&](const QString &file) {
              QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
              if (disk)
                  disk->setReadOnly(false);
          } },
        { "full disk",
          [&](Harness &, const QString &file) {
              disk = std::make_unique<SmallDisk>();
              return disk->take(file) && disk->fill();
          },
          u"The disk is full. (code 3013)"_s,
          [&](const QString &) { QFile::remove(disk->folder.filePath(u"filler"_s)); } },
    };
    for (const StoreFailure &f : failures) {
        Harness h;
        startMarch2024(h);
        const QString file = QDir(h.dataDir()).filePath(u"daily.mdb"_s);
        keyChit(h, u"4100"_s, u"S1"_s, u"1001"_s, u"10"_s);
        if (!f.breakIt(h, file)) {
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
            passedOver << QString::fromLatin1(f.name);
            continue;
        }
        h.click(u"cmdokay"_s);

        ASSERT_FALSE(h.dialogs().isEmpty()) << f.name;
        EXPECT_EQ(h.dialogs().last(),
                  box(u"Chit not stored"_s,
                      u"Chit S1 was not stored:\n"_s + f.reason
                          + u"\n\nThe chit stays on the screen. Press OK to post it again."_s,
                      DialogIcon::Critical))
            << f.name;
        EXPECT_TRUE(activityLog(h).contains(u"-A/R Chit-Chit S1 not stored: "_s + f.reason))
            << f.name << qPrintable(activityLog(h));
        expectChitKept(h, u"S1"_s);
        EXPECT_EQ(h.dialogTitles().count(u"Chit not stored"_s), 1) << f.name;
        EXPECT_NE(waitShown, std::optional(false)) << "no busy pointer while the operator waits";
        waitShown.reset();
        EXPECT_EQ(text(h, u"Text1(7)"_s), u"10.00"_s);
        EXPECT_EQ(h.focused(), u"cmdokay"_s);

        // Put right, the same chit is posted and counted once.
        holder.reset();
        if (f.putRight) {
            f.putRight(file);
            EXPECT_EQ(chits(h).size(), 0) << f.name;
        } else {
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
            h.remakeDatabase(u"daily"_s);
        }
        h.clearDialogs();
        h.click(u"cmdokay"_s);
        EXPECT_TRUE(h.dialogs().isEmpty()) << f.name;
        ASSERT_EQ(chits(h).size(), 1) << f.name;
        EXPECT_EQ(chits(h).at(0).at(1).toString(), u"S1"_s);
        EXPECT_EQ(text(h, u"Text5"_s), u"1"_s);
        EXPECT_EQ(text(h, u"txtvalid(0)"_s), u"1001"_s);
        if (!h.onServer()) {
            EXPECT_EQ(h.rows(u"daily"_s, u"pragma integrity_check"_s),
                      QList<QVariantList> { { u"ok"_s } });
        }
        disk.reset();
    }
    setLockWaitLimit(waitLimit);
    if (!passedOver.isEmpty())
        GTEST_SKIP() << "cannot be made here: " << qPrintable(passedOver.join(u", "_s));
}

// Texts reach the databases as typed, whatever the server's own settings: one that would
// end its literal and run a statement of its own, in the chit number, the memo,
// AutoGenerate's memo and the user's name; a NUL character, which no box takes.
TEST(PostingTest, TextsAreStoredAsTypedWhateverTheServerReadsInThem)
{
    Harness h;
    if (h.onServer()) {
        h.exec(u"daily"_s,
               u"do $$begin execute format('alter database %I set "
               u"standard_conforming_strings = off', current_database()); end$$"_s);
    }
    const QString attack = uR"(\'; delete from ardaily; --)"_s, user = attack.toUpper();
    h.exec(u"daily"_s, u"insert into ardaily (tallicnum) values ('OLD')"_s);
    h.exec(u"user"_s, u"insert into staff values ("_s + sqlLiteral(user) + u", '', '', 0)"_s);
    h.createFile(u"bundle1.ini"_s, "4100.000 , 10.00 - FOOD\r\n");
    h.createFile(u"bundle2.ini"_s, "1001 - ADAMS, ANN\r\n");
    prepareMarch2024(h);
    h.setCommandLine(u"KQV05"_s + attack);
    h.queuePickedDates({ u"20240312"_s });
    h.start();
    const auto paste = [&h](const QString &text) {
        QGuiApplication::clipboard()->setText(text);
        h.keys(u"^v"_s);
    };
    // The memo is keyed too.
    h.click(u"Label2"_s);
    h.click(u"cmdredo"_s);
    const std::pair<QString, QString> typed[]
        = { { attack.left(10), attack }, { u"N\0UL"_s, u"M\0EMO"_s } };
    for (const auto &[chit, memo] : typed) {
        h.keys(u"4100{ENTER}"_s);
        paste(chit);
        h.keys(u"{ENTER}{ENTER}1001{ENTER}{ENTER}10{ENTER}"_s);
        paste(memo);
        h.keys(u"{ENTER}{ENTER}"_s);
    }
    h.click(u"cmdautogenerate"_s);
    h.click(u"frmbundle.txtmemo"_s);
    paste(attack);
    h.queueInputs({ u"20240312"_s });
    h.queueAnswers({ true });
    h.click(u"frmbundle.cmdgenerate"_s);

    EXPECT_EQ(h.dialogTitles(), QStringList { u"Please confirm..."_s });
    const QString origin = (user + u"10:15:00"_s).left(15);
    const QList<QVariantList> stored
        = h.rows(u"daily"_s, u"select tallicnum, armemo, arorigin from ardaily order by rowid"_s);
    ASSERT_EQ(stored.size(), 4);
    EXPECT_EQ(stored.at(0).at(0), u"OLD"_s);
    EXPECT_EQ(stored.at(1), (QVariantList { attack.left(10).toUpper(), attack, origin }));
    EXPECT_EQ(stored.at(2), (QVariantList { u"NUL"_s, u"MEMO"_s, origin }));
    EXPECT_EQ(stored.at(3).mid(1), (QVariantList { attack, u"AutoGen"_s }));
    EXPECT_EQ(
        h.rows(u"user"_s, u"select location from staff where username = "_s + sqlLiteral(user)),
        QList<QVariantList> { { u"A/R Chit"_s } });
}

// The frames in the daily database's log, and those of them copied into the file: the
// log index's mxFrame and nBackfill, which SQLite keeps in the -shm file.
std::pair<quint32, quint32> logFrames(const Harness &h)
{
    QFile index(QDir(h.dataDir()).filePath(u"daily.mdb-shm"_s));
    quint32 header[25] = {};
    EXPECT_TRUE(index.open(QIODevice::ReadOnly)
                && index.read(reinterpret_cast<char *>(header), 100) == 100);
    return { header[4], header[24] };
}

// A post paints each control of the previous-chit panel, the count and the totals once if
// it changes, and not at all if it shows what it showed.
TEST(PostingTest, APostPaintsThePanelTheCountAndTheTotalsOnceAtMost)
{
    Harness h;
    startMarch2024(h);
    keyChit(h, u"4100"_s, u"P1"_s, u"1001"_s, u"10"_s);
    h.keys(u"{ENTER}"_s);
    keyChit(h, u"4100"_s, u"P2"_s, u"1002"_s, u"20"_s);
    QStringList shown { u"Text5"_s };
    for (int i = 1; i <= 10; ++i)
        shown << u"txtprev(%1)"_s.arg(i) << u"txtvalid(%1)"_s.arg(i % 4);
    shown.removeDuplicates();
    QStringList before;
    for (const QString &name : std::as_const(shown))
        before << text(h, name);
    const QStringList painted = paintedDuring(h, [&h] { h.keys(u"{ENTER}"_s); });
    for (qsizetype i = 0; i < shown.size(); ++i)
        EXPECT_EQ(painted.count(shown.at(i)), text(h, shown.at(i)) == before.at(i) ? 0 : 1)
            << qPrintable(shown.at(i));
    EXPECT_EQ(text(h, u"txtprev(4)"_s), u"1002"_s);
    // The field that takes the focus is painted once: Enter, let go there, paints nothing.
    EXPECT_EQ(painted.count(u"Text1(1)"_s), 1);

    // What the post painted, piece by piece from pictures drawn once, looks as the
    // application's style draws the whole window.
    Form *window = Form::find(u"arinput"_s);
    const auto grab = [window] {
        QImage image(window->size(), QImage::Format_ARGB32_Premultiplied);
        window->render(&image);
        return image;
    };
    const QImage cached = window->screen()->grabWindow(window->winId()).toImage();
    QStyle *plain = QStyleFactory::create(QApplication::style()->name());
    plain->setParent(window);
    for (QWidget *widget : window->findChildren<QWidget *>())
        widget->setStyle(plain);
    const QImage drawn = grab();
    ASSERT_EQ(cached.size(), drawn.size());
    int differing = 0;
    for (int y = 0; y < cached.height(); ++y) {
        for (int x = 0; x < cached.width(); ++x) {
            const QRgb a = cached.pixel(x, y), b = drawn.pixel(x, y);
            for (const int shift : { 0, 8, 16 })
                differing += std::abs(int(a >> shift & 0xff) - int(b >> shift & 0xff)) > 1;
        }
    }
    EXPECT_EQ(differing, 0);
}

// A post's commit goes to the log of the file; a long log is copied into the file once the
// program is idle: not by the commit, as SQLite would do.
TEST(PostingStoreTest, TheLogIsCopiedIntoTheFileWhenTheProgramIsIdle)
{
    Harness h;
    if (h.onServer())
        GTEST_SKIP() << "a server keeps its own log";
    startMarch2024(h);
    keyChit(h, u"4100"_s, u"L1"_s, u"1001"_s, u"10"_s);
    h.keys(u"{ENTER}"_s);
    {
        // Another workstation writes a long log and leaves it.
        QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other"_s);
        other.setDatabaseName(QDir(h.dataDir()).filePath(u"daily.mdb"_s));
        QSqlQuery q(other);
        EXPECT_TRUE(
            other.open() && q.exec(u"pragma wal_autocheckpoint = 0"_s)
            && q.exec(u"create table filler (b)"_s)
            && q.exec(u"with recursive n(i) as (select 1 union all select i + 1 from n "
                      u"where i < 1200) insert into filler select zeroblob(4000) from n"_s));
    }
    QSqlDatabase::removeDatabase(u"other"_s);
    keyChit(h, u"4100"_s, u"L2"_s, u"1001"_s, u"10"_s);
    h.keys(u"{ENTER}"_s);
    EXPECT_EQ(text(h, u"Text5"_s), u"2"_s);
    const auto [frames, copied] = logFrames(h);
    EXPECT_GT(frames, 1200u);
    EXPECT_LT(copied, frames);
    QTest::qWait(1000);
    h.idle();
    EXPECT_EQ(logFrames(h), std::make_pair(frames, frames));
}

// A chit already in the open month, keyed on another workstation in another batch, is asked
// about before it is stored again, the row found named; No (the default) keeps it on the
// screen, Yes stores it. Another number, member or base sale, a row of a closed month and a
// mode's word post without a question.
TEST(PostingTest, AsksBeforePostingTheSameChitTwice)
{
    Harness h;
    startMarch2024(h);
    // The other workstation's chit W1-1: member 1001, 10.00, in its batch W1-10:15:00.
    ASSERT_EQ(postFromWorkstations(h, QStringLiteral(TALLIC_POSTWORKER), 1, 1).failures,
              QStringList());
    h.exec(u"daily"_s,
           u"insert into ardaily (arglacct, tallicnum, architdate, armember, arbasesale) "
           u"values (4100, 'F9', 20240229, 1001, 10)"_s);
    keyChit(h, u"4100"_s, u" w1-1"_s, u"1001"_s, u"10"_s);
    h.click(u"cmdokay"_s);
    const QString typed = text(h, u"Text1(2)"_s);
    const Dialog asked { DialogKind::Question, u"Chit keyed before"_s,
                         u"Chit W1-1 for member 1001 with a base sale of 10.00 is already in the "
                         u"A/R month:\nchit date 03-12-2024, batch W1-10:15:00 (operator W1-, "
                         u"begun at 10:15:00).\n\nPost it again?"_s,
                         DialogIcon::Question };
    EXPECT_EQ(h.dialogs(), QList<Dialog> { asked });
    expectChitKept(h, typed);
    EXPECT_EQ(chits(h).size(), 2);
    h.clearDialogs();
    h.queueAnswers({ true });
    h.click(u"cmdokay"_s);
    EXPECT_EQ(h.dialogs(), QList<Dialog> { asked });
    EXPECT_EQ(text(h, u"Text5"_s), u"1"_s);
    ASSERT_EQ(chits(h).size(), 3);

    h.clearDialogs();
    const char *const others[][3] = { { "W1-2", "1001", "10" },
                                      { "W1-1", "1002", "10" },
                                      { "W1-1", "1001", "11" },
                                      { "F9", "1001", "10" } };
    for (const auto &[chit, member, base] : others) {
        keyChit(h, u"4100"_s, QString::fromLatin1(chit), QString::fromLatin1(member),
                QString::fromLatin1(base));
        h.click(u"cmdokay"_s);
    }
    h.click(u"cmdpayments"_s);
    for (int i = 0; i < 2; ++i)
        h.keys(u"4200{ENTER}{ENTER}1001{ENTER}25.5{ENTER}{ENTER}"_s);
    EXPECT_EQ(h.dialogs(), QList<Dialog>());
    EXPECT_EQ(chits(h).size(), 9);
}

// What each mode, bypass and Redo does to the chits stored, keyed one after the other.
TEST(ModesTest, ModesBypassesAndRedoDecideWhatIsStored)
{
    Harness h;
    startMarch2024(h);

    // A payment: the chit-number field holds the mode word and is passed over, and so are
    // the employee and the covers; the amount is a credit without charges.
    h.click(u"cmdpayments"_s);
    EXPECT_EQ(h.control(u"Text1(2)"_s).text, u"PAYMENT"_s);
    h.keys(u"4200{ENTER}{ENTER}1001{ENTER}25.5{ENTER}"_s);
    ASSERT_EQ(h.focused(), u"cmdokay"_s);
    h.keys(u"{ENTER}"_s);
    EXPECT_TRUE(h.dialogs().isEmpty()) << "a payment keyed as one is not corrected";
    // A positive amount that reaches OK is turned into a credit, once.
    h.keys(u"4200{ENTER}{ENTER}1002{ENTER}25.5{ENTER}"_s);
    for (const auto &[i, amount] :
         { std::pair(7, "25.50"), { 8, "3.00" }, { 9, "1.00" }, { 10, "29.50" } })
        entry()->controlByName(u"Text1(%1)"_s.arg(i)).setText(QString::fromLatin1(amount));
    h.keys(u"{ENTER}"_s);
    EXPECT_EQ(h.dialogs(),
              QList<Dialog> { box(u"Oops..."_s,
                                  u"Payment - type transactions can only be credit values.\n"
                                  u"The amount has been changed for your convenience."_s,
                                  DialogIcon::Information) });
    EXPECT_EQ(h.control(u"txtprev(10)"_s).text, u"-25.5"_s);

    // An adjustment to a previous month, charged, and a current month credit.
    h.queueAnswers({ true, true });
    h.click(u"cmdadjust"_s);
    EXPECT_EQ(h.control(u"Text1(2)"_s).text, u"ADJMENT"_s);
    h.keys(u"4100{ENTER}{ENTER}1002{ENTER}10{ENTER}{ENTER}"_s);
    h.queueAnswers({ false });
    h.click(u"cmdadjust"_s);
    EXPECT_EQ(h.control(u"Text1(2)"_s).text, u"CREDIT"_s);
    h.keys(u"4100{ENTER}{ENTER}1003{ENTER}10{ENTER}{ENTER}"_s);

    // Back to normal with the date switched off: the normal mode keys every field again.
    h.click(u"Label1(3)"_s);
    h.click(u"cmdnormal"_s);
    EXPECT_EQ(entry()->keyed_.mode, TransMode::Normal);
    // Redo clears the chit, unlocks the account and ends the member's tax exemption.
    h.keys(u"4100{ENTER}X1{ENTER}{ENTER}1035{ENTER}"_s);
    h.click(u"cmdredo"_s);
    for (const char *name : { "Text1(1)", "Text1(2)", "Text1(4)", "Text2", "Text3" })
        EXPECT_EQ(h.control(QString::fromLatin1(name)).text, QString()) << name;
    EXPECT_EQ(h.focused(), u"Text1(1)"_s);
    keyChit(h, u"4200"_s, u"R1"_s, u"1001"_s, u"10"_s);
    h.keys(u"{ENTER}"_s);
    // A tax-exempt member pays the service charge on a taxed account, but no tax.
    keyChit(h, u"4200"_s, u"E1"_s, u"1035"_s, u"10"_s);
    h.keys(u"{ENTER}"_s);

    // The bypasses hold through a mode change and Redo until they are pressed again.
    h.click(u"cmdscbypass"_s);
    h.click(u"cmdnormal"_s);
    h.click(u"cmdredo"_s);
    keyChit(h, u"4100"_s, u"B1"_s, u"1004"_s, u"10"_s);
    h.keys(u"{ENTER}"_s);
    h.click(u"cmdscbypass"_s);
    h.click(u"cmdtaxbypass"_s);
    h.click(u"cmdredo"_s);
    keyChit(h, u"4100"_s, u"B2"_s, u"1005"_s, u"10"_s);
    h.keys(u"{ENTER}"_s);
    h.click(u"cmdtaxbypass"_s);
    h.click(u"cmdredo"_s);

    // An account fixed by its caption stays through Redo and goes to every chit.
    h.keys(u"4100{ENTER}"_s);
    h.click(u"Label1(1)"_s);
    EXPECT_EQ(h.control(u"Label1(1)"_s).caption, u"4100"_s);
    h.keys(u"F1{ENTER}{ENTER}1001{ENTER}"_s);
    h.click(u"cmdredo"_s);
    EXPECT_EQ(h.control(u"Text2"_s).text, u"Dining Room Food"_s);
    EXPECT_EQ(h.focused(), u"Text1(2)"_s);
    h.keys(u"F2{ENTER}{ENTER}1001{ENTER}{ENTER}10{ENTER}{ENTER}F3{ENTER}{ENTER}1002{ENTER}"
           u"{ENTER}20{ENTER}{ENTER}"_s);

    const QList<QVariantList> rows = chits(h);
    const char *const expected[] = {
        "4200 PAYMENT 20240312 1001 0 0 -25.5 0 0 -25.5",
        "4200 PAYMENT 20240312 1002 0 0 -25.5 0 0 -25.5",
        "4100 ADJMENT 20240312 1002 0 0 10 1.8 0.71 12.51",
        "4100 CREDIT 20240312 1003 0 0 -10 -1.8 -0.71 -12.51",
        "4200 R1 20240312 1001 0 0 10 1.5 0.69 12.19",
        "4200 E1 20240312 1035 0 0 10 1.5 0 11.5",
        "4100 B1 20240312 1004 0 0 10 0 0.6 10.6",
        "4100 B2 20240312 1005 0 0 10 1.8 0 11.8",
        "4100 F2 20240312 1001 0 0 10 1.8 0.71 12.51",
        "4100 F3 20240312 1002 0 0 20 3.6 1.42 25.02",
    };
    ASSERT_EQ(rows.size(), qsizetype(std::size(expected)));
    for (qsizetype r = 0; r < rows.size(); ++r) {
        SCOPED_TRACE(r + 1);
        expectRow(rows.at(r), expected[r]);
    }
    expectWholeCents(h);
}

TEST(ModesTest, AutoGenerateOpensBesideTheEntryWindowAndExitEndsTheProgram)
{
    for (const char *command : { "cmdautogenerate", "mnuautogen" }) {
        Harness h;
        startMarch2024(h);
        h.click(QString::fromLatin1(command));
        h.click(QString::fromLatin1(command));
        Form *bundle = Form::find(u"frmbundle"_s);
        ASSERT_NE(bundle, nullptr) << command;
        const QList<Form *> forms = Form::openForms();
        EXPECT_EQ(std::count_if(forms.cbegin(), forms.cend(),
                                [](Form *f) { return f->objectName() == u"frmbundle"_s; }),
                  1)
            << command;
        EXPECT_EQ(h.control(u"frmbundle"_s).caption, u"AutoGenerate Chits - 21.12.28a"_s);
        const QRect screen = bundle->screen()->geometry();
        EXPECT_NEAR(bundle->frameGeometry().center().x(), screen.center().x(), 2) << command;
        EXPECT_NEAR(bundle->frameGeometry().center().y(), screen.center().y(), 2) << command;

        // The entry window stays open and usable, until Exit.
        EXPECT_TRUE(h.control(u"arinput"_s).visible);
        h.click(u"cmdpayments"_s);
        EXPECT_EQ(h.control(u"Text1(2)"_s).text, u"PAYMENT"_s);
        h.click(command == std::string("mnuautogen") ? u"exit"_s : u"cmdexit"_s);
        EXPECT_FALSE(h.running()) << command;
        EXPECT_EQ(h.rows(u"user"_s, u"select location from staff where username = 'JONES'"_s),
                  QList<QVariantList> { { u"A/R Master"_s } });
    }
}

// Starts the program for a club whose open A/R month is given, on a given system date,
// for an operator of a given level, with the dates the picker will answer.
void startClub(Harness &h, int arYear, int arMonth, const QDate &today, int level,
               const QStringList &picks)
{
    h.setToday(today);
    h.exec(u"config"_s, u"update pos set empvalidate = 3"_s);
    h.exec(u"config"_s, u"update ar set armonth = %1, aryear = %2"_s.arg(arMonth).arg(arYear));
    h.setCommandLine(u"KQV%1JONES"_s.arg(level, 2, 10, QLatin1Char('0')));
    h.queuePickedDates(picks);
    h.start();
}

qsizetype pickerRuns(const Harness &h)
{
    return h.started().count(u"dalmore.exe"_s);
}

// Keys a chit on account 4100 from the G/L field to OK and posts it.
void postChit(Harness &h, const QString &chit, const QString &member, const QString &employee,
              const QString &base)
{
    h.keys(u"4100{ENTER}"_s + chit + u"{ENTER}{ENTER}"_s + member + u"{ENTER}"_s + employee
           + u"{ENTER}"_s + base + u"{ENTER}"_s);
    ASSERT_EQ(h.focused(), u"cmdokay"_s) << qPrintable(chit);
    h.keys(u"{ENTER}"_s);
}

// One check holds a date to the open month: a refused date opens the picker of a new batch
// again, and keeps the operator in the date field.
TEST(BatchTest, DatesAreHeldToTheOpenMonthInThePickerAndInTheField)
{
    const QString previous = u"You may not use a date in a previous A/R period."_s;
    const QString ahead = u"The date chosen is too far ahead in time. Redo."_s;
    const QString noDay = u"The date entered is not a day of the calendar. Redo."_s;
    struct Case
    {
        int arYear, arMonth;
        QDate today;
        int level;
        const char *date;
        QString refusal; // empty: accepted
    };
    const Case cases[] = {
        { 2024, 3, QDate(2024, 3, 12), 5, "20240229", previous },
        { 2024, 3, QDate(2024, 3, 12), 5, "20240501", ahead },
        { 2024, 3, QDate(2025, 2, 3), 5, "20240501", {} },
        { 2024, 12, QDate(2025, 1, 6), 5, "20250202", ahead },
        { 2024, 3, QDate(2024, 3, 12), 99, "20301231", {} },
        { 2024, 3, QDate(2024, 3, 12), 5, "20240230", noDay },
        { 2024, 3, QDate(2024, 3, 12), 99, "20240431", noDay },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.date);
        const QString date = QString::fromLatin1(c.date);
        const QString good = QString::number(c.arYear * 10000 + c.arMonth * 100 + 15);
        const bool accepted = c.refusal.isEmpty();
        Harness h;
        startClub(h, c.arYear, c.arMonth, c.today, c.level, { date, good });
        ASSERT_TRUE(h.running());
        EXPECT_EQ(h.control(u"Text1(3)"_s).text, accepted ? date : good);
        EXPECT_EQ(pickerRuns(h), accepted ? 1 : 2);
        const Dialog chosen = box(u"Date chosen: "_s + date, c.refusal, DialogIcon::Information);
        EXPECT_EQ(h.dialogs(), accepted ? QList<Dialog>() : QList<Dialog> { chosen });

        h.clearDialogs();
        h.keys(u"4100{ENTER}A1{ENTER}{BS}{BS}{BS}{BS}{BS}{BS}{BS}{BS}"_s + date + u"{ENTER}"_s);
        EXPECT_EQ(h.focused(), accepted ? u"Text1(4)"_s : u"Text1(3)"_s);
        const Dialog entered = box(u"Date entered: "_s + date, c.refusal, DialogIcon::Information);
        EXPECT_EQ(h.dialogs(), accepted ? QList<Dialog>() : QList<Dialog> { entered });
        // A refused date is the working date now: the field shows it again.
        EXPECT_EQ(h.control(u"Text1(3)"_s).text, date);
    }
}

// Another user keying the same date is a warning, never a refusal.
TEST(BatchTest, ADateAnotherUserKeysIsSharedWithAWarning)
{
    Harness h;
    h.exec(u"user"_s, u"update staff set work = '20240314' where username = 'SMITH'"_s);
    startClub(h, 2024, 3, QDate(2024, 3, 12), 5, { u"20240314"_s });
    ASSERT_TRUE(h.running());
    ASSERT_EQ(h.dialogTitles(), (QStringList { u"Protected/Shared Issue"_s, u"Shared Date"_s }));
    EXPECT_EQ(
        h.dialogs().at(1),
        box(u"Shared Date"_s,
            u"FYI.....\n\n20240314 is currently in use by user: SMITH\n\nMultiple users may key chits for the same date,\nbut you should notify this user that you are\nadding transactions to the date he/she is\nalso currently using."_s,
            DialogIcon::Information));
    EXPECT_EQ(h.control(u"Text1(3)"_s).text, u"20240314"_s);
    EXPECT_EQ(h.focused(), u"Text1(1)"_s);

    // In the date field, a date keyed anew is checked as well.
    h.clearDialogs();
    h.exec(u"user"_s, u"update staff set work = '20240315' where username = 'SMITH'"_s);
    h.keys(u"4100{ENTER}A1{ENTER}{BS}{BS}{BS}{BS}{BS}{BS}{BS}{BS}20240315{ENTER}"_s);
    EXPECT_EQ(h.dialogTitles(), (QStringList { u"Protected/Shared Issue"_s, u"Shared Date"_s }));
    EXPECT_TRUE(h.dialogs().last().text.endsWith(u"\n\nYou should notify this user that you are\n"
                                                 u"adding transactions to the date he/she is\n"
                                                 u"also currently using."_s));
    EXPECT_EQ(h.focused(), u"Text1(4)"_s);
}

// Chits 125A (member 1001, employee 17, 40.10) and a payment A7 (1002, 3, -40.09) under each
// choice; then a new batch, whose count and totals start with its own payment A7. Totals are
// kept in cents: 40.10 - 40.09 is .01, not the doubles' 0.00999999999999801.
TEST(BatchTest, EachValidityModeKeepsItsOwnTotal)
{
    struct Case
    {
        int mode;
        QStringList shown, again; // txtvalid(0..3), after the two chits and in the new batch
    };
    const Case cases[] = {
        { 1, { u"2003"_s, {}, {}, {} }, { u"1002"_s, {}, {}, {} } },
        { 2, { {}, u"0.01"_s, {}, {} }, { {}, u"-40.09"_s, {}, {} } },
        { 3, { u"2003"_s, u"0.01"_s, {}, {} }, { u"1002"_s, u"-40.09"_s, {}, {} } },
        { 4, { {}, {}, u"2128.01"_s, {} }, { {}, {}, u"961.91"_s, {} } },
        { 5, { {}, {}, {}, u"2148.01"_s }, { {}, {}, {}, u"964.91"_s } },
        { 0, { {}, {}, {}, {} }, { {}, {}, {}, {} } },
    };
    const auto payment = [](Harness &h) {
        h.queueAnswers({ true });
        postChit(h, u"A7"_s, u"1002"_s, u"3"_s, u"-40.09"_s);
    };
    for (const Case &c : cases) {
        Harness h;
        h.exec(u"config"_s, u"update ar set arvalidity = %1"_s.arg(c.mode));
        startClub(h, 2024, 3, QDate(2024, 3, 12), 5, { u"20240312"_s });
        ASSERT_TRUE(h.running()) << c.mode;
        postChit(h, u"125A"_s, u"1001"_s, u"17"_s, u"40.10"_s);
        payment(h);
        for (const bool again : { false, true }) {
            const QStringList &totals = again ? c.again : c.shown;
            EXPECT_EQ(h.control(u"Text5"_s).text, again ? u"1"_s : u"2"_s);
            for (int i = 0; i <= 3; ++i) {
                const bool shown = !totals.at(i).isEmpty();
                const std::string at = std::to_string(c.mode) + " " + std::to_string(i);
                EXPECT_EQ(h.control(u"txtvalid(%1)"_s.arg(i)).visible, shown) << at;
                EXPECT_EQ(h.control(u"lblvalidity(%1)"_s.arg(i)).visible, shown) << at;
                EXPECT_EQ(h.control(u"txtvalid(%1)"_s.arg(i)).text, shown ? totals.at(i) : u"0"_s)
                    << at;
            }
            h.queuePickedDates({ u"20240313"_s });
            h.click(u"cmdnewbatch"_s);
            h.queueAnswers({ true }); // A7 again, posted again
            payment(h);
        }
    }
}

// Eight workstations posting at once into one data set store every chit once and show no
// box. 500 chits from each under TALLIC_SOAK=1 and in the benchmark; 100 keep the
// sanitized run short.
// On a server the network between them cuts connections at random moments, a thousand times
// or more under TALLIC_SOAK=1 (a post is a single round trip, so each message's chance is
// high enough for that): a chit not stored is posted again, as the operator presses OK again,
// one whose COMMIT went unanswered is looked up by its key first, and every chit is stored
// once.
TEST(WorkstationsTest, EightPostingAtOnceStoreEveryChitOnceWithoutABox)
{
    Harness h;
    const bool soak = qEnvironmentVariableIntValue("TALLIC_SOAK") > 0;
    const int each = soak ? 500 : 100;
    std::unique_ptr<ServerRelay> relay;
    if (h.onServer()) {
        relay = std::make_unique<ServerRelay>(h);
        relay->cutAtRandom(soak ? 0.009 : 0.002, 20240312, 0.02);
    }
    const Workstations run = postFromWorkstations(h, QStringLiteral(TALLIC_POSTWORKER), 8, each);
    const int cuts = relay ? relay->cuts() : 0;
    relay.reset();
    EXPECT_EQ(run.failures, QStringList());
    // Every chit once, and no other row.
    const QList<QVariantList> stored
        = h.rows(u"daily"_s,
                 u"select count(*), count(distinct tallicnum) from ardaily where tallicnum "
                 u"like 'W_-%'"_s);
    EXPECT_EQ(stored, (QList<QVariantList> { { 8 * each, 8 * each } }));
    EXPECT_EQ(h.rows(u"daily"_s, u"select count(*) from ardaily"_s).value(0).value(0), 8 * each);
    if (h.onServer()) {
        EXPECT_GE(cuts, soak ? 1000 : 1);
        // Each key looked up was written again by its look-up.
        const int lookedUp = h.rows(u"daily"_s,
                                    u"select count(*) from tallic_writes where "
                                    u"writechecks > 0"_s)
                                 .value(0)
                                 .value(0)
                                 .toInt();
        std::printf("%d connections cut, %d chits posted again, %d looked up by their keys, %d "
                    "chits stored once\n",
                    cuts, run.postedAgain, lookedUp, stored.value(0).value(1).toInt());
    }
}

} // namespace

// A posted chit's log goes to the disk after the commit has let the write lock go, and
// before the operator has the screen back; a chit reported stored survives a power cut.
#include "suite/database.h"
#include "suite/schema.h"
#include "testkit/harness.h"
#include "testkit/powercut.h"
#include "testkit/world.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using namespace tallic::testkit;

namespace {

// The daily file's log in the harness's folder, as SQLite names it.
QString dailyLog(const Harness &h)
{
    return QFileInfo(findSuiteFile(h.dataDir(), u"daily.mdb"_s)).canonicalFilePath() + u"-wal"_s;
}

// The day's first chit, stored while the disk is sound: the log has begun, and the next
// commit's sync is the only one (SQLite syncs a log's first page itself, inside the commit).
void postFirstChit(Harness &h)
{
    keyChit(h, u"4100"_s, u"D0"_s, u"1001"_s, u"5"_s);
    h.click(u"cmdokay"_s);
}

// Another workstation stores a row without waiting for the lock, and leaves its log to
// others: it syncs nothing itself.
bool writeAsAnotherWorkstation(const QString &daily)
{
    bool wrote = false;
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other"_s);
        other.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=0"_s);
        other.setDatabaseName(daily);
        QSqlQuery q(other);
        wrote = other.open() && q.exec(u"pragma synchronous = off"_s)
            && q.exec(u"insert into ardaily values (4100, 'OTHER', 20240312, 1001, 0, 0, 10, "
                      u"1.8, .71, 12.51, 0, 0, 0, 0, ' ', 'X', null, 9)"_s);
    }
    QSqlDatabase::removeDatabase(u"other"_s);
    return wrote;
}

// The chit numbers of the daily file as a power cut now would leave it, in the order stored.
QStringList chitsAfterCut(PowerCutDisk &disk, const Harness &h)
{
    const QString folder = disk.cut(h.dataDir());
    QStringList numbers;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"after-cut"_s);
        db.setDatabaseName(findSuiteFile(folder, u"daily.mdb"_s));
        QSqlQuery q(db);
        EXPECT_TRUE(db.open() && q.exec(u"select tallicnum from ardaily order by rowid"_s));
        while (q.next())
            numbers << q.value(0).toString();
    }
    QSqlDatabase::removeDatabase(u"after-cut"_s);
    return numbers;
}

} // namespace

// The disk under the daily log is slow while a chit is posted, so that a post that does not
// wait for it is caught by a power cut right after; meanwhile another workstation stores a
// row, and must not have to wait for this one's disk. A statement asking the program's own
// connection to checkpoint on commit, which would take the place of its sync, is refused.
TEST(PostingStoreTest, AChitIsOnTheDiskBeforeTheScreenIsBackAndOthersWriteMeanwhile)
{
    struct Case
    {
        const char *name;
        QString tried; // on the program's own connection first
        bool failsOnce; // the post's sync fails: the chit may be lost
    };
    const Case cases[] = {
        { "a sound disk", {}, false },
        { "a checkpoint on commit asked for", u"pragma wal_autocheckpoint = 1000"_s, false },
        { "a disk that fails once", {}, true },
    };
    for (const Case &c : cases) {
        Harness h;
        if (h.onServer())
            GTEST_SKIP() << "a server syncs its own log";
        PowerCutDisk cutDisk;
        startMarch2024(h);
        postFirstChit(h);
        keyChit(h, u"4100"_s, u"D1"_s, u"1001"_s, u"10"_s);
        h.clearDialogs();
        if (!c.tried.isEmpty()) {
            SuiteDb own(u"daily.mdb"_s);
            EXPECT_FALSE(own.exec(c.tried).ok()) << c.name;
        }
        std::atomic<int> syncs { 0 };
        std::atomic<bool> othersWrote { false };
        const QString daily = findSuiteFile(h.dataDir(), u"daily.mdb"_s), log = dailyLog(h);
        cutDisk.onSync([&](const QString &path) {
            if (path != log || ++syncs > 1)
                return true;
            othersWrote = writeAsAnotherWorkstation(daily);
            QThread::msleep(100);
            return !c.failsOnce;
        });
        h.click(u"cmdokay"_s);
        const QStringList kept { u"D0"_s, u"D1"_s, u"OTHER"_s };
        EXPECT_EQ(chitsAfterCut(cutDisk, h), c.failsOnce ? kept.mid(0, 1) : kept) << c.name;
        cutDisk.onSync({});

        // One sync a post, as SQLite's own at the commit was.
        EXPECT_EQ(syncs, c.failsOnce ? syncs.load() : 1) << c.name;
        EXPECT_TRUE(othersWrote) << c.name;
        // The chit is in the database either way: it is counted, not to be keyed twice.
        EXPECT_EQ(h.control(u"Text5"_s).text, u"2"_s) << c.name;
        EXPECT_EQ(h.control(u"txtprev(2)"_s).text, u"D1"_s) << c.name;
        EXPECT_EQ(h.focused(), u"Text1(1)"_s) << c.name;
        const QList<Dialog> boxes { box(
            u"Disk error"_s,
            u"The disk reported an error while the last change to DAILY.MDB was being written "
            u"to it:\ndisk I/O error (code 1034)\n\nThe change is in the database, but it may "
            u"be lost if the computer stops. Have the disk checked before going on."_s,
            DialogIcon::Critical) };
        EXPECT_EQ(h.dialogs(), c.failsOnce ? boxes : QList<Dialog>()) << c.name;
    }
}

// A posted chit's log goes to the disk after the commit has let the write lock go, and
// before the operator has the screen back.
#include "suite/logsync.h"
#include "testkit/harness.h"
#include "testkit/world.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <atomic>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using namespace tallic::testkit;

namespace {

// The disk under the daily log while a chit is posted: slow, so that a post that does
// not wait for it is caught, and failing when asked to. Meanwhile another workstation
// stores a row: it must not have to wait for this one's disk.
struct Disk
{
    QString daily;
    bool fails = false;
    LogSyncCall sound = nullptr;
    std::atomic<int> syncs { 0 };
    std::atomic<bool> done { false };
    std::atomic<bool> othersWrote { false };
};
Disk *disk = nullptr;

int slowSync(sqlite3_file *log)
{
    {
        // No wait at all for the lock: it is free, or the row is refused.
        QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other"_s);
        other.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=0"_s);
        other.setDatabaseName(disk->daily);
        disk->othersWrote = other.open()
            && QSqlQuery(other).exec(
                u"insert into ardaily values (4100, 'OTHER', 20240312, 1001, 0, 0, 10, 1.8, "
                u".71, 12.51, 0, 0, 0, 0, ' ', 'X', null, 9)"_s);
    }
    QSqlDatabase::removeDatabase(u"other"_s);
    QThread::msleep(100);
    ++disk->syncs;
    const int result = disk->fails ? SQLITE_IOERR_FSYNC : disk->sound(log);
    disk->done = true;
    return result;
}

} // namespace

TEST(PostingStoreTest, AChitIsOnTheDiskBeforeTheScreenIsBackAndOthersWriteMeanwhile)
{
    struct Case
    {
        const char *name;
        bool fails;
    };
    for (const Case c : { Case { "a sound disk", false }, Case { "a failing disk", true } }) {
        Harness h;
        if (h.onServer())
            GTEST_SKIP() << "a server syncs its own log";
        startMarch2024(h);
        keyChit(h, u"4100"_s, u"D1"_s, u"1001"_s, u"10"_s);
        h.clearDialogs();
        Disk slow { QDir(h.dataDir()).filePath(u"daily.mdb"_s), c.fails };
        disk = &slow;
        slow.sound = setLogSyncCall(&slowSync);
        h.click(u"cmdokay"_s);
        const bool onDisk = slow.done;
        setLogSyncCall(slow.sound);
        disk = nullptr;

        EXPECT_TRUE(onDisk) << c.name << ": the screen came back before the disk had the chit";
        EXPECT_EQ(slow.syncs, 1) << c.name;
        EXPECT_TRUE(slow.othersWrote) << c.name;
        const QList<QVariantList> rows = chits(h);
        ASSERT_EQ(rows.size(), 2) << c.name;
        EXPECT_EQ(rows.at(0).at(1), u"D1"_s);
        EXPECT_EQ(rows.at(1).at(1), u"OTHER"_s);
        // The chit is in the database either way: it is counted, not to be keyed twice.
        EXPECT_EQ(h.control(u"Text5"_s).text, u"1"_s) << c.name;
        EXPECT_EQ(h.control(u"txtprev(2)"_s).text, u"D1"_s) << c.name;
        EXPECT_EQ(h.focused(), u"Text1(1)"_s) << c.name;
        if (c.fails) {
            EXPECT_EQ(h.dialogs(),
                      QList { box(u"Disk error"_s,
                                  u"The disk reported an error while the last change to "
                                  u"DAILY.MDB was being written to it:\ndisk I/O error (code "
                                  u"1034)\n\nThe change is in the database, but it may be lost "
                                  u"if the computer stops. Have the disk checked before going "
                                  u"on."_s,
                                  DialogIcon::Critical) });
        } else {
            EXPECT_TRUE(h.dialogs().isEmpty()) << c.name;
        }
    }
}

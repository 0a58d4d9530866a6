#pragma once

#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace tallic::testkit {

// The disk under SQLite's files while one lives, modelled as SQLite's own crash tests model
// it: a file layer over SQLite's "unix" one, the default for connections opened meanwhile,
// that keeps each file as the disk holds it. What is written reaches the disk at the
// file's next sync that succeeds, through any connection; a power cut loses the rest. A
// sync can be made to fail: what it was to write is then dropped for good, as Linux drops
// the pages it could not write, though the file still reads as written.
class PowerCutDisk
{
public:
    PowerCutDisk();
    ~PowerCutDisk();
    PowerCutDisk(const PowerCutDisk &) = delete;
    PowerCutDisk &operator=(const PowerCutDisk &) = delete;

    // Asked before each sync, on the thread that syncs, with the file's path: the sync fails
    // when it answers false. Without one every sync succeeds.
    void onSync(std::function<bool(const QString &path)> check);
    // The files of the folder that SQLite opened since, as a power cut now would leave them,
    // copied into a folder of the disk's own (without the log's index, which lives in
    // memory): the folder's path.
    QString cut(const QString &folder);

private:
    std::unique_ptr<QTemporaryDir> afterCut_;
};

// Writes to the suite file through the program's own connection (a table made and dropped),
// so that its log has begun: SQLite syncs a log's first page inside the commit that writes
// it, where a failing disk fails the commit itself.
void beginLog(const QString &fileName);

} // namespace tallic::testkit

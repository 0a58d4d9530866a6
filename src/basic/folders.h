#pragma once

#include <QString>

namespace tallic {

// The real file of a bare name in the working folder, matched without regard to
// letter case; the empty string when there is none. Of two that differ only in case,
// either may be found.
QString findInWorkingFolder(const QString &name);
// The same in the folder given.
QString findInFolder(const QString &folder, const QString &name);

// The working folder's identity and time, once it has settled: while they stay the same, no entry
// of the folder was added, removed or renamed. Invalid for a folder that changed too recently to
// tell (a change within the same tick of the clock keeps its time) or is not there.
struct FolderStamp
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 changedNs = -1;

    bool isValid() const { return changedNs >= 0; }
    bool operator==(const FolderStamp &other) const = default;
};
FolderStamp settledWorkingFolderStamp();

// The type of the file system that holds the folder, statfs's f_type; 0 when it cannot be
// told.
quint64 fileSystemTypeOf(const QString &folder);

} // namespace tallic

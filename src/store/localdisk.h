#pragma once

#include <QString>

namespace tallic {

// SQLite's write-ahead log keeps its index in memory shared by the programs of one computer,
// which a network file system does not share between computers: the suite's SQLite files
// must be on a disk of the computer that runs the program. Several workstations share a
// club's databases through a PostgreSQL server instead.

// The name of a network file system of this type (statfs's f_type) as an operator knows it
// ("NFS", "SMB/CIFS", "FUSE, such as sshfs"); empty for any other type.
QString networkFileSystemName(quint64 type);

// Why the data folder cannot hold the suite's SQLite files, in the words of the box that
// refuses the start; empty when it can: on a local disk, or with its databases on a server.
// The folder's file system is the one the platform reads.
QString dataFolderRefusal(const QString &folder);

// The title of that box.
QString dataFolderRefusalTitle();

} // namespace tallic

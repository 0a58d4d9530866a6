#include "localdisk.h"

#include "datasource.h"
#include "storehost.h"

#include <QDir>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

QString networkFileSystemName(quint64 type)
{
    // The magic numbers of statfs(2) and the kernel's magic.h.
    switch (type) {
    case 0x6969:
        return u"NFS"_s;
    case 0x517B: // smbfs
    case 0xFF534D42: // cifs
    case 0xFE534D42: // smb3
        return u"SMB/CIFS"_s;
    case 0x65735546:
        return u"FUSE, such as sshfs"_s;
    case 0x01021997:
        return u"9P"_s;
    case 0x73757245:
        return u"Coda"_s;
    case 0x5346414F: // OpenAFS
    case 0x6B414653: // kAFS
        return u"AFS"_s;
    case 0x00C36400:
        return u"Ceph"_s;
    case 0x0BD00BD0:
        return u"Lustre"_s;
    case 0x47504653:
        return u"GPFS"_s;
    case 0x7461636F:
        return u"OCFS2"_s;
    case 0x01161970:
        return u"GFS2"_s;
    case 0x564C:
        return u"NetWare"_s;
    default:
        return QString();
    }
}

QString dataFolderRefusal(const QString &folder)
{
    if (dataSourceOf(folder).onServer())
        return QString();
    const QString network = networkFileSystemName(storeHost().fileSystemType(folder));
    if (network.isEmpty())
        return QString();
    return u"The data folder "_s + QDir::toNativeSeparators(QDir(folder).absolutePath())
        + u" is on a network file system ("_s + network
        + u").\nIts SQLite databases must be on a disk of this computer: their log needs\n"
          u"memory that only the programs of one computer share.\n\nWorkstations share a "
          u"club through a PostgreSQL server: see\n\"Several workstations\" in the README."_s;
}

QString dataFolderRefusalTitle()
{
    return u"Data folder on a network"_s;
}

} // namespace tallic

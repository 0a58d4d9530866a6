#pragma once

#include "basic/result.h"
#include "database.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace tallic {

// A write whose outcome the server did not tell, until a look-up of its key tells it.
struct PendingWrite
{
    enum class Kind { Chit, Generated, Correction, Deletion };

    QString key;
    Kind kind = Kind::Chit;
    QString chit; // the chit number
    QString member; // a generated chit's member
    QString origin; // a posted chit's batch (its start stamp)
    QDateTime at; // when it was written
    ServerSession session; // the server's session that held it
    QStringList fields; // a posted chit as it was posted: its ten fields, then the memo
};

// The workstation's own file of them, in the data folder, named after the computer. Each is on
// the disk before the operator is told of it, so that it outlives an Exit, a crash or a power
// cut; several programs of the computer may add to it and resolve it at once.
QString pendingWritesFile();
Result<void> recordPending(const PendingWrite &write);
// Those recorded and not forgotten, oldest first.
QList<PendingWrite> pendingWrites();
// The write's outcome is known: it leaves the file (and the file goes with its last write).
Result<void> forgetPending(const QString &key);

} // namespace tallic

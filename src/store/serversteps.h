#pragma once

// What the database layer sends to a server and what comes back, shared by the layer, the
// link that holds a server connection and the libpq session under it.

#include <QList>
#include <QSqlError>
#include <QSqlRecord>
#include <QString>
#include <QVariantList>

namespace tallic {

// One session of a server as the server knows it: its process and the moment it began, in
// microseconds since 1970. A process number alone names another session on another server.
struct ServerSession
{
    qint64 pid = 0;
    qint64 started = 0;
    bool isNull() const { return pid == 0; }
};

// One statement for a server, its ? bound by position to the values.
struct ServerStep
{
    QString sql;
    QVariantList values;
    // How many rows it changed, once it ran.
    int rowsAffected = -1;

    bool operator==(const ServerStep &other) const
    {
        return sql == other.sql && values == other.values;
    }
};

// What a run of steps gave: how many ran, the failure of the next, and the rows of the
// step asked for, read to the end on the server's side.
struct ServerReply
{
    int done = 0;
    QSqlError error;
    // False when the server gave no answer in the time allowed: what it did is not known.
    bool answered = true;
    QSqlRecord record;
    QList<QVariantList> rows;
    int rowsAffected = -1;

    bool ok() const { return answered && !error.isValid(); }
};

} // namespace tallic

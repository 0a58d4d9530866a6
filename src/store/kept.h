#pragma once

// The kept connection of one suite database, shared by the SuiteDb objects that use it.
// Internal to the database layer.
#include "database.h"
#include "datasource.h"
#include "serverlink.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <map>
#include <memory>
#include <vector>

namespace tallic {

struct SuiteDb::Kept
{
    QString key; // the file's full path, or the server's identity and the schema
    DataSource source;
    QString fileName;
    QString name;
    QSqlDatabase db; // on files
    std::unique_ptr<ServerLink> link; // on a server; opened again when lost
    // Whether the file could be written when opened: SQLite opens a write-protected file
    // read-only for good, so a change either way needs a new connection.
    bool writable = false;
    bool inTransaction = false;
    // On files: a transaction begun whose write lock waits for its first write.
    bool beginPending = false;
    // Whether the log was given its working length, once before the first write.
    bool logLengthened = false;
    // Closed by DbCloseAll or for another set of databases: never opened again.
    bool shutDown = false;
    int users = 0;
    QElapsedTimer lockClock;
    bool waiting = false;

    // On a server: the session of the last COMMIT whose answer was lost; the writes of a
    // transaction kept to go with its COMMIT (Writes::WithCommit), none sent yet.
    ServerSession lost;
    bool writesKept = false;
    QList<ServerStep> keptWrites;
    // The columns of each table read so far, by table name.
    QHash<QString, QStringList> columns;

    bool onServer() const { return source.onServer(); }

    ~Kept();
    // Closes the connection for good (suitedb.cpp).
    void shut();

    // A wait for another workstation's lock or for the server: the busy pointer, and on a
    // server after a while the windows' notice (suitedb.cpp).
    void beginWait();
    void endWait();
};

// The kept connections by key. Only the window thread uses them.
using KeptMap = std::map<QString, std::shared_ptr<SuiteDb::Kept>>;
KeptMap &keptConnections();
// The kept connection of the database in the current data source: the one found last time
// while nothing has changed, else found or opened afresh; none, with the error, when it
// cannot be opened.
std::shared_ptr<SuiteDb::Kept> useKept(const QString &fileName, QSqlError &error);
// Dropped connections whose last user let go, held until the next use: that user's queries
// may still be around, and Qt must not forget a connection in use.
std::vector<std::shared_ptr<SuiteDb::Kept>> &letGoConnections();
// Closes every kept connection for good (DbCloseAll, and the program's end).
void closeKeptConnections();

} // namespace tallic

#include "datasource.h"

#include "basic/folders.h"
#include "dberrors.h"
#include "sqlitefiles.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlQuery>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

const QString SettingsFile = u"tallic.ini"_s;

QString settingsProblem(const QString &text)
{
    return SettingsFile + u": "_s + text;
}

// The [database] section of the settings file: its keys in lower case, or the problem that
// makes the file unusable. A line that is neither a section, a setting nor a comment makes
// it so. (Not QSettings: it keeps a file it has read and misses one rewritten within the
// clock's tick.)
Result<QHash<QString, QString>> readDatabaseSection(const QByteArray &contents)
{
    static const QStringList known { u"driver"_s,      u"host"_s,
                                     u"port"_s,        u"database"_s,
                                     u"user"_s,        u"sslmode"_s,
                                     u"sslrootcert"_s, u"target_session_attrs"_s };
    const auto problem = [](const QString &text) { return Failure { 0, settingsProblem(text) }; };
    QHash<QString, QString> values;
    bool inDatabase = false, sawDatabase = false;
    const QStringList lines = QString::fromUtf8(contents).split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            inDatabase = line.mid(1, line.size() - 2).trimmed().toLower() == u"database"_s;
            sawDatabase = sawDatabase || inDatabase;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0) {
            return problem(u"line "_s + QString::number(i + 1)
                           + u" is neither a [section] nor a setting."_s);
        }
        if (!inDatabase)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString name = key.toLower();
        if (name == u"password"_s) {
            return problem(u"the password does not belong in the data folder; give it in "
                           u"PGPASSWORD or a pgpass file."_s);
        }
        if (!known.contains(name))
            return problem(u"unknown setting "_s + key + u'.');
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        values.insert(name, value);
    }
    if (!sawDatabase)
        return problem(u"there is no [database] section."_s);
    return values;
}

// The servers the section names, with their ports: libpq's lists, one port for all the
// hosts or one each. The problem with them, or an empty text.
QString takeServers(DataSource &source, const QHash<QString, QString> &values)
{
    const QString host = values.value(u"host"_s);
    if (!host.isEmpty()) {
        for (const QString &name : host.split(u','))
            source.hosts << name.trimmed();
        if (source.hosts.contains(QString()))
            return settingsProblem(u"host names an empty server in its list: "_s + host + u'.');
    }
    const QString port = values.value(u"port"_s);
    if (port.isEmpty())
        return QString();
    for (const QString &each : port.split(u',')) {
        bool number = false;
        const int value = each.trimmed().toInt(&number);
        if (!number || value < 1 || value > 65535)
            return settingsProblem(u"port is not a port number: "_s + port + u'.');
        source.ports << value;
    }
    // Without host= libpq tries one server of its own.
    const qsizetype servers = qMax<qsizetype>(source.hosts.size(), 1);
    if (source.ports.size() != 1 && source.ports.size() != servers)
        return settingsProblem(
            u"port lists %1 ports: give one, or one for each host (%2)."_s.arg(source.ports.size())
                .arg(servers));
    return QString();
}

// The server's settings of the section, each checked; the last problem found is kept.
void takeServerSettings(DataSource &source, const QHash<QString, QString> &values)
{
    if (const QString problem = takeServers(source, values); !problem.isEmpty())
        source.problem = problem;
    source.database = values.value(u"database"_s);
    source.user = values.value(u"user"_s);
    if (source.database.isEmpty())
        source.problem = settingsProblem(u"no database is named (database=)."_s);
    static const QStringList sslModes { u"disable"_s, u"allow"_s,     u"prefer"_s,
                                        u"require"_s, u"verify-ca"_s, u"verify-full"_s };
    source.sslMode = values.value(u"sslmode"_s);
    if (!source.sslMode.isEmpty() && !sslModes.contains(source.sslMode))
        source.problem = settingsProblem(u"sslmode is one of "_s + sslModes.join(u", "_s)
                                         + u", not \""_s + source.sslMode + u"\"."_s);
    const QString rootCert = values.value(u"sslrootcert"_s);
    if (!rootCert.isEmpty())
        source.sslRootCert = QDir(source.folder).absoluteFilePath(rootCert);
    // The driver reads a semicolon as the end of an option.
    if (source.sslRootCert.contains(u';'))
        source.problem = settingsProblem(u"sslrootcert cannot name a path with a semicolon."_s);
    // Which of the servers will do: a club with a standby wants the one that takes writes.
    static const QStringList sessionAttrs { u"any"_s,     u"read-write"_s, u"read-only"_s,
                                            u"primary"_s, u"standby"_s,    u"prefer-standby"_s };
    source.targetSessionAttrs = values.value(u"target_session_attrs"_s);
    if (!source.targetSessionAttrs.isEmpty() && !sessionAttrs.contains(source.targetSessionAttrs))
        source.problem
            = settingsProblem(u"target_session_attrs is one of "_s + sessionAttrs.join(u", "_s)
                              + u", not \""_s + source.targetSessionAttrs + u"\"."_s);
}

DataSource readSettings(const QString &folder, const QByteArray &contents)
{
    DataSource source;
    source.folder = folder;
    // A settings file that cannot be used never falls back to files: the databases are on
    // a server the program cannot name, so they are missing.
    source.engine = DataSource::Engine::Server;
    const Result<QHash<QString, QString>> values = readDatabaseSection(contents);
    if (!values) {
        source.problem = values.failure().description;
        return source;
    }
    const QString driver = values->value(u"driver"_s).toLower();
    if (driver == u"sqlite"_s) {
        source.engine = DataSource::Engine::Files;
        return source;
    }
    if (driver != u"postgres"_s && driver != u"postgresql"_s) {
        source.problem
            = settingsProblem(u"driver is postgres or sqlite, not \""_s + driver + u"\"."_s);
        return source;
    }
    takeServerSettings(source, *values);
    return source;
}

// Why libpq could not connect: one line for each server it tried (the indented lines are
// its hints). A standby among them (a failover under way) takes writes once promoted, and
// the operator is told so.
QString connectFailureText(const QSqlError &error)
{
    const QString text = tallic::connectFailureText(error.databaseText());
    return text.isEmpty() ? serverText(error) : text;
}

} // namespace

QString connectFailureText(const QString &message)
{
    QStringList tried;
    bool standby = false;
    for (const QString &line : message.split(u'\n')) {
        if (!line.startsWith(u"connection to server"_s))
            continue;
        tried << line.trimmed();
        standby = standby || line.endsWith(u"session is read-only"_s)
            || line.endsWith(u"server is in hot standby mode"_s);
    }
    if (tried.isEmpty())
        return message.trimmed();
    QString text = tried.join(u"; "_s);
    if (standby)
        text += u" (no server named takes writes; a standby takes them once it is promoted)"_s;
    return text;
}

namespace {

// A value of a libpq connection string.
QString connectValue(const QString &value)
{
    QString quoted = value;
    quoted.replace(u'\\', u"\\\\"_s).replace(u'\'', u"\\'"_s);
    return u'\'' + quoted + u'\'';
}

// The connection's settings beyond the server's names and the database: a server that does
// not answer, or a connection whose other end is gone, is noticed within seconds, not
// minutes; text is taken literally from the session's first statement on, whatever the
// server's own settings; a statement waits for a lock as long as the program would, or not
// at all when the schemas are being set up. libpq's lists stand as they are.
QStringList connectOptions(const DataSource &source, bool lockWaits)
{
    const int lockWait = lockWaits ? lockWaitLimit() : 0;
    QStringList options {
        u"connect_timeout=5"_s,
        u"application_name=tallic"_s,
        u"keepalives=1"_s,
        u"keepalives_idle=5"_s,
        u"keepalives_interval=2"_s,
        u"keepalives_count=3"_s,
        u"tcp_user_timeout=10000"_s,
        u"options="_s
            + connectValue(u"-c standard_conforming_strings=on -c lock_timeout=%1 "
                           u"-c statement_timeout=%2"_s.arg(lockWait)
                               .arg(lockWaits ? statementTimeout(lockWait) : 0)),
    };
    if (!source.ports.isEmpty()) {
        QStringList ports;
        for (const int port : source.ports)
            ports << QString::number(port);
        options << u"port="_s + ports.join(u',');
    }
    if (!source.targetSessionAttrs.isEmpty())
        options << u"target_session_attrs="_s + source.targetSessionAttrs;
    if (!source.sslMode.isEmpty())
        options << u"sslmode="_s + source.sslMode;
    if (!source.sslRootCert.isEmpty())
        options << u"sslrootcert="_s + connectValue(source.sslRootCert);
    return options;
}

void setServer(QSqlDatabase &db, const DataSource &source, bool lockWaits = true)
{
    // The driver's own port is a single number: the ports go as an option.
    db.setHostName(source.hosts.join(u','));
    db.setDatabaseName(source.database);
    db.setUserName(source.user);
    db.setConnectOptions(connectOptions(source, lockWaits).join(u';'));
}

// Statements are written with literal text: a server that reads a backslash in a literal
// as an escape could be handed a statement of the data's making.
const QString LiteralTextCheck = u"current_setting('standard_conforming_strings') = 'on'"_s;

const QString OutOfReach = u"The database server cannot be reached: "_s;

QString literalTextProblem()
{
    return u"The database server does not take text literally "
           u"(standard_conforming_strings is not on), so Tallic does not use it."_s;
}

QString missingText(const QString &fileName)
{
    QString name = fileName.toUpper();
    if (!name.endsWith(u".MDB"_s))
        name += u".MDB"_s;
    return u"Could not find file '"_s + name + u"'."_s;
}

// Copies a run in quotes ('text' with '' inside, "name" with "" inside) from at; returns
// the position after it.
qsizetype copyQuoted(const QString &sql, qsizetype at, QString &out)
{
    const QChar quote = sql.at(at);
    qsizetype end = at + 1;
    while (end < sql.size()) {
        if (sql.at(end) == quote) {
            if (end + 1 < sql.size() && sql.at(end + 1) == quote) {
                end += 2;
                continue;
            }
            break;
        }
        ++end;
    }
    end = qMin(end + 1, sql.size());
    out += QStringView(sql).sliced(at, end - at);
    return end;
}

// Never created through this name: a file that vanished since the lookup must not come
// back as an empty database.
QString fileUri(const QString &path, Access access)
{
    QUrl url = QUrl::fromLocalFile(path);
    url.setQuery(access == Access::ReadOnly ? u"mode=ro"_s : u"mode=rw"_s);
    return url.toString(QUrl::FullyEncoded);
}

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

} // namespace

QString DataSource::identity() const
{
    if (!onServer())
        return u"files:"_s + folder;
    QStringList portList;
    for (const int port : ports)
        portList << QString::number(port);
    return u"postgres:"_s + user + u'@' + hosts.join(u',') + u':' + portList.join(u',') + u'/'
        + database + u'?' + sslMode + u'&' + sslRootCert + u'&' + targetSessionAttrs;
}

DataSource dataSourceOf(const QString &folder)
{
    const QString absolute = QDir(folder).absolutePath();
    const QString path = findInFolder(absolute, SettingsFile);
    if (path.isEmpty()) {
        DataSource files;
        files.folder = absolute;
        return files;
    }
    // Parsed again only when the file says something else: every database call asks, and
    // a file rewritten within the clock's tick keeps its time.
    QFile file(path);
    const QByteArray contents = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    static QString cachedPath;
    static QByteArray cachedContents;
    static DataSource cached;
    if (cachedPath != path || cachedContents != contents || cached.folder != absolute) {
        cachedPath = path;
        cachedContents = contents;
        cached = readSettings(absolute, contents);
        cached.fromSettings = true;
    }
    return cached;
}

DataSource currentDataSource()
{
    return dataSourceOf(QDir::currentPath());
}

QString schemaOf(const QString &fileName)
{
    QString name = fileName.toLower();
    if (name.endsWith(u".mdb"_s))
        name.chop(4);
    return name;
}

QSqlDatabase openSuiteDatabase(const QString &connectionName, const DataSource &source,
                               const QString &fileName, Access access, QSqlError &error)
{
    error = QSqlError();
    if (!source.onServer()) {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connectionName);
        const QString path = findInFolder(source.folder, fileName);
        if (path.isEmpty()) {
            error = missingDatabase(fileName);
            return db;
        }
        db.setConnectOptions(u"QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT="_s
                             + QString::number(lockWaitLimit()));
        db.setDatabaseName(fileUri(path, access));
        if (!db.open()) {
            error = db.lastError();
        } else if (!registerJetFunctions(db)) {
            error = layerError(JetError::Generic, u"Cannot add the Jet functions."_s);
            db.close();
        } else {
            setUpSuiteFile(db);
        }
        return db;
    }

    QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, connectionName);
    if (!source.problem.isEmpty()) {
        error = missingDatabase(fileName, source.problem);
        return db;
    }
    setServer(db, source);
    openOnServer(db, fileName, access, error);
    return db;
}

QSqlDatabase openSuiteFiles(const QString &connectionName, const QString &folder,
                            const QStringList &fileNames, Access access, QSqlError &error,
                            int lockWaitMs)
{
    error = QSqlError();
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connectionName);
    db.setConnectOptions(u"QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT="_s
                         + QString::number(lockWaitMs < 0 ? lockWaitLimit() : lockWaitMs));
    db.setDatabaseName(u":memory:"_s);
    if (!db.open()) {
        error = db.lastError();
        return db;
    }
    if (!registerJetFunctions(db)) {
        error = layerError(JetError::Generic, u"Cannot add the Jet functions."_s);
        db.close();
        return db;
    }
    QSqlQuery attach(db);
    for (const QString &fileName : fileNames) {
        const QString path = findInFolder(folder, fileName);
        if (path.isEmpty()) {
            error = missingDatabase(fileName);
        } else if (!attach.exec(u"attach database "_s + sqlLiteral(fileUri(path, access))
                                + u" as \""_s + schemaOf(fileName) + u'"')) {
            error = attach.lastError();
        }
        if (error.isValid()) {
            attach = QSqlQuery();
            db.close();
            return db;
        }
    }
    return db;
}

Result<QSqlDatabase> openServerDatabase(const QString &connectionName, const DataSource &source)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, connectionName);
    if (!source.problem.isEmpty())
        return Failure(0, source.problem);
    setServer(db, source, false);
    if (!db.open())
        return Failure(0, connectFailureText(db.lastError()));
    QSqlQuery query(
        u"select set_config('client_min_messages', 'warning', false), "_s + LiteralTextCheck, db);
    if (!query.next() || !query.value(1).toBool()) {
        Failure failure(
            0, query.lastError().isValid() ? serverText(query.lastError()) : literalTextProblem());
        query = QSqlQuery();
        db.close();
        return failure;
    }
    return db;
}

QString connectionString(const DataSource &source)
{
    QStringList parts;
    if (!source.hosts.isEmpty())
        parts << u"host="_s + connectValue(source.hosts.join(u','));
    parts << u"dbname="_s + connectValue(source.database);
    if (!source.user.isEmpty())
        parts << u"user="_s + connectValue(source.user);
    return (parts + connectOptions(source, true)).join(u' ');
}

QString sessionSetup(const QString &fileName, Access access)
{
    // The schema first, then wherever case-blind text lives; notices are not the
    // operator's business.
    const QString schema = sqlLiteral(schemaOf(fileName));
    QString setup = u"select set_config('search_path', quote_ident("_s + schema
        + u") || coalesce(', ' || (select quote_ident(n.nspname) from pg_extension e "
          u"join pg_namespace n on n.oid = e.extnamespace where e.extname = 'citext'), ''), "
          u"false), set_config('client_min_messages', 'warning', false), "
          u"exists (select 1 from pg_namespace where nspname = "_s
        + schema + u"), "_s + LiteralTextCheck;
    if (access == Access::ReadOnly)
        setup += u", set_config('default_transaction_read_only', 'on', false)"_s;
    return setup;
}

QSqlError sessionProblem(const QString &fileName, bool schemaThere, bool literalText)
{
    if (!literalText)
        return missingDatabase(fileName, literalTextProblem());
    if (!schemaThere)
        return missingDatabase(fileName);
    return QSqlError();
}

bool openOnServer(QSqlDatabase &db, const QString &fileName, Access access, QSqlError &error)
{
    error = QSqlError();
    if (!db.open()) {
        error = serverOutOfReach(fileName, connectFailureText(db.lastError()));
        return false;
    }
    QSqlQuery query(db);
    if (!query.exec(sessionSetup(fileName, access)) || !query.next())
        error = serverFailure(query.lastError());
    else
        error = sessionProblem(fileName, query.value(2).toBool(), query.value(3).toBool());
    if (!error.isValid())
        return true;
    query = QSqlQuery();
    db.close();
    return false;
}

QSqlError missingDatabase(const QString &fileName, const QString &reason)
{
    return layerError(JetError::FileNotFound, missingText(fileName), reason);
}

QString serverStatement(const QString &sql)
{
    QString out;
    out.reserve(sql.size() + 8);
    for (qsizetype i = 0; i < sql.size();) {
        const QChar c = sql.at(i);
        if (c == u'\'' || c == u'"') {
            i = copyQuoted(sql, i, out);
        } else if (c == u'[' && sql.indexOf(u']', i) > i) {
            const qsizetype end = sql.indexOf(u']', i);
            QString name = sql.mid(i + 1, end - i - 1);
            out += u'"' + name.replace(u'"', u"\"\""_s) + u'"';
            i = end + 1;
        } else if (isNameChar(c)) {
            qsizetype end = i;
            while (end < sql.size() && isNameChar(sql.at(end)))
                ++end;
            const QStringView word = QStringView(sql).sliced(i, end - i);
            if (word.compare(u"rowid", Qt::CaseInsensitive) == 0)
                out += u"ctid"_s;
            else
                out += word;
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

QString sqlLiteral(const QString &text)
{
    QString quoted = text;
    quoted.remove(QChar(0)).replace(u'\'', u"''"_s);
    return u'\'' + quoted + u'\'';
}

QString numberedParameters(const QString &statement)
{
    QString out;
    out.reserve(statement.size() + 16);
    int next = 0;
    for (qsizetype i = 0; i < statement.size();) {
        const QChar c = statement.at(i);
        if (c == u'\'' || c == u'"') {
            i = copyQuoted(statement, i, out);
            continue;
        }
        if (c == u'?')
            out += u'$' + QString::number(++next);
        else
            out += c;
        ++i;
    }
    return out;
}

QSqlError serverOutOfReach(const QString &fileName, const QString &why)
{
    return missingDatabase(fileName, OutOfReach + why);
}

bool isServerOutOfReach(const QSqlError &error)
{
    return jetErrorNumber(error) == JetError::FileNotFound
        && error.driverText().startsWith(OutOfReach);
}

} // namespace tallic

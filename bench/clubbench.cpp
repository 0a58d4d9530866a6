// tallic-club's copies and backups of a club whose ardaily holds a million rows, beside
// PostgreSQL's own COPY of the same rows and a plain copy of the files. Needs the server
// that TALLIC_TEST_POSTGRES names (./run bench starts one); prints rows of the table in
// bench/README.md.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int Rows = 1000000;

QHash<QString, QString> serverSettings()
{
    QHash<QString, QString> given;
    for (const QString &pair :
         qEnvironmentVariable("TALLIC_TEST_POSTGRES").split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf(u'=');
        if (equals > 0)
            given.insert(pair.left(equals), pair.mid(equals + 1));
    }
    return given;
}

double run(const QString &program, const QStringList &arguments)
{
    QElapsedTimer clock;
    clock.start();
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    process.waitForFinished(-1);
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "%s %s failed:\n%s\n", qPrintable(program),
                     qPrintable(arguments.join(u' ')), process.readAll().constData());
        std::exit(1);
    }
    return ms;
}

void report(const char *what, double club, double engine)
{
    std::printf("| %-46s | %10.2f ms | %10.2f ms | %6.2fx |\n", what, club, engine, club / engine);
    std::fflush(stdout);
}

void fill(const QString &path)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"fill"_s);
    db.setDatabaseName(path);
    db.open();
    QSqlQuery(u"pragma synchronous = off"_s, db);
    QSqlQuery(u"begin"_s, db);
    QSqlQuery insert(db);
    insert.prepare(u"insert into ardaily values (?, ?, ?, ?, 0, 0, ?, ?, ?, ?, 0, 0, 0, 0, ' ', "
                   u"?, ?, 9)"_s);
    for (int i = 0; i < Rows; ++i) {
        const double base = (i % 5000) * 0.25;
        const QVariantList values { 4100 + (i % 4) * 100,
                                    QString::number(i),
                                    20240300 + i % 28 + 1,
                                    1000 + i % 2000 + (i % 3) * 0.01,
                                    base,
                                    base * 0.18,
                                    base * 0.06,
                                    base * 1.24,
                                    u"JONES10:15:00"_s,
                                    i % 10 ? QVariant(QMetaType::fromType<QString>())
                                           : QVariant(u"Übung %1"_s.arg(i)) };
        for (int v = 0; v < values.size(); ++v)
            insert.bindValue(v, values.at(v));
        insert.exec();
    }
    QSqlQuery(u"commit"_s, db);
    db.close();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QHash<QString, QString> server = serverSettings();
    if (server.isEmpty()) {
        std::puts("No PostgreSQL server: TALLIC_TEST_POSTGRES is not set.");
        return 77;
    }
    const QString club = QStringLiteral(TALLIC_CLUB);
    QTemporaryDir work;
    const QString files = work.filePath(u"files"_s), onServer = work.filePath(u"server"_s),
                  back = work.filePath(u"back"_s);
    run(club, { u"new"_s, files });
    fill(files + u"/daily.mdb"_s);

    // The backup and the plain copy of the files side by side, each from a quiet disk: all
    // that was written before is on it first.
    ::sync();
    const double backup = run(club, { u"backup"_s, files, work.filePath(u"club.tallic-backup"_s) });
    ::sync();
    QElapsedTimer clock;
    clock.start();
    QDir().mkpath(work.filePath(u"plain"_s));
    // A backup is on the disk when it is done; so is this copy.
    for (const QString &file : QDir(files).entryList({ u"*.mdb"_s }, QDir::Files)) {
        QFile::copy(files + u'/' + file, work.filePath(u"plain/"_s) + file);
        QFile copy(work.filePath(u"plain/"_s) + file);
        if (copy.open(QIODevice::ReadWrite))
            ::fsync(copy.handle());
    }
    const double plainCopy = double(clock.nsecsElapsed()) / 1e6;

    const QString database = u"clubbench_"_s + QString::number(QCoreApplication::applicationPid());
    QSqlDatabase admin = QSqlDatabase::addDatabase(u"QPSQL"_s, u"admin"_s);
    admin.setHostName(server.value(u"host"_s));
    admin.setPort(server.value(u"port"_s).toInt());
    admin.setUserName(server.value(u"user"_s));
    admin.setDatabaseName(server.value(u"dbname"_s, u"postgres"_s));
    // Made as the README has a club make its database.
    if (!admin.open()
        || !QSqlQuery(admin).exec(u"create database "_s + database
                                  + u" template template0 lc_collate 'C' lc_ctype 'C'"_s)) {
        std::fprintf(stderr, "%s\n", qPrintable(admin.lastError().text()));
        return 1;
    }
    QDir().mkpath(onServer);
    QFile ini(onServer + u"/tallic.ini"_s);
    ini.open(QIODevice::WriteOnly);
    ini.write(u"[database]\ndriver=postgres\nhost=%1\nport=%2\ndatabase=%3\nuser=%4\n"_s
                  .arg(server.value(u"host"_s), server.value(u"port"_s), database,
                       server.value(u"user"_s))
                  .toUtf8());
    ini.close();

    const double toServer = run(club, { u"copy"_s, files, onServer });
    const double toFiles = run(club, { u"copy"_s, onServer, back });

    // The server's own COPY of the same rows, in and out, through psql.
    const QString connection = u"host=%1 port=%2 user=%3 dbname=%4"_s.arg(
        server.value(u"host"_s), server.value(u"port"_s), server.value(u"user"_s), database);
    const QString csv = work.filePath(u"ardaily.csv"_s);
    run(u"psql"_s, { connection, u"-qc"_s, u"\\copy daily.ardaily to '%1' csv"_s.arg(csv) });
    run(u"psql"_s, { connection, u"-qc"_s, u"create table public.plain (like daily.ardaily)"_s });
    const double copyIn
        = run(u"psql"_s, { connection, u"-qc"_s, u"\\copy public.plain from '%1' csv"_s.arg(csv) });
    const double copyOut
        = run(u"psql"_s, { connection, u"-qc"_s, u"\\copy daily.ardaily to '%1' csv"_s.arg(csv) });

    report("copy 1,000,000 chits, files to the server", toServer, copyIn);
    report("copy 1,000,000 chits, the server to files", toFiles, copyOut);
    report("backup of that club (beside copying its files)", backup, plainCopy);

    QSqlQuery(admin).exec(u"drop database "_s + database + u" with (force)"_s);
    return 0;
}

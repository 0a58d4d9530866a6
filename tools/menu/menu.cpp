#include "menu.h"

#include "commands.h"

#include "demodata.h"
#include "store/database.h"
#include "store/datasource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace tallic::menu {

Options parseOptions(const QStringList &arguments)
{
    Options options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &option = arguments.at(i);
        if (option == u"--postgres"_s || option == u"--demo"_s || option == u"--help"_s
            || option == u"-h"_s) {
            (option == u"--postgres"_s   ? options.postgres
                 : option == u"--demo"_s ? options.demo
                                         : options.help)
                = true;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            options.error = u"missing value after "_s + option;
            break;
        }
        const QString value = arguments.at(++i);
        if (option == u"--data"_s) {
            options.dataDir = value;
        } else if (option == u"--user"_s) {
            options.user = value;
        } else if (option == u"--level"_s) {
            bool ok = false;
            options.level = value.toInt(&ok);
            if (!ok || options.level < 0 || options.level > 99)
                options.error = u"the level is a number from 0 to 99: "_s + value;
        } else if (option == u"--date"_s) {
            options.date = QDate::fromString(value, u"yyyyMMdd"_s);
            if (!options.date.isValid())
                options.error = u"the date is written yyyymmdd: "_s + value;
        } else {
            options.error = u"unknown option "_s + option;
        }
        if (!options.error.isEmpty())
            break;
    }
    return options;
}

QString usage()
{
    return u"usage: tallic-menu [--data DIR] [--demo] [--user NAME] [--level NN] "
           u"[--date YYYYMMDD] [--postgres]\n\n"
           u"Starts Tallic in the data folder DIR (demo-data unless given) as the suite's menu "
           u"does: the companion programs linked in under their suite names, the working date "
           u"on the clipboard. Exits with Tallic's exit status: non-zero when it refused to "
           u"start.\n"
           u"  --data DIR       the club's data folder, which must be there (tallic-club new "
           u"makes one)\n"
           u"  --demo           make DIR and a demo club in it when it holds no database\n"
           u"  --user NAME      the operator (JONES)\n"
           u"  --level NN       the operator's access level, 0 to 99 (99)\n"
           u"  --date YYYYMMDD  the working date (today)\n"
           u"  --postgres       the demo on the server that DIR's tallic.ini names\n"_s;
}

QString launchString(const Options &options)
{
    return u"KQV"_s + QString::number(options.level).rightJustified(2, u'0') + options.user;
}

namespace {

// Whether the server holds the suite's daily schema; the reason when that cannot be told.
Result<bool> serverHoldsDemo(const DataSource &source)
{
    const QString connection = u"menu-probe"_s;
    Result<bool> there = false;
    {
        QSqlError error;
        const QSqlDatabase db
            = openSuiteDatabase(connection, source, u"daily.mdb"_s, Access::ReadOnly, error);
        there = db.isOpen();
        if (!db.isOpen()
            && (jetErrorNumber(error) != JetError::FileNotFound || !error.driverText().isEmpty()))
            there = Failure(0, error.driverText().isEmpty() ? error.text() : error.driverText());
    }
    QSqlDatabase::removeDatabase(connection);
    return there;
}

} // namespace

Result<bool> prepareDataFolder(const QString &folder, const QDate &today, bool onServer, bool demo)
{
    QDir dir(folder);
    if (!dir.exists() && !QDir().mkpath(folder))
        return false;
    const DataSource source = dataSourceOf(dir.absolutePath());
    if (onServer && !source.onServer())
        return Failure(0,
                       u"--postgres needs a tallic.ini in "_s + dir.absolutePath()
                           + u" that names the server ([database] driver=postgres, host, "
                             u"port, database, user)."_s);
    if (source.onServer()) {
        const Result<bool> there = serverHoldsDemo(source);
        if (!there)
            return there.failure();
        if (*there)
            return false;
    } else if (!dir.entryList({ u"*.mdb"_s, u"*.MDB"_s }, QDir::Files).isEmpty()) {
        return false;
    }
    // Demo rows only on request: a folder without databases is Tallic's to refuse.
    if (!demo)
        return false;
    // A new club, as an office makes one, and the demo's rows in it.
    club::Console console;
    Result<void> made = club::createClub(source, today, console);
    if (made)
        made = addDemoRows(dir.absolutePath(), today);
    if (!made)
        return made.failure();
    return true;
}

void installGuide(const QString &folder)
{
    // Help shows it in the text viewer; an operator's own copy is never overwritten.
    const QString guide = QDir(folder).filePath(u"arinput.txt.txt"_s);
    if (!QFile::exists(guide) && QFile::copy(u":/arinput.txt.txt"_s, guide))
        QFile::setPermissions(
            guide, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

QStringList linkCompanions(const QString &folder, const QString &buildDir)
{
    // Suite name of each companion, and the stand-in built for it (when it exists yet).
    const std::pair<const char *, const char *> companions[] = {
        { "dalmore.exe", "tools/tallic-datepicker" }, { "ombrel.exe", "tools/tallic-lookup" },
        { "tassip.exe", "tools/tallic-lookup" },      { "wennic.exe", "tools/tallic-lookup" },
        { "vuruzad.exe", "tools/tallic-viewer" },     { "ziplet.exe", "tools/tallic-about" },
        { "holvane.exe", "tools/tallic-eom" },        { "prastle.exe", "tools/tallic-workspace" },
        { "dodizara.exe", "tools/tallic-help" },
    };
    QStringList linked;
    for (const auto &[suiteName, standIn] : companions) {
        const QString target = QDir(buildDir).filePath(QString::fromLatin1(standIn));
        if (!QFileInfo(target).isExecutable())
            continue;
        const QString link = QDir(folder).filePath(QString::fromLatin1(suiteName));
        QFile::remove(link);
        if (QFile::link(target, link))
            linked.append(QString::fromLatin1(suiteName));
    }
    return linked;
}

} // namespace tallic::menu

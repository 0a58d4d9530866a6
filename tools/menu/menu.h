#pragma once

#include "basic/result.h"

#include <QDate>
#include <QString>
#include <QStringList>

namespace tallic::menu {

struct Options
{
    QString dataDir = QStringLiteral("demo-data");
    QString user = QStringLiteral("JONES");
    int level = 99;
    QDate date = QDate::currentDate();
    bool postgres = false; // the demo on the server that the folder's tallic.ini names
    bool demo = false; // demo data made where the folder holds no database
    bool help = false;
    QString error; // set when the arguments cannot be read
};

Options parseOptions(const QStringList &arguments);

// The launch string the suite's menu passes: code, two-digit level, user name.
QString launchString(const Options &options);

// The usage and what each option does.
QString usage();

// With demo, the data folder is made when it is not there, and the demo databases where
// it holds none: SQLite files, or the schemas on the server that the
// folder's tallic.ini names (which onServer insists on). True when it made them; the
// failure says why the folder cannot be used.
Result<bool> prepareDataFolder(const QString &folder, const QDate &today, bool onServer, bool demo);

// Puts the operator's guide, which Help shows, into the data folder unless it is there.
void installGuide(const QString &folder);

// Links the companion programs built beside the menu into the data folder under the
// suite's names, so that the entry window finds them there.
QStringList linkCompanions(const QString &folder, const QString &buildDir);

} // namespace tallic::menu

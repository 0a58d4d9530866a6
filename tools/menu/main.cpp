// tallic-menu: starts Tallic as the suite's menu does, on a demo data folder.
//
//   tallic-menu [--data DIR] [--user NAME] [--level NN] [--date YYYYMMDD] [--postgres]
//
// With --postgres the demo's databases are schemas on the PostgreSQL server that DIR's
// tallic.ini names; they are made there when the server has none.

#include "menu.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char *argv[])
{
    // A VNC platform serves one program only: that is Tallic. The menu itself needs no
    // screen, and Tallic gets the platform it was asked for.
    const QByteArray requested = qgetenv("QT_QPA_PLATFORM");
    const bool vnc = requested.startsWith("vnc");
    if (vnc)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);

    const tallic::menu::Options options = tallic::menu::parseOptions(app.arguments().mid(1));
    if (!options.error.isEmpty()) {
        QTextStream(stderr) << "tallic-menu: " << options.error
                            << "\nusage: tallic-menu [--data DIR] [--user NAME] [--level NN] "
                               "[--date YYYYMMDD] [--postgres]\n";
        return 2;
    }
    const QString dataDir = QDir(options.dataDir).absolutePath();
    const tallic::Result<bool> prepared
        = tallic::menu::prepareDataFolder(dataDir, options.date, options.postgres);
    if (prepared && *prepared)
        out << "Demo data created for " << dataDir << Qt::endl;
    // A failure with nothing to tell (a file left unfinished) leaves the folder to the
    // program's own start, which reports what it finds.
    if (!prepared && !prepared.failure().description.isEmpty()) {
        QTextStream(stderr) << "tallic-menu: " << prepared.failure().description << '\n';
        return 1;
    }
    const QString buildDir = QDir(app.applicationDirPath()).filePath(u".."_s);
    tallic::menu::linkCompanions(dataDir, buildDir);
    tallic::menu::installGuide(dataDir);

    const QString program
        = QDir(buildDir).filePath(u"src/"_s + QStringLiteral(TALLIC_PROGRAM_NAME));
    const QString dateText = options.date.toString(u"yyyyMMdd"_s);
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(dateText);
    if (vnc)
        out << "No display: the working date cannot travel on the clipboard; Tallic takes "
               "today's date."
            << Qt::endl;

    QProcess tallic;
    tallic.setProgram(program);
    tallic.setArguments({ tallic::menu::launchString(options) });
    tallic.setWorkingDirectory(dataDir);
    tallic.setProcessChannelMode(QProcess::ForwardedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (vnc)
        environment.insert(u"QT_QPA_PLATFORM"_s, QString::fromLocal8Bit(requested));
    tallic.setProcessEnvironment(environment);
    tallic.start();
    if (!tallic.waitForStarted()) {
        QTextStream(stderr) << "tallic-menu: cannot start " << program << '\n';
        return 1;
    }

    // The clipboard lives with its owner: keep serving the date until Tallic has taken it
    // (it clears the clipboard) or a minute has passed, then wait for Tallic to end.
    bool taken = false;
    QObject::connect(clipboard, &QClipboard::dataChanged, &app, [&] {
        if (!taken && clipboard->text() != dateText) {
            taken = true;
            out << "Tallic has taken the working date " << dateText << Qt::endl;
        }
    });
    QObject::connect(&tallic, &QProcess::finished, &app, [&](int code) { app.exit(code); });
    return app.exec();
}

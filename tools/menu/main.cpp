// tallic-menu: starts Tallic as the suite's menu does, on a club's data folder or a demo one.
//
//   tallic-menu [--data DIR] [--demo] [--user NAME] [--level NN] [--date YYYYMMDD] [--postgres]
//
// With --postgres the demo's databases are schemas on the PostgreSQL server that DIR's
// tallic.ini names; they are made there when the server has none.

#include "display.h"
#include "menu.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {

// Before any screen is asked for: the usage when asked for (0), or arguments (2), a data
// folder (1) or the lack of a display (3) refused; -1 to go on.
int helpOrRefusal(const tallic::menu::Options &options, const QString &dataDir)
{
    if (options.help || !options.error.isEmpty()) {
        QTextStream(options.help ? stdout : stderr)
            << (options.help ? QString() : u"tallic-menu: "_s + options.error + u'\n')
            << tallic::menu::usage();
        return options.help ? 0 : 2;
    }
    if (!options.demo && !QFileInfo(dataDir).isDir()) {
        QTextStream(stderr) << "tallic-menu: there is no data folder " << dataDir
                            << " (tallic-club new makes a club's, --demo a demo club)\n";
        return 1;
    }
    if (const QString problem = tallic::tools::displayProblem(); !problem.isEmpty()) {
        QTextStream(stderr) << "tallic-menu: " << problem << '\n';
        return 3;
    }
    return -1;
}

// Starts Tallic in the data folder as the suite's menu does, on the platform asked for.
bool startTallic(QProcess &tallic, const QString &program, const tallic::menu::Options &options,
                 const QString &dataDir, const QByteArray &platform)
{
    tallic.setProgram(program);
    tallic.setArguments({ tallic::menu::launchString(options) });
    tallic.setWorkingDirectory(dataDir);
    tallic.setProcessChannelMode(QProcess::ForwardedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!platform.isEmpty())
        environment.insert(u"QT_QPA_PLATFORM"_s, QString::fromLocal8Bit(platform));
    tallic.setProcessEnvironment(environment);
    tallic.start();
    return tallic.waitForStarted();
}

} // namespace

int main(int argc, char *argv[])
{
    // A VNC platform serves one program only: that is Tallic. The menu itself needs no
    // screen, and Tallic gets the platform it was asked for.
    const QByteArray requested = qgetenv("QT_QPA_PLATFORM");
    const bool vnc = requested.startsWith("vnc");
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const tallic::menu::Options options = tallic::menu::parseOptions(arguments);
    const QString dataDir = QDir(options.dataDir).absolutePath();
    if (vnc)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (const int status = helpOrRefusal(options, dataDir); status >= 0)
        return status;
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);

    const tallic::Result<bool> prepared
        = tallic::menu::prepareDataFolder(dataDir, options.date, options.postgres, options.demo);
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
    if (!startTallic(tallic, program, options, dataDir, vnc ? requested : QByteArray())) {
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
    // Tallic's own exit status: non-zero when it refused to start, or crashed.
    QObject::connect(&tallic, &QProcess::finished, &app,
                     [&](int code, QProcess::ExitStatus status) {
                         app.exit(status == QProcess::NormalExit ? code : 1);
                     });
    return app.exec();
}

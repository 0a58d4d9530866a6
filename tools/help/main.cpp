// tallic-help: the suite's help program, installed in the data folder as dodizara.exe.
// Opens the manual named on its command line with the desktop's viewer. Without the
// manual it leaves "NOHELP" on the clipboard, which tells the caller to show its own text
// instead, and serves it for the few seconds the caller needs to read it.

#include "clipboardserver.h"
#include "platform/platform.h"
#include "tallicwatch.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tallic::tools::endWithTallic();
    const QString name = app.arguments().value(1).trimmed();
    const QString path = name.isEmpty() ? QString() : tallic::findInWorkingFolder(name);
    if (!path.isEmpty()
        && QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())))
        return 0;

    tallic::tools::ClipboardServer server;
    server.setLimit(5000);
    QObject::connect(&server, &tallic::tools::ClipboardServer::taken, &app,
                     &QCoreApplication::quit);
    server.serve(QStringLiteral("NOHELP"));
    app.exec();
    return 1;
}

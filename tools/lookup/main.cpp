// tallic-lookup: the suite's lookups, installed in the data folder as ombrel.exe (level-1
// G/L accounts), tassip.exe (members) and wennic.exe (employees). The number chosen
// reaches the program that started it through the clipboard.

#include "lookup.h"
#include "tallicwatch.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tallic::tools::endWithTallic();
    // Hiding the window after a choice must not end the program: the number is served.
    QApplication::setQuitOnLastWindowClosed(false);

    // The name it was started under, not the file a link leads to, says which list.
    const QString name = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    const std::optional<tallic::lookup::Face> face = tallic::lookup::faceOf(name);
    if (!face) {
        QMessageBox::critical(nullptr, QStringLiteral("Lookup"),
                              QStringLiteral("Started as %1, which names no lookup: start it as "
                                             "ombrel.exe, tassip.exe or wennic.exe.")
                                  .arg(name));
        return 2;
    }
    tallic::lookup::LookupWindow window(*face, tallic::tools::ClipboardServer::startedMark());
    QObject::connect(&window, &tallic::lookup::LookupWindow::finished, &app,
                     &QCoreApplication::exit, Qt::QueuedConnection);
    window.load();
    window.show();
    window.raise();
    window.activateWindow();
    return app.exec();
}

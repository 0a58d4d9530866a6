// tallic-workspace: the suite's workspace editor, installed in the data folder as
// prastle.exe and started with "WJX" + level + user; the date to work on comes on the
// clipboard. It shows that day's chits batch by batch with each batch's totals, and
// prints a batch proof.

#include "tallicwatch.h"
#include "workspace.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tallic::tools::endWithTallic();
    const QString title = QStringLiteral("Workspace Editor");
    if (!app.arguments().value(1).startsWith(QStringLiteral("WJX"))) {
        QMessageBox::critical(nullptr, title,
                              QStringLiteral("Start it from the entry window's Workspace Editor "
                                             "command."));
        return 2;
    }
    const QString clip = QGuiApplication::clipboard()->text().trimmed();
    bool number = false;
    const qint32 date = clip.toInt(&number);
    if (!number || clip.size() != 8) {
        QMessageBox::critical(nullptr, title,
                              QStringLiteral("No date to work on came on the clipboard."));
        return 1;
    }
    tallic::workspace::Workday day;
    if (!day.load(date)) {
        QMessageBox::critical(nullptr, title,
                              QStringLiteral("The chits cannot be read: ") + day.problem());
        return 1;
    }
    tallic::workspace::WorkspaceWindow window(day);
    window.show();
    return app.exec();
}

// tallic-viewer: the suite's text viewer, installed in the data folder as vuruzad.exe.
// Shows the file named on its command line, read-only; a missing file is said so.

#include "platform/platform.h"
#include "tallicwatch.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QShortcut>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tallic::tools::endWithTallic();
    const QString name = app.arguments().value(1).trimmed();
    const QString path = tallic::findInWorkingFolder(name);

    QPlainTextEdit view;
    view.setReadOnly(true);
    view.setWindowTitle(name.isEmpty() ? QStringLiteral("Viewer") : name);
    view.resize(720, 560);
    QFile file(path);
    const bool shown = !path.isEmpty() && file.open(QIODevice::ReadOnly);
    if (shown) {
        // The suite writes its texts in the Western code page.
        view.setPlainText(QString::fromLatin1(file.readAll()));
    } else {
        view.setPlainText(name.isEmpty()
                              ? QStringLiteral("No file was named to show.")
                              : QStringLiteral("The file %1 is not in this folder.").arg(name));
    }
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), &view);
    QObject::connect(escape, &QShortcut::activated, &view, &QWidget::close);
    view.show();
    const int closed = app.exec();
    return shown ? closed : 1;
}

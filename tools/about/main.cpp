// tallic-about: the suite's version information, installed in the data folder as
// ziplet.exe. Its command line is "user@program version     SysUser: n".

#include "tallicwatch.h"
#include <QApplication>
#include <QMessageBox>
#include <QRegularExpression>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tallic::tools::endWithTallic();
    const QString line = app.arguments().mid(1).join(QLatin1Char(' '));
    static const QRegularExpression shape(
        QStringLiteral("^\\s*([^@]*)@(\\S+)\\s+(\\S+)\\s+SysUser:\\s*(.*)$"));
    const QRegularExpressionMatch match = shape.match(line);
    if (!match.hasMatch()) {
        QMessageBox::critical(nullptr, QStringLiteral("About"),
                              QStringLiteral("No version information came with the command "
                                             "line \"%1\".")
                                  .arg(line));
        return 2;
    }
    QMessageBox::information(
        nullptr, QStringLiteral("About %1").arg(match.captured(2)),
        QStringLiteral("%1, version %2\n\nUser: %3\nSystem user number: %4")
            .arg(match.captured(2), match.captured(3), match.captured(1), match.captured(4)));
    return 0;
}

// tallic-datepicker: the suite's calendar, installed in the data folder as dalmore.exe.
// The chosen date reaches the program that started it through the clipboard.

#include "datepicker.h"
#include "tallicwatch.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tallic::tools::endWithTallic();
    // Hiding the window after a pick must not end the program: the date is still served.
    QApplication::setQuitOnLastWindowClosed(false);

    // Tallic names the day to open on (yyyymmdd) when it is not today.
    const QDate given = QDate::fromString(app.arguments().value(1), QStringLiteral("yyyyMMdd"));
    tallic::datepicker::DatePicker picker(given.isValid() ? given : QDate::currentDate());
    QObject::connect(&picker, &tallic::datepicker::DatePicker::finished, &app,
                     &QCoreApplication::quit, Qt::QueuedConnection);
    picker.show();
    picker.raise();
    picker.activateWindow();
    return app.exec();
}

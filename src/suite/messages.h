#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

namespace tallic {

// The operator's boxes and the activity log. They work on the shared state: the message
// is composed in MsgText before the call, and MsgText is where results are left.

// Asks MsgText under the title MsgTitle with Yes and No (No the default); MsgAnswer
// becomes 6 for Yes, 7 for No.
void AskYesNo();

// Shows MsgText with OK and the critical icon, title "Varnest".
void ShowCritical();

// Sets MsgText to "Access denied." and shows it with OK and the information icon.
void ShowAccessDenied();

// Reports the run-time error being handled (ErrNumber, ErrDescription) with the table of
// codes, then logs its code and description. Does nothing while no error is pending. It
// never raises an error of its own: the error being handled is left as it was.
void ReportError();

// Appends one line (date, time, UserName, LocationText and MsgText) to the activity log,
// lastbkup.dat for the location "Backup/Restore", admlog.ini otherwise. False when the
// file cannot be written; the failure is then the run-time error in ErrNumber and
// ErrDescription, for the caller's handler.
bool LogActivity();

// The lines of the error-code table, in the order they are shown.
const QStringList &errorCodeTable();

// The text of the error report box: the code and description, a blank line, the table.
QString errorReportText(qint32 number, const QString &description);

// The log file for a location, and the line written to it (without the line end).
QString activityLogFile(const QString &location);
QString activityLine(const QDate &date, const QTime &time, const QString &user,
                     const QString &location, const QString &message);

} // namespace tallic

#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

#include "basic/result.h"

namespace tallic {

// The operator's boxes and the activity log.

// Asks the question with Yes and No (No the default); true for Yes.
bool AskYesNo(const QString &text, const QString &title);

// Shows the text with OK and the critical icon, title "Varnest".
void ShowCritical(const QString &text);

// Shows "Access denied." with OK and the information icon.
void ShowAccessDenied();

struct Notice;
// A posting rule's box: its title and text, with the critical or the information icon.
void showNotice(const Notice &notice);

// Reports a run-time failure with the table of codes, then logs its code and description.
// Does nothing for a failure without a number. It never fails itself: a log that cannot
// be written is let go.
void ReportError(const Failure &failure);

// Appends one line (date, time, UserName, LocationText and the message) to the activity
// log, lastbkup.dat for the location "Backup/Restore", admlog.ini otherwise; the failure
// when the file cannot be written.
Result<void> LogActivity(const QString &message);

// The lines of the error-code table, in the order they are shown.
const QStringList &errorCodeTable();

// The text of the error report box: the code and description, a blank line, the table.
QString errorReportText(qint32 number, const QString &description);

// The log file for a location, and the line written to it (without the line end).
QString activityLogFile(const QString &location);
QString activityLine(const QDate &date, const QTime &time, const QString &user,
                     const QString &location, const QString &message);

} // namespace tallic

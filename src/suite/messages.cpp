#include "messages.h"

#include "basic/postingrules.h"
#include "platform/platform.h"
#include "platform/runtime.h"
#include "sharedstate.h"
#include "store/database.h"
#include "today.h"

#include <QFile>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

const QString Varnest = u"Varnest"_s;

// The run-time error a failed log write stands for (the file could not be opened or written).
constexpr qint32 FileAccessError = 75;

QString errorHeading(qint32 number, const QString &description)
{
    return u"Code "_s + QString::number(number) + u" - "_s + description;
}

} // namespace

bool AskYesNo(const QString &text, const QString &title)
{
    return MsgBox(text, BoxButtons::YesNo, BoxIcon::Question, title) == AnswerYes;
}

void ShowCritical(const QString &text)
{
    MsgBox(text, BoxButtons::Ok, BoxIcon::Critical, Varnest);
}

void showNotice(const Notice &notice)
{
    MsgBox(notice.text, BoxButtons::Ok, notice.critical ? BoxIcon::Critical : BoxIcon::Information,
           notice.title);
}

void ShowAccessDenied()
{
    MsgBox(u"Access denied."_s, BoxButtons::Ok, BoxIcon::Information, Varnest);
}

const QStringList &errorCodeTable()
{
    static const QStringList table {
        u"FYI - other possible codes and their explanations"_s,
        u"    13 = An alpha character exists for a numeric field"_s,
        u"    53 = A database is missing. Call Pellmoor."_s,
        u"3018 = Data field is missing. Call Pellmoor."_s,
        u"3021 = There is no data available"_s,
        u"3022 = Duplicate: the number for this record already exists"_s,
        u"3024 = Data file or table is missing. Run UPDATE"_s,
        u"3043 = Exit Varnest, restart and try again."_s,
        u"3049 = Corrupt database - use the Database Repair Tool"_s,
        u"3186-3188 = Another user is using this database. Try again later."_s,
        u"3000 or 8194 = "_s + lockedDatabaseText(),
        u"3420 = Close and restart the module to try again."_s,
        u"20500-20900 = Crystal Report errors. Try restarting the computer. "_s,
        u"Other codes - call Pellmoor"_s,
    };
    return table;
}

QString errorReportText(qint32 number, const QString &description)
{
    return errorHeading(number, description) + u"\n\n"_s + errorCodeTable().join(u'\n');
}

void ReportError(const Failure &failure)
{
    if (failure.number == 0)
        return;
    MsgBox(errorReportText(failure.number, failure.fullText()), BoxButtons::Ok,
           BoxIcon::Information, u"Varnest Codes"_s);
    // The log keeps one line per event, so the blank line of the box stays out of it; a
    // log that cannot be written must not stop the caller, who is handling a failure.
    (void)LogActivity(errorHeading(failure.number, failure.fullText()));
}

QString activityLogFile(const QString &location)
{
    return location == u"Backup/Restore"_s ? u"lastbkup.dat"_s : u"admlog.ini"_s;
}

QString activityLine(const QDate &date, const QTime &time, const QString &user,
                     const QString &location, const QString &message)
{
    return dateText(date) + u'-' + time.toString(u"HH:mm:ss"_s) + u'-' + user + u'-' + location
        + u'-' + message;
}

Result<void> LogActivity(const QString &message)
{
    const Session &s = session();
    const QString name = activityLogFile(s.LocationText);
    // The suite may have created the file under another letter case; append to that one.
    const QString existing = findInWorkingFolder(name);
    QFile file(existing.isEmpty() ? name : existing);

    const QByteArray line = (activityLine(platform().today(), platform().timeOfDay(), s.UserName,
                                          s.LocationText, message)
                             + u"\r\n"_s)
                                .toUtf8();
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Append);
    if (written) {
        written = file.write(line) == line.size() && file.flush();
        file.close();
    }
    if (!written)
        return Failure { FileAccessError, u"Path/File access error"_s };
    // Other workstations may be waiting on this one's read locks.
    DbFreeLocks();
    return {};
}

} // namespace tallic

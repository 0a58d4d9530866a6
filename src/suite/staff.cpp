#include "staff.h"

#include "platform/platform.h"
#include "platform/runtime.h"
#include "sharedstate.h"
#include "store/database.h"

#include <QSqlQuery>
#include <QVariant>

#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

void SetStaffLocation(const QString &location)
{
    Session &s = session();
    s.LocationText = location;
    s.UserName = s.UserName.trimmed().toUpper();

    // Each step goes on whatever the one before it did: where the user is recorded is
    // worth a try, never a stop.
    SuiteDb db(u"user.mdb"_s);
    (void)db.transaction(SuiteDb::Writes::WithCommit);
    (void)db.execPrepared(u"update staff set location = ?, work = '' where ucase$(username) = ?"_s,
                          { s.LocationText, s.UserName });
    if (!db.commit())
        (void)db.rollback();
    DoEvents();

    {
        Result<QSqlQuery> query
            = db.query(u"select sysuser from staff where ucase$(username) = ?"_s, { s.UserName });
        if (query && query->next()) {
            const QVariant value = query->value(0);
            bool number = true;
            const qlonglong sysUser = value.isNull() ? 0 : value.toLongLong(&number);
            if (number && sysUser >= std::numeric_limits<qint16>::min()
                && sysUser <= std::numeric_limits<qint16>::max())
                s.SysUser = QString::number(sysUser);
        }
        if (query)
            query->finish();
    }
    db.close();
    DbFreeLocks();
}

QString dateInUseText(const QString &workDateText, const QString &otherUser)
{
    return u"FYI.....\n\n"_s + workDateText + u" is currently in use by user: "_s + otherUser;
}

std::optional<QString> CheckDateInUse(const QString &workDateText)
{
    if (workDateText.isEmpty())
        return std::nullopt;

    // A date that cannot be checked is let through without a word.
    std::optional<QString> otherUser;
    {
        SuiteDb db(u"user.mdb"_s);
        // The staff table compares names without regard to case, as Jet does, so the
        // user's own row never counts whatever case it was stored in.
        Result<QSqlQuery> query
            = db.query(u"select * from staff where work = ? and username <> ?"_s,
                       { workDateText, session().UserName });
        DoEvents();
        if (query && query->next())
            otherUser = query->value(u"username"_s).toString();
        if (query)
            query->finish();
        db.close();
        DoEvents();
    }
    DbFreeLocks();
    if (otherUser) {
        MsgBox(dateInUseText(workDateText, *otherUser), BoxButtons::Ok, BoxIcon::Information,
               u"Protected/Shared Issue"_s);
    }
    return otherUser;
}

void warnOfSharedDate(const QString &workDateText, const QString &advice)
{
    if (const std::optional<QString> other = CheckDateInUse(workDateText)) {
        MsgBox(dateInUseText(workDateText, *other) + u"\n\n"_s + advice, BoxButtons::Ok,
               BoxIcon::Information, u"Shared Date"_s);
    }
}

} // namespace tallic

#include "staff.h"

#include "database.h"
#include "platform/platform.h"
#include "platform/runtime.h"
#include "sharedstate.h"

#include <QSqlQuery>
#include <QVariant>

#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

void SetStaffLocation()
{
    SharedState &s = state();
    s.UserName = s.UserName.trimmed().toUpper();

    // Each step goes on whatever the one before it did: where the user is recorded is
    // worth a try, never a stop.
    SuiteDb db(u"user.mdb"_s);
    db.transaction();
    db.execPrepared(u"update staff set location = ?, work = '' where ucase$(username) = ?"_s,
                    { s.LocationText, s.UserName });
    if (!db.commit())
        db.rollback();
    DoEvents();

    {
        QSqlQuery query
            = db.query(u"select sysuser from staff where ucase$(username) = ?"_s, { s.UserName });
        if (!db.failed() && query.next()) {
            const QVariant value = query.value(0);
            bool number = true;
            const qlonglong sysUser = value.isNull() ? 0 : value.toLongLong(&number);
            if (number && sysUser >= std::numeric_limits<qint16>::min()
                && sysUser <= std::numeric_limits<qint16>::max())
                s.SysUser = QString::number(sysUser);
        }
        query.finish();
    }
    db.close();
    DbFreeLocks();
}

void CheckDateInUse()
{
    SharedState &s = state();
    if (s.WorkDateText.isEmpty())
        return;

    // A date that cannot be checked is let through without a word.
    bool shared = false;
    QString otherUser;
    {
        SuiteDb db(u"user.mdb"_s);
        // The staff table compares names without regard to case, as Jet does, so the
        // user's own row never counts whatever case it was stored in.
        QSqlQuery query = db.query(u"select * from staff where work = ? and username <> ?"_s,
                                   { s.WorkDateText, s.UserName });
        DoEvents();
        if (!db.failed() && query.next()) {
            shared = true;
            otherUser = query.value(u"username"_s).toString();
        }
        query.finish();
        db.close();
        DoEvents();
    }
    DbFreeLocks();

    if (!shared) {
        s.MsgText = u"OK"_s;
        return;
    }
    s.MsgText
        = u"FYI.....\n\n"_s + s.WorkDateText + u" is currently in use by user: "_s + otherUser;
    MsgBox(s.MsgText, BoxButtons::Ok, BoxIcon::Information, u"Protected/Shared Issue"_s);
}

} // namespace tallic

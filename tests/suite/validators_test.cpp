// The checks of the G/L account, member and employee fields, and the staff's working dates.
#include "suite/sharedstate.h"
#include "suite/staff.h"
#include "suite/validators.h"
#include "testkit/harness.h"
#include "testkit/world.h"

#include <gtest/gtest.h>

#include <functional>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using namespace tallic::testkit;

namespace {

// A refusal the check has shown itself, which sends the operator back to the field.
template<typename T> bool refusedAndShown(const Result<T> &result)
{
    return !result && result.failure().shown;
}

// An unknown account is refused.
TEST(ValidatorsTest, AGLAccountShowsItsStatementTextOrItsNameOrIsRefused)
{
    Harness h;
    struct Case
    {
        QString typed, text;
        qint16 level; // 0: refused
    };
    const Case cases[] = {
        { u"4100"_s, u"Dining Room Food"_s, 1 }, // trailing blanks dropped
        { u"4200"_s, u"Beverage Sales"_s, 1 }, // statement text only blanks
        { u"4300"_s, u"Pro Shop Sales"_s, 1 }, // statement text Null
        { u"4000"_s, u"Club Revenue"_s, 2 }, // the caller refuses the level
        { u"4500.00"_s, u"Dues"_s, 1 },          { u"4010"_s, {}, 0 }, { u"4100.5"_s, {}, 0 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(c.typed));
        h.clearDialogs();
        const Result<GlAccount> account = ValidateGLAccount(c.typed);
        EXPECT_EQ(refusedAndShown(account), c.level == 0);
        if (account) {
            EXPECT_TRUE(account->onFile);
            EXPECT_EQ(account->text, c.text);
            EXPECT_EQ(account->level, c.level);
        }
        const Dialog refusal = box(u"Invalid G/L Account"_s,
                                   u"# "_s + c.typed + u" does not exist"_s, DialogIcon::Critical);
        EXPECT_EQ(h.dialogs(), c.level ? QList<Dialog>() : QList<Dialog> { refusal });
    }
}

// A member is shown with its markers, its class goes to the clipboard; a sub-account is an
// account of its own. A member that is not there, or whose class is not, is refused.
TEST(ValidatorsTest, AMemberIsShownWithItsMarkersAndItsClassOnTheClipboardOrRefused)
{
    Harness h;
    h.exec(u"master"_s,
           u"insert into classcode (classcode, Description) values ('VIP''S', 'Very Important')"_s);
    h.exec(u"master"_s,
           u"insert into acctinfo (acctnumber, lname, fname, taxexempt, suspended, terminated, "
           u"classcode) values (1234, 'SMITH', 'JOHN ', 0, 1, 1, 'REG'),"
           u"(1234.01, 'SMITH', 'JANE', 0, 0, 0, 'REG'), (1235, '  O''BRIEN ', 'PAT', 1, 0, 0, "
           u"'VIP''S'), (1236, null, 'ANN', null, null, null, 'soc'),"
           u"(1237, 'LEE', null, 0, 0, 0, 'REG'), (1238, 'GRAY', 'KIM', -1, 2, -1, 'REG'),"
           u"(1239, 'HOLT', 'SAM', 1, 1, 1, 'SOC'), (1301, 'NASH', 'AMY', 0, 0, 0, null),"
           u"(1302, 'NASH', 'BEN', 0, 0, 0, '  '), (1303, 'NASH', 'CY', 0, 0, 1, 'GONE'),"
           // Sub-accounts stored before their main account, or without one.
           u"(1240.01, 'ROSS', 'JANE', 0, 0, 0, 'REG'), (1239.99, 'DALE', 'JO', 0, 0, 0, 'REG'),"
           u"(1240, 'ROSS', 'JOE', 0, 0, 0, 'REG'), (1241.01, 'VOSS', 'ANN', 0, 0, 0, 'REG')"_s);
    struct Case
    {
        QString typed, text; // empty: refused
        bool terminated;
        QString classText, refusal = {}; // the refusal's title and the start of its text
    };
    const Case cases[] = {
        { u"1234"_s, u"SMITH, JOHN SUSPENDED TERMINATED"_s, 1, u"REG-Regular Member"_s },
        { u"1234.01"_s, u"SMITH, JANE"_s, 0, u"REG-Regular Member"_s },
        { u"1235"_s, u"O'BRIEN, PAT TaxExempt"_s, 0, u"VIP'S-Very Important"_s },
        // No last name: the first name follows the number as typed.
        { u"1236"_s, u"1236, ANN"_s, 0, u"SOC-Social Member"_s },
        { u"1237"_s, u"LEE"_s, 0, u"REG-Regular Member"_s },
        // Only exactly 1 marks a flag.
        { u"1238"_s, u"GRAY, KIM"_s, 0, u"REG-Regular Member"_s },
        { u"1239"_s, u"HOLT, SAM TaxExempt SUSPENDED TERMINATED"_s, 1, u"SOC-Social Member"_s },
        { u"1027"_s, u"COOPER, CHARLES TERMINATED"_s, 1, u"REG-Regular Member"_s },
        { u"1299"_s, {}, 0, {}, u"Member # Check:Invalid member number!"_s },
        { u"1240"_s, u"ROSS, JOE"_s, 0, u"REG-Regular Member"_s },
        { u"1241"_s, {}, 0, {}, u"Member # Check:Invalid member number!"_s },
        // A class code that names no class, a Null or blank one too, is a damaged register.
        { u"1301"_s, {}, 0, {}, u"Varnest Codes:Code 3021 - No current record.\n\n"_s },
        { u"1302"_s, {}, 0, {}, u"Varnest Codes:Code 3021 - No current record.\n\n"_s },
        { u"1303"_s, {}, 0, {}, u"Varnest Codes:Code 3021 - No current record.\n\n"_s },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(c.typed));
        h.clearDialogs();
        h.setClipboard(u"Balance: 12.50"_s);
        const Result<MemberAccount> member = ValidateMember(c.typed);
        EXPECT_EQ(refusedAndShown(member), c.text.isEmpty());
        if (member) {
            EXPECT_EQ(member->description, c.text);
            EXPECT_EQ(member->terminated, c.terminated);
            EXPECT_EQ(member->classText, c.classText);
        }
        EXPECT_EQ(h.clipboard(), c.classText);
        const QStringList refusal = c.refusal.split(u':');
        ASSERT_EQ(h.dialogs().size(), c.refusal.isEmpty() ? 0 : 1);
        if (!c.refusal.isEmpty()) {
            EXPECT_EQ(h.dialogs().at(0).title, refusal.at(0));
            EXPECT_TRUE(h.dialogs().at(0).text.startsWith(refusal.at(1)))
                << qPrintable(h.dialogs().at(0).text);
        }
    }
}

// An operator number is not an employee id, and an access number matches only as stored.
TEST(ValidatorsTest, AnEmployeeIsShownAsTheLookupAsksOrIsRefused)
{
    Harness h;
    h.exec(u"emp"_s,
           u"insert into empinfo (empid, emplname, empfname, operator, accessnum) values "
           u"(309, 'KANE', null, 19, null), (310, ' O''BRIEN ', 'PAT ', 20, '5''1'), "
           u"(311, 'DEE', 'ROY', 21, ' 77')"_s);
    struct Case
    {
        qint16 empValidate;
        QString typed, text; // empty text: refused
    };
    const Case cases[] = {
        { 0, u"305"_s, u"ANN LEE"_s },
        { 0, u"310"_s, u"PAT O'BRIEN"_s },
        { 0, u"309"_s, u"309 KANE"_s }, // no first name: the last follows the number
        { 1, u"12"_s, u"#:305  ANN LEE  Op:12  Ac:"_s },
        { 2, u"4301"_s, u"#:301  ROBERT GREEN  Op:11  Ac:4301"_s },
        { 2, u"4308"_s, u"#:308  HENRY WRIGHT  Op:  Ac:4308"_s },
        { 2, u" 77"_s, u"#:311  ROY DEE  Op:21  Ac: 77"_s }, // as typed, blank included
        { 2, u"5'1"_s, u"#:310  PAT O'BRIEN  Op:20  Ac:5'1"_s },
        { 0, u"999"_s, {} },
        { 1, u"305"_s, {} },
        { 2, u"77"_s, {} },
        { 2, u"4301 "_s, {} },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(QString::number(c.empValidate) + u' ' + c.typed));
        h.clearDialogs();
        const Result<Employee> employee = ValidateEmployee(c.typed, employeeLookup(c.empValidate));
        EXPECT_EQ(refusedAndShown(employee), c.text.isEmpty());
        EXPECT_EQ(employee ? employee->description : QString(), c.text);
        const Dialog refusal
            = box(u"Employee # Check"_s, u"Invalid employee number!"_s, DialogIcon::Critical);
        EXPECT_EQ(h.dialogs(), c.text.isEmpty() ? QList<Dialog> { refusal } : QList<Dialog>());
    }
}

// As a new batch or the date field does it: the other user, or none.
QString checkDate(const QString &user, const QString &date)
{
    session().UserName = user;
    return CheckDateInUse(date).value_or(u"none"_s);
}

// A user without a row, or without user.mdb, goes on quietly.
TEST(StaffTest, AUserWithoutARowOrWithoutUserMdbGoesOnQuietly)
{
    Harness h;
    const QString staff
        = u"select username, location, work, sysuser from staff order by username"_s;
    const QList<QVariantList> before = h.rows(u"user"_s, staff);
    session().UserName = u" nobody "_s;
    session().SysUser = u"3"_s;
    SetStaffLocation(u"A/R Chit"_s);
    EXPECT_EQ(session().UserName, u"NOBODY"_s);
    EXPECT_EQ(session().SysUser, u"3"_s);
    EXPECT_EQ(h.rows(u"user"_s, staff), before);

    h.removeDatabase(u"user"_s);
    session().UserName = u"jones"_s;
    SetStaffLocation(u"A/R Chit"_s);
    EXPECT_EQ(session().UserName, u"JONES"_s);
    EXPECT_EQ(checkDate(u"JONES"_s, u"20240301"_s), u"none"_s);
    EXPECT_TRUE(h.dialogs().isEmpty());
    EXPECT_FALSE(h.databaseExists(u"user"_s));
}

// Another user's row with the whole date is named; the user's own row is not.
TEST(StaffTest, AnotherUserOnTheSameDateIsNamed)
{
    Harness h;
    h.exec(u"user"_s,
           u"insert into staff (username, location, work) values ('O''BRIEN', 'GL', '20240305'),"
           u"('Lee', 'GL', '2024030')"_s);
    h.exec(u"user"_s, u"update staff set work = '20240301' where username = 'SMITH'"_s);
    const std::tuple<QString, QString, QString> cases[] = {
        { u"JONES"_s, u"20240301"_s, u"SMITH"_s },
        { u"JONES"_s, u"20240305"_s, u"O'BRIEN"_s },
        { u"O'BRIEN"_s, u"20240301"_s, u"SMITH"_s },
        { u"SMITH"_s, u"20240301"_s, {} },
        { u"smith"_s, u"20240301"_s, {} },
        { u"o'brien"_s, u"20240305"_s, {} },
        { u"JONES"_s, u"20240302"_s, {} },
        { u"JONES"_s, u"202403"_s, {} },
        { u"LEE"_s, u"2024030"_s, {} },
    };
    for (const auto &[user, date, other] : cases) {
        SCOPED_TRACE(qPrintable(user + u' ' + date));
        h.clearDialogs();
        const QString warning
            = u"FYI.....\n\n"_s + date + u" is currently in use by user: "_s + other;
        EXPECT_EQ(checkDate(user, date), other.isEmpty() ? u"none"_s : other);
        const Dialog shown = box(u"Protected/Shared Issue"_s, warning, DialogIcon::Information);
        EXPECT_EQ(h.dialogs(), other.isEmpty() ? QList<Dialog>() : QList<Dialog> { shown });
    }
    // No date, no check: SMITH's empty work item would match an empty date.
    h.exec(u"user"_s, u"update staff set work = '' where username = 'SMITH'"_s);
    EXPECT_EQ(checkDate(u"JONES"_s, QString()), u"none"_s);
    EXPECT_TRUE(h.dialogs().isEmpty());
}

} // namespace

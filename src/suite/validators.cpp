#include "validators.h"

#include "basic/masks.h"
#include "basic/numbers.h"
#include "basic/text.h"
#include "messages.h"
#include "platform/platform.h"
#include "platform/runtime.h"
#include "store/database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// A column's value as text, numbers without a trailing ".0"; Null is the empty text.
QString valueText(const QVariant &value)
{
    if (value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::LongLong:
    case QMetaType::Int:
        return shortestNumber(value.toDouble());
    default:
        return value.toString();
    }
}

// The suite's flags are set only by exactly 1; a boolean true stored as -1 is not.
bool flagSet(const QVariant &value)
{
    return !value.isNull() && value.toDouble() == 1.0;
}

// A database that cannot be read is reported here, and the field is keyed again.
Failure refuseOnFailure(Failure failure)
{
    ReportError(failure);
    failure.shown = true;
    return failure;
}

// Steps to the first row of the statement just run: true when there is one, false when
// there is none; a failure is reported and refused.
Result<bool> firstRow(const SuiteDb &db, Result<QSqlQuery> &query)
{
    if (!query)
        return refuseOnFailure(query.failure());
    if (query->next())
        return true;
    if (query->lastError().isValid())
        return refuseOnFailure(dbFailure(query->lastError(), db.fileName()));
    return false;
}

// A number not on file. Closed first: a box may stay up for minutes, and other
// workstations should not wait on this one meanwhile.
Failure refuseNotFound(SuiteDb &db, QSqlQuery &query, const QString &text, const QString &title)
{
    query.finish();
    db.close();
    DoEvents();
    MsgBox(text, BoxButtons::Ok, BoxIcon::Critical, title);
    Failure failure { JetError::NoCurrentRecord, text };
    failure.shown = true;
    return failure;
}

void closeUp(SuiteDb &db, QSqlQuery &query)
{
    query.finish();
    db.close();
    DoEvents();
}

// The member's description and markers from his acctinfo row.
MemberAccount memberFromRow(const QSqlQuery &member, const QString &typed)
{
    MemberAccount found;
    found.onFile = true;
    found.description = typed;
    const QVariant lastName = member.value(u"lname"_s);
    const QVariant firstName = member.value(u"fname"_s);
    if (!lastName.isNull())
        found.description = trimBlanks(lastName.toString());
    if (!firstName.isNull())
        found.description += u", "_s + trimBlanks(firstName.toString());
    found.exempt = flagSet(member.value(u"taxexempt"_s));
    found.suspended = flagSet(member.value(u"suspended"_s));
    found.terminated = flagSet(member.value(u"terminated"_s));
    if (found.exempt)
        found.description += u" TaxExempt"_s;
    if (found.suspended)
        found.description += u" SUSPENDED"_s;
    if (found.terminated)
        found.description += u" TERMINATED"_s;
    return found;
}

// The member's class as "CODE-Description", read with the member in one statement. Every
// member has a class: a class code that names no class (blank or Null among them) is a
// damaged register, reported to the operator, and the member is keyed again.
Result<QString> memberClass(SuiteDb &db, const QSqlQuery &row)
{
    if (row.value(u"tallic_classfound"_s).isNull()) {
        db.close();
        return refuseOnFailure(
            { JetError::NoCurrentRecord, u"No current record."_s, db.fileName() });
    }
    return row.value(u"tallic_classfound"_s).toString() + u'-'
        + row.value(u"tallic_classtext"_s).toString();
}

} // namespace

Result<GlAccount> ValidateGLAccount(const QString &typed)
{
    const double n = Val(trimBlanks(typed));
    if (n == 0)
        return GlAccount();

    SuiteDb db(u"gl.mdb"_s);
    const Result<void> opened = db.open();
    DoEvents();
    if (!opened)
        return refuseOnFailure(opened.failure());
    Result<QSqlQuery> read = db.query(u"select glacctnum, glacctname,glstatementdesc, glaccttype, "
                                      u"gllevel from gl0 where glacctnum = "_s
                                      + shortestNumber(n));
    DoEvents();
    const Result<bool> found = firstRow(db, read);
    if (!found)
        return found.failure();
    QSqlQuery &query = *read;
    if (!*found)
        return refuseNotFound(db, query, u"# "_s + shortestNumber(n) + u" does not exist"_s,
                              u"Invalid G/L Account"_s);

    GlAccount account { true, query.value(1).toString(), qint16(query.value(4).toInt()) };
    const QVariant statementText = query.value(2);
    if (!statementText.isNull()) {
        const QString trimmed = trimBlanks(statementText.toString());
        if (!trimmed.isEmpty())
            account.text = trimmed;
    }
    closeUp(db, query);
    return account;
}

Result<MemberAccount> ValidateMember(const QString &typed)
{
    const double n = Val(trimBlanks(typed));
    if (n == 0) {
        MemberAccount blank;
        blank.description = typed;
        return blank;
    }

    platform().clearClipboard();
    DoEvents();
    SuiteDb db(u"master.mdb"_s);
    const Result<void> opened = db.open();
    DoEvents();
    if (!opened)
        return refuseOnFailure(opened.failure());
    // Between the two bounds, so that 1234 finds the main account and never its
    // sub-accounts .01 to .99, whatever the stored number's last binary digit.
    Result<QSqlQuery> read = db.query(
        u"select a.*, c.classcode as tallic_classfound, c.Description as tallic_classtext "
        u"from acctinfo a left join classcode c on c.classcode = a.classcode "
        u"where a.acctnumber between "_s
        + shortestNumber(n - 0.001) + u" and "_s + shortestNumber(n + 0.001));
    DoEvents();
    const Result<bool> found = firstRow(db, read);
    if (!found)
        return found.failure();
    QSqlQuery &row = *read;
    if (!*found)
        return refuseNotFound(db, row, u"Invalid member number!"_s, u"Member # Check"_s);

    MemberAccount member = memberFromRow(row, typed);
    const Result<QString> classText = memberClass(db, row);
    row.finish();
    if (!classText)
        return classText.failure();
    member.classText = *classText;
    platform().clearClipboard();
    DoEvents();
    platform().setClipboardText(member.classText);
    DoEvents();
    db.close();
    DoEvents();
    return member;
}

void putClipboardBack(const QString &kept)
{
    if (platform().clipboardText() == kept)
        return;
    if (kept.isEmpty())
        platform().clearClipboard();
    else
        platform().setClipboardText(kept);
}

EmployeeLookup employeeLookup(qint16 empValidate)
{
    switch (empValidate) {
    case 1:
        return EmployeeLookup::OperatorNumber;
    case 2:
        return EmployeeLookup::AccessNumber;
    case 3:
        return EmployeeLookup::Off;
    default:
        return EmployeeLookup::EmployeeId;
    }
}

Result<Employee> ValidateEmployee(const QString &typed, EmployeeLookup lookup)
{
    const double n = Val(trimBlanks(typed));
    if (n == 0 || lookup == EmployeeLookup::Off)
        return Employee { false, typed };

    SuiteDb db(u"emp.mdb"_s);
    const Result<void> opened = db.open();
    DoEvents();
    if (!opened)
        return refuseOnFailure(opened.failure());
    QString condition;
    if (lookup == EmployeeLookup::OperatorNumber)
        condition = u" where operator = "_s + shortestNumber(n);
    else if (lookup == EmployeeLookup::AccessNumber)
        condition = u" where accessnum = "_s + sqlLiteral(typed);
    else
        condition = u" where empid = "_s + shortestNumber(n);
    Result<QSqlQuery> read = db.query(
        u"select empid, emplname, empfname, operator, accessnum from empinfo"_s + condition);
    DoEvents();
    const Result<bool> found = firstRow(db, read);
    if (!found)
        return found.failure();
    QSqlQuery &query = *read;
    if (!*found)
        return refuseNotFound(db, query, u"Invalid employee number!"_s, u"Employee # Check"_s);

    QString name = typed;
    if (!query.value(2).isNull())
        name = trimBlanks(query.value(2).toString());
    if (!query.value(1).isNull())
        name += u' ' + trimBlanks(query.value(1).toString());
    if (lookup != EmployeeLookup::EmployeeId) {
        // Two blanks between the parts, as the suite's other modules show an employee.
        name = u"#:"_s + valueText(query.value(0)) + u"  "_s + name + u"  Op:"_s
            + valueText(query.value(3)) + u"  Ac:"_s + valueText(query.value(4));
    }
    closeUp(db, query);
    return Employee { true, name };
}

} // namespace tallic

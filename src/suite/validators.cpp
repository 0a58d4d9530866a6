#include "validators.h"

#include "basic/masks.h"
#include "basic/numbers.h"
#include "basic/text.h"
#include "database.h"
#include "messages.h"
#include "platform/platform.h"
#include "platform/runtime.h"
#include "sharedstate.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

const QString Redo = u"REDO"_s;

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
void refuseOnFailure()
{
    SharedState &s = state();
    ReportError();
    clearError();
    s.MsgText = Redo;
}

void refuseOnFailure(const QSqlError &error)
{
    passOnDbError(error);
    refuseOnFailure();
}

enum class Lookup { Found, NotFound, Failed };

// Steps to the first row of the statement just run; a failure is reported and refused.
Lookup firstRow(SuiteDb &db, QSqlQuery &query)
{
    if (db.failed()) {
        refuseOnFailure(db.error());
        return Lookup::Failed;
    }
    if (query.next())
        return Lookup::Found;
    if (query.lastError().isValid()) {
        refuseOnFailure(query.lastError());
        return Lookup::Failed;
    }
    return Lookup::NotFound;
}

// A number not on file. Closed first: a box may stay up for minutes, and other
// workstations should not wait on this one meanwhile.
void refuseNotFound(SuiteDb &db, QSqlQuery &query, const QString &text, const QString &title)
{
    query.finish();
    db.close();
    DoEvents();
    MsgBox(text, BoxButtons::Ok, BoxIcon::Critical, title);
    state().MsgText = Redo;
}

void closeUp(SuiteDb &db, QSqlQuery &query)
{
    query.finish();
    db.close();
    DoEvents();
}

} // namespace

void ValidateGLAccount()
{
    SharedState &s = state();
    const double n = Val(trimBlanks(s.MsgText));
    if (n == 0)
        return;

    SuiteDb db(u"gl.mdb"_s);
    DoEvents();
    if (db.failed()) {
        refuseOnFailure(db.error());
        return;
    }
    QSqlQuery query = db.query(u"select glacctnum, glacctname,glstatementdesc, glaccttype, "
                               u"gllevel from gl0 where glacctnum = "_s
                               + shortestNumber(n));
    DoEvents();
    const Lookup account = firstRow(db, query);
    if (account != Lookup::Found) {
        if (account == Lookup::NotFound)
            refuseNotFound(db, query, u"# "_s + shortestNumber(n) + u" does not exist"_s,
                           u"Invalid G/L Account"_s);
        return;
    }

    s.GLLevel = qint16(query.value(4).toInt());
    s.GLAcctText = query.value(1).toString();
    const QVariant statementText = query.value(2);
    if (!statementText.isNull()) {
        const QString trimmed = trimBlanks(statementText.toString());
        if (!trimmed.isEmpty())
            s.GLAcctText = trimmed;
    }
    closeUp(db, query);
}

void ValidateMember()
{
    SharedState &s = state();
    const double n = Val(trimBlanks(s.MsgText));
    if (n == 0)
        return;

    platform().clearClipboard();
    DoEvents();
    s.MemberTerminated = 0;

    SuiteDb db(u"master.mdb"_s);
    DoEvents();
    if (db.failed()) {
        refuseOnFailure(db.error());
        return;
    }
    // Between the two bounds, so that 1234 finds the main account and never its
    // sub-accounts .01 to .99, whatever the stored number's last binary digit.
    s.SqlText = u"select * from acctinfo where acctnumber between "_s + shortestNumber(n - 0.001)
        + u" and "_s + shortestNumber(n + 0.001);
    QSqlQuery member = db.query(s.SqlText);
    DoEvents();
    const Lookup found = firstRow(db, member);
    if (found != Lookup::Found) {
        if (found == Lookup::NotFound)
            refuseNotFound(db, member, u"Invalid member number!"_s, u"Member # Check"_s);
        return;
    }

    QString text = s.MsgText;
    bool terminated = false;
    const QVariant lastName = member.value(u"lname"_s);
    const QVariant firstName = member.value(u"fname"_s);
    if (!lastName.isNull())
        text = trimBlanks(lastName.toString());
    if (!firstName.isNull())
        text += u", "_s + trimBlanks(firstName.toString());
    if (flagSet(member.value(u"taxexempt"_s)))
        text += u" TaxExempt"_s;
    if (flagSet(member.value(u"suspended"_s)))
        text += u" SUSPENDED"_s;
    if (flagSet(member.value(u"terminated"_s))) {
        text += u" TERMINATED"_s;
        terminated = true;
    }
    const QVariant classValue = member.value(u"classcode"_s);
    const QString classCode = classValue.isNull() ? QString() : classValue.toString();
    member.finish();

    // Every member has a class: a class code that names no class (blank or Null among
    // them) is a damaged register, reported to the operator, and the member is keyed again.
    QSqlQuery classRow
        = db.query(u"select * from classcode where classcode = "_s + sqlLiteral(classCode));
    const Lookup classFound = firstRow(db, classRow);
    if (classFound != Lookup::Found) {
        if (classFound == Lookup::NotFound) {
            classRow.finish();
            db.close();
            s.ErrNumber = JetError::NoCurrentRecord;
            s.ErrDescription = u"No current record."_s;
            s.ErrLine = 0;
            refuseOnFailure();
        }
        return;
    }
    platform().clearClipboard();
    DoEvents();
    platform().setClipboardText(classRow.value(u"classcode"_s).toString() + u'-'
                                + classRow.value(u"Description"_s).toString());
    DoEvents();
    classRow.finish();
    DoEvents();

    db.close();
    DoEvents();
    s.MsgText = text;
    s.MemberTerminated = terminated ? 1 : 0;
}

void ValidateEmployee()
{
    SharedState &s = state();
    const double n = Val(trimBlanks(s.MsgText));
    if (n == 0 || s.EmpValidate == 3)
        return;

    SuiteDb db(u"emp.mdb"_s);
    DoEvents();
    if (db.failed()) {
        refuseOnFailure(db.error());
        return;
    }
    QString condition;
    if (s.EmpValidate == 1)
        condition = u" where operator = "_s + shortestNumber(n);
    else if (s.EmpValidate == 2)
        condition = u" where accessnum = "_s + sqlLiteral(s.MsgText);
    else
        condition = u" where empid = "_s + shortestNumber(n);
    QSqlQuery query = db.query(
        u"select empid, emplname, empfname, operator, accessnum from empinfo"_s + condition);
    DoEvents();
    const Lookup employee = firstRow(db, query);
    if (employee != Lookup::Found) {
        if (employee == Lookup::NotFound)
            refuseNotFound(db, query, u"Invalid employee number!"_s, u"Employee # Check"_s);
        return;
    }

    QString name = s.MsgText;
    if (!query.value(2).isNull())
        name = trimBlanks(query.value(2).toString());
    if (!query.value(1).isNull())
        name += u' ' + trimBlanks(query.value(1).toString());
    if (s.EmpValidate == 1 || s.EmpValidate == 2) {
        // Two blanks between the parts, as the suite's other modules show an employee.
        name = u"#:"_s + valueText(query.value(0)) + u"  "_s + name + u"  Op:"_s
            + valueText(query.value(3)) + u"  Ac:"_s + valueText(query.value(4));
    }
    s.MsgText = name;
    closeUp(db, query);
}

} // namespace tallic

#pragma once

#include "basic/result.h"

#include <QString>

namespace tallic {

// The checks run when the operator leaves the G/L account, member and employee fields.
// Each takes the number as typed. A blank, zero or non-numeric entry is not looked up: the
// answer is then not on file, and the description is the text as typed.
//
// A number that is not on file is refused with the routine's own box; a database that
// cannot be read (a missing file or table, a member's class code without its class row)
// is reported with ReportError. Either way the answer is a failure already shown, which
// sends the operator back to the field.

// A G/L account in gl.mdb.
struct GlAccount
{
    bool onFile = false;
    QString text; // the statement description, else the account name
    qint16 level = 0;
};
Result<GlAccount> ValidateGLAccount(const QString &typed);

// A member account in master.mdb, with the markers of its record.
struct MemberAccount
{
    bool onFile = false;
    // "LNAME, FNAME" with " TaxExempt", " SUSPENDED" and " TERMINATED" as they apply.
    QString description;
    bool exempt = false;
    bool suspended = false;
    bool terminated = false;
    // The member's class as "CODE-Description", which is also left on the clipboard.
    QString classText;
};
Result<MemberAccount> ValidateMember(const QString &typed);
// Puts back the text the clipboard held before a check left the member's class there, or
// clears it when it held none.
void putClipboardBack(const QString &kept);

// How the employee field is looked up in emp.mdb (the point-of-sale setting empvalidate).
enum class EmployeeLookup {
    EmployeeId, // any other setting
    OperatorNumber, // 1
    AccessNumber, // 2: matched as text exactly as typed
    Off, // 3: not looked up at all
};
EmployeeLookup employeeLookup(qint16 empValidate);

// An employee in emp.mdb: "FIRST LAST", or "#:id  FIRST LAST  Op:op  Ac:access" for
// operator and access lookups.
struct Employee
{
    bool onFile = false;
    QString description;
};
Result<Employee> ValidateEmployee(const QString &typed, EmployeeLookup lookup);

} // namespace tallic

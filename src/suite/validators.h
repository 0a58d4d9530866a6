#pragma once

namespace tallic {

// The checks run when the operator leaves the G/L account, member and employee fields.
// Each takes the number as typed from MsgText. A blank, zero or non-numeric entry returns
// at once and changes nothing. A number that is not on file is refused with the
// routine's own box and "REDO" in MsgText, which sends the operator back to the field.
//
// A database that cannot be read (a missing file or table, a member's class code without
// its class row) is reported with ReportError and also leaves "REDO"; the error is then
// cleared, so the caller does not report it a second time.

// A G/L account in gl.mdb: GLAcctText (the statement description, else the account name)
// and GLLevel; MsgText keeps the number as typed.
void ValidateGLAccount();

// A member account in master.mdb. MsgText becomes "LNAME, FNAME" with " TaxExempt",
// " SUSPENDED" and " TERMINATED" as they apply; MemberTerminated is 1 for a terminated
// account, else 0; SqlText holds the member statement; the clipboard holds the member's
// class as "CODE-Description" (empty for a member without a class).
void ValidateMember();

// An employee in emp.mdb, looked up as EmpValidate says (1 by operator number, 2 by
// access number as typed, 3 not at all, otherwise by employee id). MsgText becomes
// "FIRST LAST", or "#:id  FIRST LAST  Op:op  Ac:access" for operator and access lookups.
void ValidateEmployee();

} // namespace tallic

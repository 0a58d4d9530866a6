#pragma once

#include <QString>

#include <optional>

namespace tallic {

// The user's row in the staff table of user.mdb, which the suite's other modules read to
// see who is where.

// Records the location as the session's LocationText and in the user's row of the staff
// table, whose work item it clears, for the row of UserName in any case; UserName is
// trimmed and upper-cased first, and SysUser is read from the row ("0" when it holds
// none). Never warns: a step that fails is skipped.
void SetStaffLocation(const QString &location);

// Warns when another user works on the date (WorkDateText, yyyymmdd): the other user, once
// the warning naming him has been shown; none when the date is free (also when user.mdb
// cannot be read, or the date is empty).
std::optional<QString> CheckDateInUse(const QString &workDateText);

// The warning of CheckDateInUse.
QString dateInUseText(const QString &workDateText, const QString &otherUser);

// What the entry screen and generation do before chits are keyed for a date: another
// user on it is warned of, then the operator is advised in a second box ("Shared Date"),
// and goes on.
void warnOfSharedDate(const QString &workDateText, const QString &advice);

} // namespace tallic

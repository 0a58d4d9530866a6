#pragma once

namespace tallic {

// The user's row in the staff table of user.mdb, which the suite's other modules read to
// see who is where.

// Records LocationText as the user's location and clears the work item, for the row of
// UserName in any case; UserName is trimmed and upper-cased first, and SysUser is read
// from the row ("0" when it holds none). Never warns: a step that fails is skipped.
void SetStaffLocation();

// Warns when another user works on WorkDateText: MsgText is left as the warning shown,
// naming that user, or "OK" when the date is free (also when user.mdb cannot be read).
// Does nothing while WorkDateText is empty.
void CheckDateInUse();

} // namespace tallic

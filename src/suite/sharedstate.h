#pragma once

#include <QString>

namespace tallic {

// Who is running the program, under the names the suite's modules share: what the menu
// passed on the command line, and where the user is recorded in the staff table. Written
// by the entry window's start-up (EntryStart::load) and by SetStaffLocation; every window
// reads it. One session lives for the whole run; tests start each run afresh.
struct Session
{
    QString CommandLine;
    QString UserName; // trimmed and in upper case once the start-up has read it
    QString LaunchCode;
    qint16 AccessLevel = 0;
    // Where the user is, as the staff table and the activity log name it.
    QString LocationText;
    // The user's sysuser value from the staff table, as text ("0" for none).
    QString SysUser;
};

Session &session();

// Back to the session at the start of a run, no new row pending, the data folder let go.
void resetSharedState();

} // namespace tallic

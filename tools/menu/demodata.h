#pragma once

#include <QDate>
#include <QString>

#include "basic/result.h"

namespace tallic {

// Creates the missing suite databases in the folder and fills every empty table with a
// small club to key against: the open A/R month is today's month, revenue accounts with
// their rates, forty members with sub-accounts, employees and the staff rows of JONES and
// SMITH. Tables that already hold rows are left as they are.
void createDemoData(const QString &folder, const QDate &today);

// Fills a new club's databases (tallic-club new) with the demo club: its configuration
// replaces the new club's, every other table must be empty; the reason when one is not.
Result<void> addDemoRows(const QString &folder, const QDate &today);

} // namespace tallic

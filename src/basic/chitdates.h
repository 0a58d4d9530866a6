#pragma once

#include <QString>

namespace tallic {

// A date keyed as four digits (mmdd) is completed with the A/R year; any other text is
// left as it is.
QString completeChitDate(const QString &text, qint32 arYear);

// The bounds of the open A/R month as the numbers yyyymm00 and yyyymm32.
qint32 periodStart(qint32 arYear, int arMonth);
qint32 periodEnd(qint32 arYear, int arMonth);

enum class DateVerdict { Accepted, NotADate, PreviousPeriod, TooFarAhead };

// Whether a chit date (yyyymmdd) may be keyed in the open A/R month: never before it;
// from level 99 any later date; otherwise up to 8969 past the month's end bound, and only
// up to 128 past it while the system date is still in the A/R year.
// What the operator is told when a date is refused.
QString dateRefusalText(DateVerdict verdict);

DateVerdict checkChitDate(qint32 workDate, qint32 arYear, int arMonth, int accessLevel,
                          int systemYear);

} // namespace tallic

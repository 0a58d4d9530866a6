#include "chitdates.h"

#include <QDate>

namespace tallic {

namespace {

// Past the month's end bound yyyymm32: 8969 reaches the first of February from a December
// month (20250201 − 20241232), 128 stays within the following month of the same year.
constexpr qint32 FarLimit = 8969;
constexpr qint32 SameYearLimit = 128;
constexpr int AnyDateLevel = 99;

} // namespace

QString completeChitDate(const QString &text, qint32 arYear)
{
    // Four characters are taken as mmdd whatever they hold; the date check that follows
    // refuses what is not a date.
    if (text.size() == 4)
        return QString::number(arYear) + text;
    return text;
}

qint32 periodStart(qint32 arYear, int arMonth)
{
    return arYear * 10000 + arMonth * 100;
}

qint32 periodEnd(qint32 arYear, int arMonth)
{
    return periodStart(arYear, arMonth) + 32;
}

DateVerdict checkChitDate(qint32 workDate, qint32 arYear, int arMonth, int accessLevel,
                          int systemYear)
{
    // A day the calendar does not have (20240230) would pass the bounds of its month.
    if (!QDate(workDate / 10000, workDate / 100 % 100, workDate % 100).isValid())
        return DateVerdict::NotADate;
    if (periodStart(arYear, arMonth) > workDate)
        return DateVerdict::PreviousPeriod;
    if (accessLevel >= AnyDateLevel)
        return DateVerdict::Accepted;
    const qint32 ahead = workDate - periodEnd(arYear, arMonth);
    if (ahead > FarLimit || (ahead > SameYearLimit && systemYear == arYear))
        return DateVerdict::TooFarAhead;
    return DateVerdict::Accepted;
}

QString dateRefusalText(DateVerdict verdict)
{
    switch (verdict) {
    case DateVerdict::NotADate:
        return QStringLiteral("The date entered is not a day of the calendar. Redo.");
    case DateVerdict::PreviousPeriod:
        return QStringLiteral("You may not use a date in a previous A/R period.");
    default:
        return QStringLiteral("The date chosen is too far ahead in time. Redo.");
    }
}

} // namespace tallic

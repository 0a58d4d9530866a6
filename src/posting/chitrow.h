#pragma once

#include "basic/chit.h"
#include "store/writekeys.h"

#include <QString>

#include <optional>

namespace tallic {

// The open A/R month's bounds, yyyymm00 and yyyymm32, that a chit alike is looked for in.
struct ChitPeriod
{
    qint32 start = 0;
    qint32 end = 0;
};

// Adds the chit's ardaily row, its origin the batch's start stamp, with the write's key in
// one transaction, while AddNewMode is on. With a period, a row alike there (the same chit
// number, letter case and the blanks around it aside, member and base sale, keyed anywhere)
// withholds it, learned in the same transaction. When it was not stored, or when that is not
// known, the failure's description is what the operator is told of why.
WriteResult StoreChitRow(const Chit &chit, const QString &startStamp, const QString &key,
                         const std::optional<ChitPeriod> &unlessAlikeIn = std::nullopt);

// The first row alike of the period: its chit date and its batch's start stamp.
struct AlikeRow
{
    qint32 date = 0;
    QString origin;
};
Result<std::optional<AlikeRow>> FindAlikeChit(const Chit &chit, const ChitPeriod &period);

} // namespace tallic

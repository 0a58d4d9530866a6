#pragma once

#include "basic/modewords.h"
#include "basic/validity.h"

#include <QString>

namespace tallic {

// The batch being keyed. The entry window owns it: NEW BATCH starts it on a date, and
// each chit posted is counted and added to the validity totals.
struct Batch
{
    qint32 WorkDate = 0; // the chit date the operator works on, yyyymmdd
    QString StartStamp; // the user and the time the batch started: its rows' origin
    int count = 0; // chits posted
    int number = 0; // which batch of the run it is
    ValidityTotals totals; // HashTotal, BaseTotal, SumTotal
};

// The chit being keyed, and the switches that hold from one chit to the next until the
// operator changes them. The entry window owns it; generation reads the bypasses.
struct KeyedChit
{
    TransMode mode = TransMode::Normal;
    bool ScBypass = false;
    bool TaxBypass = false;
    // The member of this chit: tax exempt, or terminated (he may only be credited).
    bool TaxExempt = false;
    bool MemberTerminated = false;
    // The memo of the last chit posted, which "+" recalls.
    QString LastMemoText;
};

} // namespace tallic

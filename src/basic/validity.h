#pragma once

#include "basic/cents.h"

namespace tallic {

// A batch's validity totals, proved against the adding-machine tape: the hash of member
// numbers, the base-sale total and the cross-sum. Kept in cents, as the tape adds them.
struct ValidityTotals
{
    Cents hash;
    Cents base;
    Cents sum;
};

// Adds one chit as the club's validity mode counts it: 1 the hash, 2 the base sales, 3 both,
// 4 the cross-sum of chit, member and base sale, 5 the same with the employee; any other
// mode counts nothing.
void addChitToValidity(ValidityTotals &totals, int mode, Cents chit, Cents member, Cents employee,
                       Cents base);

} // namespace tallic

#include "validity.h"

namespace tallic {

void addChitToValidity(ValidityTotals &totals, int mode, Cents chit, Cents member, Cents employee,
                       Cents base)
{
    switch (mode) {
    case 1:
        totals.hash += member;
        break;
    case 2:
        totals.base += base;
        break;
    case 3:
        totals.hash += member;
        totals.base += base;
        break;
    case 4:
        totals.sum += chit + member + base;
        break;
    case 5:
        totals.sum += chit + member + employee + base;
        break;
    default:
        break;
    }
}

} // namespace tallic

#include "validity.h"

namespace tallic {

void addChitToValidity(ValidityTotals &totals, int mode, double chit, double member,
                       double employee, double base)
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
        // Added one after the other, as the tape adds them.
        totals.sum = ((totals.sum + chit) + member) + base;
        break;
    case 5:
        totals.sum = (((totals.sum + chit) + member) + employee) + base;
        break;
    default:
        break;
    }
}

} // namespace tallic

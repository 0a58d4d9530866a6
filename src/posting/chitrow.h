#pragma once

#include "basic/chit.h"
#include "basic/result.h"

#include <QString>

namespace tallic {

// Adds the chit's ardaily row in one write, its origin the batch's start stamp, while
// AddNewMode is on. When it was not stored, the failure's description is what the
// operator is told of why.
Result<void> StoreChitRow(const Chit &chit, const QString &startStamp);

} // namespace tallic

#pragma once

#include "basic/chit.h"
#include "suite/writekeys.h"

#include <QString>

namespace tallic {

// Adds the chit's ardaily row, its origin the batch's start stamp, with the write's key in
// one transaction, while AddNewMode is on. When it was not stored, or when that is not known,
// the failure's description is what the operator is told of why.
WriteResult StoreChitRow(const Chit &chit, const QString &startStamp, const QString &key);

} // namespace tallic

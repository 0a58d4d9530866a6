#pragma once

#include "entry/chit.h"

#include <QString>

namespace tallic {

// Adds the chit's ardaily row in one write, stamped with StartStamp, while AddNewMode is
// on. The empty text when the row was stored, and LastMemoText then holds a posted memo;
// otherwise what the operator is told of why it was not.
QString StoreChitRow(const Chit &chit);

} // namespace tallic

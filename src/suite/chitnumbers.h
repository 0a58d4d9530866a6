#pragma once

#include <QString>

namespace tallic {

// A chit number made up for a chit that has none: one capital letter and 1 to 6 digits,
// never above 500000 (K48213). The random numbers are seeded anew for every draw.
QString drawChitNumber();

} // namespace tallic

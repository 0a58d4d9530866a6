#pragma once

#include <QString>

namespace tallic {

// What the chit-number field holds and how amounts are signed: normal chits, payments
// ("PAYMENT"), adjustments to a previous month ("ADJMENT") and current-month credits
// ("CREDIT"). The word stands in the field and is stored as the chit's number.
enum class TransMode { Normal = 0, Payment = 1, Adjustment = 2, Credit = 3 };

// The word of a mode as the program writes it; empty for a normal chit.
QString modeWord(TransMode mode);

// The mode a chit number names, blanks around it and letter case aside: a number keyed by
// hand, one read back from the database and one the program wrote all read alike. Normal
// for a chit number that is no mode's word.
TransMode modeOfChitNumber(const QString &chitNumber);

// Whether the chit number is one of the modes' words.
bool isModeWord(const QString &chitNumber);

} // namespace tallic

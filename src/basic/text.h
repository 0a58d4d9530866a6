#pragma once

#include <QString>

namespace tallic {

// The text without the blanks around it: the suite's files pad their texts with blanks
// (spaces) only, and other white space belongs to the text.
QString trimBlanks(const QString &text);

} // namespace tallic

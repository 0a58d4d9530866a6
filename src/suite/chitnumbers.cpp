#include "chitnumbers.h"

#include "platform/platform.h"

namespace tallic {

QString drawChitNumber()
{
    platform().seedRandom();
    // A draw outside the letters is drawn again.
    int letter = 0;
    do {
        letter = int(90 * platform().random() + 1);
    } while (letter < 'A' || letter > 'Z');
    const int number = int(platform().random() * 500000 + 1);
    return QChar(letter) + QString::number(number);
}

} // namespace tallic

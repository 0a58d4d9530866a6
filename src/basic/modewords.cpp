#include "basic/modewords.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

QString modeWord(TransMode mode)
{
    switch (mode) {
    case TransMode::Payment:
        return u"PAYMENT"_s;
    case TransMode::Adjustment:
        return u"ADJMENT"_s;
    case TransMode::Credit:
        return u"CREDIT"_s;
    case TransMode::Normal:
        break;
    }
    return QString();
}

TransMode modeOfChitNumber(const QString &chitNumber)
{
    const QString word = chitNumber.trimmed().toUpper();
    for (TransMode mode : { TransMode::Payment, TransMode::Adjustment, TransMode::Credit }) {
        if (word == modeWord(mode))
            return mode;
    }
    return TransMode::Normal;
}

bool isModeWord(const QString &chitNumber)
{
    return modeOfChitNumber(chitNumber) != TransMode::Normal;
}

} // namespace tallic

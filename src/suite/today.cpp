#include "today.h"

#include "platform/keycodes.h"
#include "platform/platform.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

QString eightDigits(qint32 number)
{
    return u"%1"_s.arg(number, 8, 10, QChar(u'0'));
}

} // namespace

QString dateText(const QDate &date)
{
    return u"%1-%2-%3"_s.arg(date.month(), 2, 10, QChar(u'0'))
        .arg(date.day(), 2, 10, QChar(u'0'))
        .arg(date.year(), 4, 10, QChar(u'0'));
}

qint32 dateNumber(const QDate &date)
{
    return date.year() * 10000 + date.month() * 100 + date.day();
}

Today SetToday()
{
    const QDate today = platform().today();
    return { dateText(today), dateNumber(today) };
}

int functionKeyEntry(const QString &keyCode)
{
    bool isNumber = false;
    const double value = keyCode.trimmed().toDouble(&isNumber);
    // Compared as a number first: the text may hold any value, or nan.
    if (!isNumber || !(value >= VirtualKey::F1 && value <= VirtualKey::F12)
        || value != std::floor(value))
        return 0;
    const int code = int(value);
    return code == VirtualKey::F5 ? 0 : code - VirtualKey::F1 + 1;
}

QString ExpandMacro(const QString &keyCode, const FunctionKeyTexts &texts)
{
    QString text = keyCode;
    if (const int entry = functionKeyEntry(keyCode))
        text = texts.at(entry);
    // After the key's text is in, so that a key whose text is "=TODAY()" gives the date too.
    if (text.toUpper() == u"=TODAY()"_s)
        text = eightDigits(SetToday().TodayNumber);
    return text;
}

} // namespace tallic

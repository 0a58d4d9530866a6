#include "today.h"

#include "platform/keycodes.h"
#include "platform/platform.h"
#include "sharedstate.h"

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

void SetToday()
{
    const QDate today = platform().today();
    state().TodayText = dateText(today);
    state().TodayNumber = dateNumber(today);
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

void ExpandMacro()
{
    SharedState &s = state();
    if (const int entry = functionKeyEntry(s.MsgText))
        s.MsgText = s.FunctionKeyText.at(entry);
    // After the key's text is in, so that a key whose text is "=TODAY()" gives the date too.
    if (s.MsgText.toUpper() == u"=TODAY()"_s) {
        SetToday();
        s.MsgText = eightDigits(s.TodayNumber);
    }
}

} // namespace tallic

#include "consolehost.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

void ConsoleHost::tell(const QString &text, const QString &title, Tone)
{
    console_.warn(title + u": "_s + QString(text).replace(u"\r\n"_s, u"\n"_s));
}

} // namespace tallic::club

#include "tools.h"

#include "entry/sharedstate.h"
#include "platform/runtime.h"

#include <QElapsedTimer>
#include <QThread>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {
// How long the date picker may take before the operator is let back into the window.
constexpr qint64 PickDateLimitMs = 5 * 60 * 1000;
} // namespace

bool StartProgram(const QString &commandLine, WindowStyle style)
{
    return platform().startProgram(commandLine, style);
}

void PickDate()
{
    SharedState &s = state();
    platform().clearClipboard();
    DoEvents();
    StartProgram(u"dalmore.exe"_s, WindowStyle::Normal);
    QString picked;
    QElapsedTimer waited;
    waited.start();
    while (picked.isEmpty() && !ProgramEnding() && waited.elapsed() < PickDateLimitMs) {
        QThread::msleep(20);
        picked = platform().clipboardText();
        DoEvents();
    }
    s.MsgText = picked;
    platform().clearClipboard();
    DoEvents();
}

} // namespace tallic

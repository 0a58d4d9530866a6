#include "fakeplatform.h"

#include "platform/runtime.h"

#include <QFile>

using namespace Qt::Literals::StringLiterals;

namespace tallic::testkit {

namespace {

QString programOf(const QString &commandLine)
{
    const QStringList parts = splitCommandLine(commandLine);
    return parts.isEmpty() ? QString() : parts.first();
}

DialogIcon dialogIcon(BoxIcon icon)
{
    switch (icon) {
    case BoxIcon::Information:
        return DialogIcon::Information;
    case BoxIcon::Question:
        return DialogIcon::Question;
    case BoxIcon::Critical:
        return DialogIcon::Critical;
    case BoxIcon::None:
        break;
    }
    return DialogIcon::None;
}

} // namespace

bool FakePlatform::startProgram(const QString &commandLine, WindowStyle)
{
    started.append(commandLine);
    const QString program = programOf(commandLine);
    if (!fileExists(program))
        return false;
    if (program.compare(u"dalmore.exe"_s, Qt::CaseInsensitive) == 0) {
        // The date picker leaves the operator's choice on the clipboard (an empty one is
        // Escape); with nothing queued the run ends, so that no test waits for a date forever.
        const QString day = splitCommandLine(commandLine).value(1, date.toString(u"yyyyMMdd"_s));
        if (pickedDates.isEmpty()) {
            endProgram();
        } else {
            const QString picked = pickedDates.takeFirst();
            setClipboardText(picked == u"~"_s ? day : picked);
        }
    } else if (program.compare(u"dodizara.exe"_s, Qt::CaseInsensitive) == 0) {
        // A stand-in help program answers with its file's content ("NOHELP").
        QFile file(findInWorkingFolder(program));
        if (file.open(QIODevice::ReadOnly) && file.size() > 0)
            setClipboardText(QString::fromLatin1(file.readAll()));
    }
    return true;
}

bool FakePlatform::startLookup(const QString &commandLine, const QString &mark)
{
    lookupMarks.append(mark);
    const bool running = startProgram(commandLine, WindowStyle::Normal);
    if (running && !lookupAnswers.isEmpty()) {
        clipboard = lookupAnswers.takeFirst();
        clipboardMark = mark;
    }
    return running;
}

int FakePlatform::runAndWait(const QString &commandLine)
{
    started.append(commandLine);
    const QString program = programOf(commandLine);
    if (!fileExists(program))
        return -1;
    return 0;
}

bool FakePlatform::fileExists(const QString &name)
{
    return !name.isEmpty() && !findInWorkingFolder(name).isEmpty();
}

double FakePlatform::random()
{
    return std::uniform_real_distribution<double>(0.0, 1.0)(generator);
}

int FakePlatform::messageBox(const QString &text, const QString &title, BoxIcon icon,
                             BoxButtons buttons)
{
    const bool question = buttons != BoxButtons::Ok;
    dialogs.append(
        { question ? DialogKind::Question : DialogKind::Message, title, text, dialogIcon(icon) });
    if (!question)
        return AnswerOk;
    // No is the default button: with no answer queued the operator pressed Enter (or, for
    // Retry, Escape). A yes queued is Retry.
    const bool yes = !answers.isEmpty() && answers.takeFirst();
    if (buttons == BoxButtons::RetryCancel)
        return yes ? AnswerRetry : AnswerCancel;
    return yes ? AnswerYes : AnswerNo;
}

QString FakePlatform::inputBox(const QString &prompt, const QString &title, const QString &)
{
    dialogs.append({ DialogKind::Input, title, prompt, DialogIcon::None });
    return inputs.isEmpty() ? QString() : inputs.takeFirst();
}

} // namespace tallic::testkit

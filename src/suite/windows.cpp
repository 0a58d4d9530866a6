#include "windows.h"

#include "platform/colors.h"
#include "platform/form.h"
#include "platform/platform.h"

#include <QFile>
#include <QWidget>
#include <QWindow>

#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

const QString PracticeMarker = u"practice.dat"_s;

// A colour literal as the suite writes it: "&H", one to eight hexadecimal digits, "&".
bool readColourLiteral(const QString &text, quint32 *value)
{
    if (!text.startsWith(u"&H"_s) || !text.endsWith(u'&'))
        return false;
    const QString digits = text.mid(2, text.size() - 3);
    if (digits.isEmpty() || digits.size() > 8)
        return false;
    for (const QChar c : digits) {
        if (!(c >= u'0' && c <= u'9') && !(c >= u'A' && c <= u'F'))
            return false;
    }
    bool ok = false;
    *value = digits.toUInt(&ok, 16);
    return ok;
}

} // namespace

void CenterForm(QWidget *window)
{
    centerWindow(window);
    DoEvents();
}

quint32 practiceColour(const QString &firstLine)
{
    static const std::pair<QString, quint32> words[] {
        { u"BLACK"_s, 0x000000 },  { u"RED"_s, 0x0000FF },   { u"GREEN"_s, 0x00FF00 },
        { u"YELLOW"_s, 0x00FFFF }, { u"BLUE"_s, 0xFF0000 },  { u"MAGENTA"_s, 0xFF00FF },
        { u"CYAN"_s, 0xFFFF00 },   { u"WHITE"_s, 0xFFFFFF },
    };
    const QString text = firstLine.trimmed().toUpper();
    for (const auto &[word, colour] : words) {
        if (text == word)
            return colour;
    }
    quint32 literal = 0;
    if (readColourLiteral(text, &literal))
        return literal;
    return Colors::Red;
}

void ApplyPracticeColour(Form *form)
{
    if (!form || !platform().fileExists(PracticeMarker))
        return;
    // Red first: it stays when the file cannot be read.
    form->setBackColor(Colors::Red);

    QFile file(findInWorkingFolder(PracticeMarker));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray line = file.readLine();
    file.close();
    DoEvents();
    // The line end goes with the blanks around the word.
    form->setBackColor(practiceColour(QString::fromUtf8(line)));
}

qint32 SetTopmost(QWidget *window, qint16 on)
{
    if (!window)
        return 0;
    const bool wanted = on != 0;
    SetTopmost(window, wanted);
    const QWindow *handle = window->windowHandle();
    return handle && handle->flags().testFlag(Qt::WindowStaysOnTopHint) == wanted ? 1 : 0;
}

} // namespace tallic

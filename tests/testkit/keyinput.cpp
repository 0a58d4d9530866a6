#include "keyinput.h"

#include "platform/form.h"

#include <QApplication>
#include <QHash>
#include <QKeyEvent>
#include <QPointer>

using namespace Qt::Literals::StringLiterals;

namespace tallic::testkit {

namespace {

KeyStroke named(const QString &name)
{
    static const QHash<QString, std::pair<int, QString>> keys = {
        { u"TAB"_s, { Qt::Key_Tab, u"\t"_s } },
        { u"ENTER"_s, { Qt::Key_Return, u"\r"_s } },
        { u"BS"_s, { Qt::Key_Backspace, u"\b"_s } },
        { u"BACKSPACE"_s, { Qt::Key_Backspace, u"\b"_s } },
        { u"ESC"_s, { Qt::Key_Escape, u"\x1b"_s } },
        { u"DEL"_s, { Qt::Key_Delete, {} } },
        { u"LEFT"_s, { Qt::Key_Left, {} } },
        { u"RIGHT"_s, { Qt::Key_Right, {} } },
        { u"UP"_s, { Qt::Key_Up, {} } },
        { u"DOWN"_s, { Qt::Key_Down, {} } },
        { u"HOME"_s, { Qt::Key_Home, {} } },
        { u"END"_s, { Qt::Key_End, {} } },
    };
    const QString upper = name.toUpper();
    if (upper.size() >= 2 && upper.at(0) == u'F' && upper.mid(1).toInt() >= 1)
        return { Qt::Key_F1 + upper.mid(1).toInt() - 1, {}, {} };
    if (keys.contains(upper))
        return { keys.value(upper).first, {}, keys.value(upper).second };
    if (name.size() == 1)
        return { name.at(0).toUpper().unicode(), {}, name };
    return {};
}

} // namespace

QList<KeyStroke> parseTestKeys(const QString &keys)
{
    QList<KeyStroke> strokes;
    Qt::KeyboardModifiers pending;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const QChar c = keys.at(i);
        KeyStroke stroke;
        if (c == u'+' || c == u'^' || c == u'%') {
            if (i + 1 < keys.size()) {
                pending |= c == u'+' ? Qt::ShiftModifier
                                     : (c == u'^' ? Qt::ControlModifier : Qt::AltModifier);
                continue;
            }
            stroke = { Qt::Key_Plus, {}, u"+"_s };
        } else if (c == u'~') {
            stroke = named(u"ENTER"_s);
        } else if (c == u'{') {
            const qsizetype close = keys.indexOf(u'}', i + 2);
            if (close < 0)
                break;
            stroke = named(keys.mid(i + 1, close - i - 1));
            i = close;
        } else {
            stroke = { c.toUpper().unicode(), {}, QString(c) };
            if (c.isUpper())
                stroke.modifiers |= Qt::ShiftModifier;
        }
        if (pending & Qt::ShiftModifier && stroke.key == Qt::Key_Tab)
            stroke.key = Qt::Key_Backtab;
        if (pending & Qt::ShiftModifier && stroke.text.size() == 1 && stroke.text.at(0).isLetter())
            stroke.text = stroke.text.toUpper();
        if (pending & (Qt::ControlModifier | Qt::AltModifier))
            stroke.text.clear();
        stroke.modifiers |= pending;
        pending = {};
        if (stroke.key != 0)
            strokes.append(stroke);
    }
    return strokes;
}

void deliverKey(const KeyStroke &stroke)
{
    QWidget *target = QApplication::focusWidget();
    if (!target) {
        if (Form *form = Form::activeForm())
            target = form->activeControl().widget() ? form->activeControl().widget() : form;
    }
    if (!target)
        return;
    QPointer<QWidget> guard(target);
    QKeyEvent press(QEvent::KeyPress, stroke.key, stroke.modifiers, stroke.text);
    QCoreApplication::sendEvent(target, &press);
    // The press may have moved the focus or closed the window.
    QKeyEvent release(QEvent::KeyRelease, stroke.key, stroke.modifiers, stroke.text);
    if (guard && QApplication::focusWidget() == guard)
        QCoreApplication::sendEvent(guard, &release);
}

} // namespace tallic::testkit

// Handlers found by name: the events of a control run the window class's slots that bear
// the control's name and the event's.
#include "form.h"

#include "keygate.h"
#include "programstate.h"

#include <QMetaMethod>
#include <QPushButton>
#include <QRegularExpression>

#include <algorithm>
#include <array>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

bool Form::fire(QObject *control, const char *event, std::initializer_list<HandlerArg> args)
{
    const ControlInfo *info = controlInfo(control);
    return info && invokeHandler(info->baseName, info->index, event, args);
}

bool Form::fireForm(const char *event, std::initializer_list<HandlerArg> args)
{
    return invokeHandler(u"Form"_s, -1, event, args);
}

int Form::handlerId(const QString &base, int index, const char *event,
                    std::initializer_list<HandlerArg> args)
{
    QByteArray signature = base.toLatin1();
    signature.append('_').append(event).append('(');
    if (index >= 0)
        signature.append("int,");
    for (const HandlerArg &arg : args)
        signature.append(arg.type).append(',');
    if (signature.endsWith(','))
        signature.chop(1);
    signature.append(')');
    const auto cached = methodCache_.constFind(signature);
    if (cached != methodCache_.cend())
        return *cached;
    const int id = metaObject()->indexOfMethod(signature.constData());
    methodCache_.insert(signature, id);
    return id;
}

bool Form::invokeHandler(const QString &base, int index, const char *event,
                         std::initializer_list<HandlerArg> args)
{
    if (programEnding() || base.isEmpty())
        return false;
    const int id = handlerId(base, index, event, args);
    // moc's code reads the place of the return value first (a handler returns nothing),
    // then a pointer to each argument, through which an "int&" parameter writes back.
    std::array<void *, 6> argv {};
    if (id < 0 || args.size() + 2 > argv.size())
        return false;
    std::size_t count = 1;
    if (index >= 0)
        argv[count++] = &index;
    for (const HandlerArg &arg : args)
        argv[count++] = arg.value;
    // Keys typed while a command runs wait until it is done, whether a key, a click or a
    // menu started it: a command that lets events run must not see its fields change.
    KeyGate::Handling handling;
    QMetaObject::metacall(this, QMetaObject::InvokeMetaMethod, id, argv.data());
    return true;
}

void Form::pressButton(QPushButton *button)
{
    const ControlInfo *info = controlInfo(button);
    if (!info || programEnding() || handlerId(info->baseName, info->index, "Click", {}) < 0)
        return;
    const quint32 writesBefore = info->enabledWrites;
    QPointer<QPushButton> guard(button);
    KeyGate::Handling handling;
    button->setEnabled(false);
    fire(button, "Click");
    // The handler may have unloaded the window; and a state it gave its button stands (OK
    // stays unavailable once its chit is stored).
    if (!guard)
        return;
    info = controlInfo(button);
    if (info && info->enabledWrites == writesBefore)
        button->setEnabled(true);
}

QStringList Form::wiringProblems() const
{
    static const QHash<QString, QString> plain = {
        { u"Click"_s, u""_s },
        { u"DblClick"_s, u""_s },
        { u"GotFocus"_s, u""_s },
        { u"LostFocus"_s, u""_s },
        { u"Change"_s, u""_s },
        { u"KeyDown"_s, u"int&,int"_s },
        { u"KeyPress"_s, u"int&"_s },
        { u"MouseDown"_s, u"int,int,double,double"_s },
        { u"MouseUp"_s, u"int,int,double,double"_s },
        { u"MouseMove"_s, u"int,int,double,double"_s },
        { u"Validate"_s, u"bool&"_s },
    };
    static const QHash<QString, QString> formEvents = {
        { u"Initialize"_s, u""_s },
        { u"Load"_s, u""_s },
        { u"Activate"_s, u""_s },
        { u"Unload"_s, u"int&"_s },
    };
    static const QRegularExpression shape(u"^([A-Za-z0-9]+)_([A-Za-z]+)\\((.*)\\)$"_s);
    QStringList problems;
    const QMetaObject *meta = metaObject();
    for (int i = Form::staticMetaObject.methodOffset(); i < meta->methodCount(); ++i) {
        const QString signature = QString::fromLatin1(meta->method(i).methodSignature());
        const auto match = shape.match(signature);
        if (!match.hasMatch())
            continue;
        const QString base = match.captured(1);
        const QString event = match.captured(2);
        const QString params = match.captured(3);
        if (base == u"Form"_s) {
            if (formEvents.value(event, u"?"_s) != params)
                problems.append(signature);
            continue;
        }
        const auto control
            = std::find_if(info_.cbegin(), info_.cend(),
                           [&base](const ControlInfo &info) { return info.baseName == base; });
        if (control == info_.cend()) {
            problems.append(signature);
            continue;
        }
        QString expected = plain.value(event, u"?"_s);
        if (control->index >= 0)
            expected = expected.isEmpty() ? u"int"_s : u"int,"_s + expected;
        if (expected != params)
            problems.append(signature);
    }
    return problems;
}

} // namespace tallic

#include "form.h"

#include "colors.h"
#include "keygate.h"
#include "runtime.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

QList<QPointer<Form>> &loadedForms()
{
    static QList<QPointer<Form>> forms;
    return forms;
}

QPointer<Form> &lastActive()
{
    static QPointer<Form> form;
    return form;
}

} // namespace

Form::Form(const QString &name, const QSize &designSize, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , designSize_(designSize)
    , backColor_(Colors::ButtonFace)
{
    setObjectName(name);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    client_ = new QWidget(this);
    client_->setObjectName(u"client"_s);
    client_->setAutoFillBackground(true);
    client_->installEventFilter(this);
    layout->addWidget(client_);
    resize(designSize_);
}

Form::~Form()
{
    loadedForms().removeAll(this);
}

void Form::registerControl(QObject *object, const QString &name, int index)
{
    const QString fullName = index >= 0 ? u"%1(%2)"_s.arg(name).arg(index) : name;
    object->setObjectName(fullName);
    object->setProperty("tallicBase", name);
    object->setProperty("tallicIndex", index);
    object->setProperty("tallicTabIndex", int(order_.size()));
    byName_.insert(fullName, object);
    order_.append(object);
    if (auto *widget = qobject_cast<QWidget *>(object)) {
        widget->installEventFilter(this);
        widget->setMouseTracking(true);
        placements_.insert(widget, { widget->geometry(), widget->font().pointSizeF() });
    }
}

QLineEdit *Form::addTextBox(const QString &name, int index, const QRect &rect)
{
    auto *box = new QLineEdit(client_);
    box->setGeometry(rect);
    box->setFocusPolicy(Qt::StrongFocus);
    registerControl(box, name, index);
    box->setProperty("tallicTabStop", true);
    Control c(this, box);
    c.setBackColor(Colors::WindowBackground);
    c.setForeColor(Colors::WindowText);
    connect(box, &QLineEdit::textChanged, this, [this, box] { fire(box, "Change"); });
    return box;
}

QLabel *Form::addLabel(const QString &name, int index, const QRect &rect, const QString &caption)
{
    auto *label = new QLabel(caption, client_);
    label->setGeometry(rect);
    label->setAutoFillBackground(true);
    registerControl(label, name, index);
    Control c(this, label);
    c.setBackColor(Colors::ButtonFace);
    c.setForeColor(Colors::ButtonText);
    return label;
}

QPushButton *Form::addButton(const QString &name, int index, const QRect &rect,
                             const QString &caption)
{
    auto *button = new QPushButton(caption, client_);
    button->setGeometry(rect);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAutoDefault(false);
    registerControl(button, name, index);
    button->setProperty("tallicTabStop", true);
    Control c(this, button);
    c.setBackColor(Colors::ButtonFace);
    c.setForeColor(Colors::ButtonText);
    // A click counts only when the button became the active control: a field that refused
    // to be left keeps the focus, and the button's command does not run.
    connect(button, &QPushButton::clicked, this, [this, button] {
        if (!transition_ && active_ == button)
            fire(button, "Click");
    });
    return button;
}

QListWidget *Form::addListBox(const QString &name, int index, const QRect &rect)
{
    auto *list = new QListWidget(client_);
    list->setGeometry(rect);
    list->setFocusPolicy(Qt::StrongFocus);
    registerControl(list, name, index);
    list->setProperty("tallicTabStop", true);
    list->viewport()->installEventFilter(this);
    list->viewport()->setMouseTracking(true);
    Control c(this, list);
    c.setBackColor(Colors::WindowBackground);
    c.setForeColor(Colors::WindowText);
    connect(list, &QListWidget::currentRowChanged, this, [this, list] { fire(list, "Click"); });
    connect(list, &QListWidget::itemDoubleClicked, this, [this, list] { fire(list, "DblClick"); });
    return list;
}

QGroupBox *Form::addFrame(const QString &name, const QRect &rect, const QString &caption)
{
    auto *frame = new QGroupBox(caption, client_);
    frame->setGeometry(rect);
    frame->lower();
    registerControl(frame, name, -1);
    Control c(this, frame);
    c.setBackColor(Colors::ButtonFace);
    c.setForeColor(Colors::ButtonText);
    return frame;
}

QMenu *Form::addMenu(const QString &name, const QString &caption)
{
    if (!menuBar_) {
        menuBar_ = new QMenuBar(this);
        static_cast<QVBoxLayout *>(layout())->setMenuBar(menuBar_);
    }
    auto *menu = menuBar_->addMenu(caption);
    registerControl(menu->menuAction(), name, -1);
    return menu;
}

QAction *Form::addMenuEntry(QMenu *menu, const QString &name, const QString &caption)
{
    QAction *action = menu ? menu->addAction(caption) : menuBar_->addAction(caption);
    registerControl(action, name, -1);
    connect(action, &QAction::triggered, this,
            [this, action] { fireWith(action->objectName(), -1, "Click", {}); });
    return action;
}

Control Form::control(const QString &name, int index) const
{
    return controlByName(index >= 0 ? u"%1(%2)"_s.arg(name).arg(index) : name);
}

Control Form::controlByName(const QString &fullName) const
{
    QObject *object = byName_.value(fullName);
    return object ? Control(const_cast<Form *>(this), object) : Control();
}

QList<Control> Form::controls() const
{
    QList<Control> list;
    for (QObject *object : order_)
        list.append(Control(const_cast<Form *>(this), object));
    return list;
}

Control Form::activeControl() const
{
    return active_ ? Control(const_cast<Form *>(this), active_) : Control();
}

void Form::setBackColor(quint32 value)
{
    backColor_ = value;
    QPalette palette = client_->palette();
    palette.setColor(QPalette::Window, colorFromLong(value));
    client_->setPalette(palette);
}

void Form::load()
{
    if (loaded_ || programEnding())
        return;
    loaded_ = true;
    loadedForms().append(this);
    if (menuBar_)
        resize(designSize_.width(), designSize_.height() + menuBar_->sizeHint().height());
    fireWith(u"Form"_s, -1, "Initialize", {});
    fireWith(u"Form"_s, -1, "Load", {});
}

void Form::open()
{
    load();
    if (!loaded_ || programEnding())
        return;
    show();
    if (QGuiApplication::platformName() != u"offscreen"_s)
        raise();
    activateWindow();
}

bool Form::unload()
{
    if (!loaded_)
        return true;
    int cancel = 0;
    fireWith(u"Form"_s, -1, "Unload", { { "int&", &cancel } });
    if (cancel != 0 && !programEnding())
        return false;
    loaded_ = false;
    loadedForms().removeAll(this);
    if (lastActive() == this)
        lastActive() = nullptr;
    hide();
    deleteLater();
    if (loadedForms().isEmpty())
        endProgram();
    return true;
}

QList<Form *> Form::openForms()
{
    QList<Form *> list;
    for (const QPointer<Form> &form : loadedForms()) {
        if (form)
            list.append(form);
    }
    return list;
}

Form *Form::find(const QString &name)
{
    for (Form *form : openForms()) {
        if (form->objectName() == name)
            return form;
    }
    return nullptr;
}

Form *Form::activeForm()
{
    if (lastActive() && lastActive()->isLoaded())
        return lastActive();
    const QList<Form *> forms = openForms();
    return forms.isEmpty() ? nullptr : forms.last();
}

QWidget *Form::controlWidgetFor(QObject *object) const
{
    auto *widget = qobject_cast<QWidget *>(object);
    while (widget && widget != client_ && widget != this) {
        if (byName_.value(widget->objectName()) == widget)
            return widget;
        widget = widget->parentWidget();
    }
    return nullptr;
}

bool Form::isFocusable(QWidget *widget) const
{
    if (!widget || byName_.value(widget->objectName()) != widget)
        return false;
    if (!qobject_cast<QLineEdit *>(widget) && !qobject_cast<QPushButton *>(widget)
        && !qobject_cast<QListWidget *>(widget))
        return false;
    return widget->isEnabled() && widget->isVisibleTo(const_cast<Form *>(this));
}

void Form::setFocusTo(QWidget *widget)
{
    if (!isFocusable(widget) || programEnding())
        return;
    if (transition_) {
        // Inside GotFocus or LostFocus: the handler decides where the focus goes.
        redirect_ = widget;
        return;
    }
    activate(widget);
}

void Form::tabToNext(bool backwards)
{
    QList<QWidget *> stops;
    for (QObject *object : order_) {
        auto *widget = qobject_cast<QWidget *>(object);
        if (isFocusable(widget)
            && (widget->property("tallicTabStop").toBool() || widget == active_))
            stops.append(widget);
    }
    std::stable_sort(stops.begin(), stops.end(), [](QWidget *a, QWidget *b) {
        return a->property("tallicTabIndex").toInt() < b->property("tallicTabIndex").toInt();
    });
    if (stops.isEmpty())
        return;
    QWidget *target;
    const qsizetype at = stops.indexOf(active_.data());
    if (at >= 0) {
        target = stops.at((at + (backwards ? stops.size() - 1 : 1)) % stops.size());
    } else {
        // The active control was switched off: its neighbour in the tab order is next.
        const int from = active_ ? active_->property("tallicTabIndex").toInt() : -1;
        const auto after = std::find_if(stops.cbegin(), stops.cend(), [from](QWidget *w) {
            return w->property("tallicTabIndex").toInt() > from;
        });
        if (backwards)
            target = after == stops.cbegin() ? stops.last() : *(after - 1);
        else
            target = after == stops.cend() ? stops.first() : *after;
    }
    if (transition_) {
        // A Tab that arrives while a handler runs is carried out once the handler is done.
        deferred_ = target;
        return;
    }
    activate(target);
}

void Form::activate(QWidget *target)
{
    if (!isFocusable(target) || programEnding())
        return;
    if (target == active_) {
        giveKeyboardFocus(target);
        return;
    }
    transition_ = true;
    redirect_ = nullptr;
    QWidget *next = target;
    if (active_) {
        fire(active_, "LostFocus");
        if (redirect_ && isFocusable(redirect_))
            next = redirect_;
    }
    redirect_ = nullptr;
    active_ = next;
    giveKeyboardFocus(next);
    fire(next, "GotFocus");
    transition_ = false;

    // SetFocus from GotFocus, or a Tab typed meanwhile, is a move of its own.
    QPointer<QWidget> after = redirect_ ? redirect_ : deferred_;
    redirect_ = nullptr;
    deferred_ = nullptr;
    if (after && after != active_)
        activate(after);
    else if (active_)
        giveKeyboardFocus(active_);
}

void Form::giveKeyboardFocus(QWidget *widget)
{
    if (!widget || !widget->isEnabled() || !isVisible())
        return;
    if (!isActiveWindow())
        activateWindow();
    if (QApplication::focusWidget() != widget || widget->window()->focusWidget() != widget)
        widget->setFocus(Qt::OtherFocusReason);
}

void Form::restoreKeyboardFocus()
{
    if (active_)
        giveKeyboardFocus(active_);
    else if (!isActiveWindow() && isVisible())
        activateWindow();
}

bool Form::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate && loaded_ && !programEnding()) {
        const bool switched = lastActive() != this;
        lastActive() = this;
        if (switched)
            fireWith(u"Form"_s, -1, "Activate", {});
        if (!active_ && !transition_)
            tabToNext();
        else
            giveKeyboardFocus(active_);
    }
    return QWidget::event(event);
}

void Form::closeEvent(QCloseEvent *event)
{
    if (loaded_ && !programEnding() && !unload())
        event->ignore();
}

void Form::rescale()
{
    if (designSize_.isEmpty() || client_->size().isEmpty())
        return;
    const double sx = double(client_->width()) / designSize_.width();
    const double sy = double(client_->height()) / designSize_.height();
    const double fontScale = std::min(sx, sy);
    for (auto it = placements_.cbegin(); it != placements_.cend(); ++it) {
        QWidget *widget = it.key();
        const QRect &r = it.value().rect;
        widget->setGeometry(qRound(r.x() * sx), qRound(r.y() * sy), qRound(r.width() * sx),
                            qRound(r.height() * sy));
        if (it.value().pointSize > 0) {
            QFont font = widget->font();
            font.setPointSizeF(it.value().pointSize * fontScale);
            widget->setFont(font);
        }
    }
}

bool Form::fire(QWidget *widget, const char *event)
{
    return fireWith(widget->property("tallicBase").toString(),
                    widget->property("tallicIndex").toInt(), event, {});
}

bool Form::fireWith(const QString &base, int index, const char *event,
                    std::initializer_list<std::pair<const char *, void *>> args)
{
    if (programEnding() || base.isEmpty())
        return false;
    QList<std::pair<const char *, void *>> all;
    if (index >= 0)
        all.append({ "int", &index });
    for (const auto &arg : args)
        all.append(arg);

    QByteArray signature = base.toLatin1() + '_' + event + '(';
    for (qsizetype i = 0; i < all.size(); ++i)
        signature += (i ? "," : "") + QByteArray(all.at(i).first);
    signature += ')';

    auto cached = methodCache_.constFind(signature);
    int id = cached != methodCache_.cend() ? *cached
                                           : metaObject()->indexOfMethod(signature.constData());
    methodCache_.insert(signature, id);
    if (id < 0)
        return false;

    QGenericArgument a[5];
    for (qsizetype i = 0; i < all.size() && i < 5; ++i)
        a[i] = QGenericArgument(all.at(i).first, all.at(i).second);
    // Keys typed while a command runs wait until it is done, whether a key, a click or a
    // menu started it: a command that lets events run must not see its fields change.
    KeyGate::Handling handling;
    return metaObject()->method(id).invoke(this, Qt::DirectConnection, a[0], a[1], a[2], a[3],
                                           a[4]);
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
    QStringList problems;
    const QMetaObject *meta = metaObject();
    for (int i = Form::staticMetaObject.methodOffset(); i < meta->methodCount(); ++i) {
        const QString signature = QString::fromLatin1(meta->method(i).methodSignature());
        static const QRegularExpression shape(u"^([A-Za-z0-9]+)_([A-Za-z]+)\\((.*)\\)$"_s);
        const auto match = shape.match(signature);
        if (!match.hasMatch())
            continue;
        const QString base = match.captured(1);
        const QString event = match.captured(2);
        const QString params = match.captured(3);
        if (base == u"Form"_s) {
            if (!formEvents.contains(event) || formEvents.value(event) != params)
                problems.append(signature);
            continue;
        }
        bool array = false;
        bool known = false;
        for (QObject *object : order_) {
            if (object->property("tallicBase").toString() == base) {
                known = true;
                array = object->property("tallicIndex").toInt() >= 0;
                break;
            }
        }
        if (!known)
            continue;
        QString expected = plain.value(event, u"?"_s);
        if (array)
            expected = expected.isEmpty() ? u"int"_s : u"int,"_s + expected;
        if (!plain.contains(event) || expected != params)
            problems.append(signature);
    }
    return problems;
}

} // namespace tallic

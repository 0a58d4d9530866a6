#include "form.h"

#include "keygate.h"

#include "colors.h"
#include "framecache.h"
#include "programstate.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValidator>

#include <algorithm>
#include <functional>

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
    , focus_(*this)
{
    setObjectName(name);
    // The windows hide as the program ends, before it leaves its event loop.
    static const bool hiddenAtEnd = (addEndingStep([] {
                                         for (Form *form : openForms())
                                             form->hide();
                                     }),
                                     true);
    (void)hiddenAtEnd;
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
    // The boxes outlive the window's own part for a moment, losing the focus: their length
    // limits must not ask it then.
    const QList<QLineEdit *> boxes = findChildren<QLineEdit *>();
    for (QLineEdit *box : boxes)
        box->setValidator(nullptr);
}

void Form::registerControl(QObject *object, const QString &name, int index)
{
    const QString fullName = index >= 0 ? u"%1(%2)"_s.arg(name).arg(index) : name;
    object->setObjectName(fullName);
    ControlInfo info;
    info.baseName = name;
    info.index = index;
    info.tabIndex = int(order_.size());
    // Text boxes, buttons and list boxes are tab stops; the others are never focused.
    info.tabStop = qobject_cast<QLineEdit *>(object) || qobject_cast<QPushButton *>(object)
        || qobject_cast<QListWidget *>(object);
    if (auto *widget = qobject_cast<QWidget *>(object)) {
        widget->installEventFilter(this);
        widget->setMouseTracking(true);
        info.designRect = widget->geometry();
        info.designPointSize = widget->font().pointSizeF();
    }
    info_.insert(object, info);
    byName_.insert(fullName, object);
    order_.append(object);
}

const ControlInfo *Form::controlInfo(const QObject *object) const
{
    const auto it = info_.constFind(object);
    return it == info_.cend() ? nullptr : &*it;
}

ControlInfo *Form::controlInfo(const QObject *object)
{
    const auto it = info_.find(object);
    return it == info_.end() ? nullptr : &*it;
}

namespace {

// Text pasted or dropped into a box is cut to the room left, as typing stops: what was put
// in loses its end. A NUL character is refused, as typing refuses it: no database keeps one
// in a text. The program's own texts do not pass here (Control::setText).
class LengthLimit final : public QValidator
{
public:
    LengthLimit(QObject *parent, std::function<int()> limit)
        : QValidator(parent)
        , limit_(std::move(limit))
    {
    }
    State validate(QString &input, int &pos) const override
    {
        for (qsizetype nul = input.indexOf(QChar(0)); nul >= 0; nul = input.indexOf(QChar(0))) {
            input.remove(nul, 1);
            if (nul < pos)
                --pos;
        }
        const int limit = limit_();
        const int excess = limit > 0 ? int(input.size()) - limit : 0;
        if (excess > 0) {
            pos = std::max(0, pos - excess);
            input.remove(pos, excess);
        }
        return Acceptable;
    }

private:
    std::function<int()> limit_;
};

// A label that fills its own background. Qt counts a control that has Qt fill its
// background as opaque, and at a repaint after any control's palette changed (a field's
// colour as the focus enters and leaves it, twice a chit) works out again the region that
// all of the window's opaque controls cover, the labels being most of them; it then cuts
// each piece it paints by that region. Filled by itself, a label is painted over what lies
// under it, as a text box is.
class FilledLabel final : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter(this).fillRect(event->rect(), palette().brush(backgroundRole()));
        QLabel::paintEvent(event);
    }
};

} // namespace

QLineEdit *Form::addTextBox(const QString &name, int index, const QRect &rect)
{
    auto *box = new QLineEdit(client_);
    box->setValidator(new LengthLimit(box, [this, box] {
        const ControlInfo *info = controlInfo(box);
        return info ? info->maxLength : 0;
    }));
    box->setGeometry(rect);
    box->setFocusPolicy(Qt::StrongFocus);
    box->setStyle(FrameCacheStyle::instance());
    registerControl(box, name, index);
    Control c(this, box);
    c.setColors(Colors::WindowBackground, Colors::WindowText);
    connect(box, &QLineEdit::textChanged, this, [this, box] { fire(box, "Change"); });
    return box;
}

QLabel *Form::addLabel(const QString &name, int index, const QRect &rect, const QString &caption)
{
    auto *label = new FilledLabel(caption, client_);
    label->setGeometry(rect);
    registerControl(label, name, index);
    Control c(this, label);
    c.setColors(Colors::ButtonFace, Colors::ButtonText);
    return label;
}

QPushButton *Form::addButton(const QString &name, int index, const QRect &rect,
                             const QString &caption)
{
    auto *button = new QPushButton(caption, client_);
    button->setGeometry(rect);
    button->setStyle(FrameCacheStyle::instance());
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAutoDefault(false);
    registerControl(button, name, index);
    Control c(this, button);
    c.setColors(Colors::ButtonFace, Colors::ButtonText);
    // A click counts only when the button became the active control: a field that refused
    // to be left keeps the focus, and the button's command does not run.
    connect(button, &QPushButton::clicked, this, [this, button] {
        if (!focus_.inTransition() && focus_.active() == button)
            pressButton(button);
    });
    return button;
}

QListWidget *Form::addListBox(const QString &name, int index, const QRect &rect)
{
    auto *list = new QListWidget(client_);
    list->setGeometry(rect);
    list->setFocusPolicy(Qt::StrongFocus);
    registerControl(list, name, index);
    list->viewport()->installEventFilter(this);
    list->viewport()->setMouseTracking(true);
    Control c(this, list);
    c.setColors(Colors::WindowBackground, Colors::WindowText);
    connect(list, &QListWidget::currentRowChanged, this, [this, list] { fire(list, "Click"); });
    connect(list, &QListWidget::itemDoubleClicked, this, [this, list] { fire(list, "DblClick"); });
    return list;
}

QProgressBar *Form::addProgressBar(const QString &name, const QRect &rect)
{
    auto *bar = new QProgressBar(client_);
    bar->setGeometry(rect);
    // Nothing to show until a command sets the range.
    bar->reset();
    registerControl(bar, name, -1);
    return bar;
}

QGroupBox *Form::addFrame(const QString &name, const QRect &rect, const QString &caption)
{
    auto *frame = new QGroupBox(caption, client_);
    frame->setGeometry(rect);
    frame->setStyle(FrameCacheStyle::instance());
    frame->lower();
    registerControl(frame, name, -1);
    Control c(this, frame);
    c.setColors(Colors::ButtonFace, Colors::ButtonText);
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
    connect(action, &QAction::triggered, this, [this, action] {
        // A command chosen while another runs (Exit during OK) waits until that one is done.
        QPointer<QAction> guard(action);
        if (!KeyGate::holds([this, guard] {
                if (guard)
                    fire(guard, "Click");
            }))
            fire(action, "Click");
    });
    return action;
}

Control Form::control(const QString &name, int index) const
{
    // A handler names a dozen controls a keystroke: arg() would cost more than the look-up.
    return controlByName(index >= 0 ? name + u'(' + QString::number(index) + u')' : name);
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
    QWidget *active = focus_.active();
    return active ? Control(const_cast<Form *>(this), active) : Control();
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
#ifndef NDEBUG
    // A handler that would never run is a slip in the window's code: say so at once.
    for (const QString &problem : wiringProblems())
        qWarning("%s: %s never runs: no control has that name, or its parameters do not fit "
                 "the event",
                 qPrintable(objectName()), qPrintable(problem));
#endif
    fireForm("Initialize");
    fireForm("Load");
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
    fireForm("Unload", { { "int&", &cancel } });
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
        if (info_.contains(widget))
            return widget;
        widget = widget->parentWidget();
    }
    return nullptr;
}

bool Form::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate && loaded_ && !programEnding()) {
        const bool switched = lastActive() != this;
        lastActive() = this;
        if (switched)
            fireForm("Activate");
        focus_.windowActivated();
    }
    if (event->type() == QEvent::UpdateRequest)
        painted_.start();
    return QWidget::event(event);
}

void Form::closeEvent(QCloseEvent *event)
{
    // Closing the window while a command runs waits until the command is done.
    QPointer<Form> guard(this);
    if (loaded_ && !programEnding() && KeyGate::holds([guard] {
            if (guard)
                guard->close();
        })) {
        event->ignore();
        return;
    }
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
    for (QObject *object : std::as_const(order_)) {
        auto *widget = qobject_cast<QWidget *>(object);
        if (!widget)
            continue;
        const ControlInfo &info = info_[object];
        const QRect &r = info.designRect;
        widget->setGeometry(qRound(r.x() * sx), qRound(r.y() * sy), qRound(r.width() * sx),
                            qRound(r.height() * sy));
        if (info.designPointSize > 0) {
            QFont font = widget->font();
            font.setPointSizeF(info.designPointSize * fontScale);
            widget->setFont(font);
        }
    }
}

// What a control asks of its window: its facts, and the focus.

Control::Control(Form *form, QObject *object)
    : form_(form)
    , object_(object)
{
}

Form *Control::form() const
{
    return form_;
}

const ControlInfo *Control::info() const
{
    return form_ && object_ ? form_->controlInfo(object_) : nullptr;
}

ControlInfo *Control::info()
{
    return form_ && object_ ? form_->controlInfo(object_) : nullptr;
}

void Control::setFocus()
{
    if (form_ && widget())
        form_->focus_.setFocusTo(widget());
}

} // namespace tallic

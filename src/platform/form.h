#pragma once

#include "control.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QRect>
#include <QWidget>

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QGroupBox;

namespace tallic {

class Form;

// The logical focus of one window: its active control and the moves between controls.
//
// Making another control active runs LostFocus of the old one and GotFocus of the new one.
// A LostFocus handler that sets the focus elsewhere (or back to its own control) decides
// where it goes: the control about to become active then sees neither event. A SetFocus
// from GotFocus, or a Tab typed while either handler runs, is a move of its own once the
// handlers are done. Focus changes made by the window system while a handler runs (a
// message box, say) start no move.
class FocusChain
{
public:
    explicit FocusChain(Form &form);
    FocusChain(const FocusChain &) = delete;
    FocusChain &operator=(const FocusChain &) = delete;

    QWidget *active() const { return active_; }
    // True while a LostFocus or GotFocus handler runs.
    bool inTransition() const { return transition_; }
    // A text box, button or list box of the window that is enabled and shown.
    bool isFocusable(QWidget *widget) const;

    // Makes a control active; what Control::setFocus does.
    void setFocusTo(QWidget *widget);
    // Moves to the next (or previous) control in tab order, as Tab (Shift+Tab) does.
    void tabToNext(bool backwards = false);
    // How a move was asked for: a forward Tab goes to the next stop as it stands once the
    // field has been left.
    enum class Move { Direct, TabForward };
    // Makes a control active now, with LostFocus and GotFocus.
    void activate(QWidget *target, Move move = Move::Direct);

    // The window system moved its keyboard focus to a control of the window.
    void keyboardFocusArrived(QWidget *widget, Qt::FocusReason reason);
    // The window became the active window.
    void windowActivated();
    // Gives the window system's keyboard focus back to the active control.
    void restoreKeyboardFocus();

private:
    QList<QWidget *> tabStops() const;
    // The stop after (or before) the active control in tab order; none without stops.
    QWidget *nextStop(bool backwards) const;
    int tabIndexOf(QWidget *widget) const;
    void giveKeyboardFocus(QWidget *widget);

    Form &form_;
    bool transition_ = false;
    QPointer<QWidget> active_;
    QPointer<QWidget> redirect_;
    QPointer<QWidget> deferred_;
};

// A window of the program: a set of named controls laid out on a designed surface, whose
// events run the handlers of the window class that bear the control's name and the
// event's ("Text1_GotFocus(int Index)", "cmdokay_Click()", "Form_Load()").
//
// Handler signatures, with a leading "int Index" for members of a control array:
//   Click(), DblClick(), GotFocus(), LostFocus(), Change()
//   KeyDown(int &KeyCode, int Shift)     KeyCode 0 swallows the key
//   KeyPress(int &KeyAscii)              KeyAscii 0 swallows the character
//   MouseDown(int Button, int Shift, double X, double Y), MouseMove(...) likewise
//   Form_Initialize(), Form_Load(), Form_Activate(), Form_Unload(int &Cancel)
//
// Focus is logical: the window has one active control (see FocusChain).
//
// A command button is unavailable while its Click handler runs, so that a click that
// arrives while the command lets events run cannot start it a second time. Afterwards it
// is available again, unless the handler enabled or disabled it itself.
class Form : public QWidget
{
    Q_OBJECT

public:
    Form(const QString &name, const QSize &designSize, QWidget *parent = nullptr);
    ~Form() override;

    // Building the window, in designed units (pixels of the designed size).
    QLineEdit *addTextBox(const QString &name, int index, const QRect &rect);
    QLabel *addLabel(const QString &name, int index, const QRect &rect, const QString &caption);
    QPushButton *addButton(const QString &name, int index, const QRect &rect,
                           const QString &caption);
    QListWidget *addListBox(const QString &name, int index, const QRect &rect);
    // A bar that shows how far a long command has come; its text is the control's Caption.
    QProgressBar *addProgressBar(const QString &name, const QRect &rect);
    QGroupBox *addFrame(const QString &name, const QRect &rect, const QString &caption);
    QMenu *addMenu(const QString &name, const QString &caption);
    QAction *addMenuEntry(QMenu *menu, const QString &name, const QString &caption);

    Control control(const QString &name, int index = -1) const;
    // By full name: "Text1(4)", "cmdokay".
    Control controlByName(const QString &fullName) const;
    QList<Control> controls() const;
    Control activeControl() const;

    QString caption() const { return windowTitle(); }
    void setCaption(const QString &caption) { setWindowTitle(caption); }
    quint32 backColor() const { return backColor_; }
    void setBackColor(quint32 value);
    QSize designSize() const { return designSize_; }

    // Loads the window (Form_Initialize, then Form_Load) unless it is loaded already.
    void load();
    // Loads and shows the window and makes it the active window.
    void open();
    // Form_Unload, then the window goes away; the program ends when no window is left.
    // False when the handler cancelled.
    bool unload();
    bool isLoaded() const { return loaded_; }

    // Gives the keyboard focus back to the active control (after a modal box).
    void restoreKeyboardFocus() { focus_.restoreKeyboardFocus(); }

    // Handlers that would never run: their name matches no control of the window, or
    // their parameters do not fit the event.
    QStringList wiringProblems() const;

    // Every loaded window, and a window by name ("arinput").
    static QList<Form *> openForms();
    static Form *find(const QString &name);
    // The window that was active last (message boxes do not count).
    static Form *activeForm();

    // Painted less than a frame (of a screen that shows 60 a second) ago.
    bool paintedWithinFrame() const { return painted_.isValid() && painted_.elapsed() < 16; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The window system would move its keyboard focus on, in its own order, from a control
    // that is disabled or hidden, and that control would show the focus for a moment and
    // paint twice. The focus stays where it is: the window moves it by its own rules, and a
    // key that reaches a control switched off goes on to the next one (handleKeyPress).
    bool focusNextPrevChild(bool) override { return true; }
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    friend class Control;
    friend class FocusChain;

    // One argument of a handler: its type as the handler declares it ("int&") and where
    // the value is; a handler writes back through the pointer.
    struct HandlerArg
    {
        const char *type;
        void *value;
    };

    void registerControl(QObject *object, const QString &name, int index);
    const ControlInfo *controlInfo(const QObject *object) const;
    ControlInfo *controlInfo(const QObject *object);
    QWidget *controlWidgetFor(QObject *object) const;
    bool handleKeyPress(QWidget *widget, QKeyEvent *event);
    bool handleAccessKey(QWidget *widget);
    bool handleMouse(QWidget *widget, QMouseEvent *event);
    void rescale();

    // Runs the control's handler "<base>_<event>(<types>)", or the window's "Form_<event>",
    // if the window class has one; false when it has none.
    bool fire(QObject *control, const char *event, std::initializer_list<HandlerArg> args = {});
    bool fireForm(const char *event, std::initializer_list<HandlerArg> args = {});
    int handlerId(const QString &base, int index, const char *event,
                  std::initializer_list<HandlerArg> args);
    bool invokeHandler(const QString &base, int index, const char *event,
                       std::initializer_list<HandlerArg> args);
    // Runs a button's Click handler with the button unavailable meanwhile.
    void pressButton(QPushButton *button);

    QWidget *client_ = nullptr;
    QMenuBar *menuBar_ = nullptr;
    QSize designSize_;
    quint32 backColor_;
    bool loaded_ = false;
    QElapsedTimer painted_;
    FocusChain focus_;
    QPointer<QWidget> pressed_;
    QPointer<QWidget> keyedIn_; // the control that took the last key press
    QHash<QString, QObject *> byName_;
    QList<QObject *> order_;
    QHash<const QObject *, ControlInfo> info_;
    QHash<QByteArray, int> methodCache_;
};

} // namespace tallic

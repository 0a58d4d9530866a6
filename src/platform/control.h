#pragma once

#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>

class QObject;
class QWidget;

namespace tallic {

class Form;

// What a window keeps of each of its controls beyond the widget's own state.
struct ControlInfo
{
    QString baseName; // "Text1" for "Text1(4)"
    int index = -1; // -1 outside control arrays
    int tabIndex = 0;
    bool tabStop = false;
    int maxLength = 0; // typing limit of a text box; 0 = none
    quint32 backColor = 0;
    quint32 foreColor = 0;
    // Where the designer put the control, which rescaling starts from every time.
    QRect designRect;
    double designPointSize = 0;
    // Counts the program's own enable and disable calls, so that the runtime can tell
    // whether a command's handler decided its button's state.
    quint32 enabledWrites = 0;
};

// A handle on one named control of a window, with the properties the windows use.
// A handle on a control that does not exist (or no longer exists) reads as empty and
// ignores writes, so a window never crashes on a name.
class Control
{
public:
    enum class Kind { None, TextBox, Label, Button, ListBox, Frame, MenuEntry };

    Control() = default;
    Control(Form *form, QObject *object);

    bool isValid() const { return !object_.isNull(); }
    Kind kind() const;
    QString name() const; // "Text1(4)", "cmdokay"
    QString baseName() const; // "Text1"
    int index() const; // -1 outside control arrays
    Form *form() const;
    QObject *object() const { return object_; }
    QWidget *widget() const;

    // Text boxes and list boxes hold Text; labels, buttons, frames and menu entries a
    // Caption. Each reads the other's property as the same thing, as the windows expect.
    QString text() const;
    void setText(const QString &text);
    QString caption() const { return text(); }
    void setCaption(const QString &caption) { setText(caption); }

    bool enabled() const;
    void setEnabled(bool on);
    bool visible() const;
    void setVisible(bool on);
    quint32 backColor() const;
    void setBackColor(quint32 value);
    quint32 foreColor() const;
    void setForeColor(quint32 value);
    // Both at once, with one change of the control's palette.
    void setColors(quint32 back, quint32 fore);
    QString toolTip() const;
    void setToolTip(const QString &text);
    int maxLength() const;
    void setMaxLength(int length); // 0 = no limit
    int tabIndex() const;
    void setTabIndex(int index);
    bool tabStop() const;
    void setTabStop(bool on);
    void setFont(const QString &family, double pointSize, bool bold);
    bool locked() const;
    void setLocked(bool on); // read-only text box

    // List boxes.
    QStringList items() const;
    void addItem(const QString &item);
    void removeItem(int row);
    void clear();
    int listIndex() const;
    void setListIndex(int row);

    // Makes this control the window's active control, with GotFocus and LostFocus.
    void setFocus();
    // Paints what has changed in the window now, as a long command needs.
    void refresh();

private:
    const ControlInfo *info() const;
    ControlInfo *info();

    QPointer<Form> form_;
    QPointer<QObject> object_;
};

} // namespace tallic

#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>

class QObject;
class QWidget;

namespace tallic {

class Form;

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
    Form *form() const { return form_; }
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
    void refresh();

private:
    QPointer<Form> form_;
    QPointer<QObject> object_;
};

} // namespace tallic

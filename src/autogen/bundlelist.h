#pragma once

#include "platform/colors.h"
#include "platform/control.h"

#include <QString>
#include <QStringList>

namespace tallic {

class Form;

// One list of the AutoGenerate window with its file (the bundle's items in bundle1.ini, the
// members in bundle2.ini), its status box and its input box. The list lives in the window
// and reaches its file only through save and delete; its text colour is the record of
// unsaved changes: navy while it matches its file, red after any change.
class BundleList
{
public:
    static constexpr quint32 SavedColor = Rgb(0, 0, 128);
    static constexpr quint32 ChangedColor = Colors::Red;

    BundleList(const Form &window, const char *list, const char *file, const char *status,
               const char *input);

    Control list() const;
    // Fills the list from its file; a file that failed is told once, and the list stays
    // empty.
    void load();
    // The list differs from its file (red) or matches it (navy).
    void markChanged(bool changed);
    void deleteSelected();
    // False when the file could not be written (reported).
    bool save(const QString &doneText);
    void remove(const QString &doneText);
    // Exit with the list changed since its last save asks whether to save it; false when
    // the save failed (reported) and the window stays.
    bool savedOnExit(const QString &listName, const QString &doneText);

private:
    Control control(const char *name) const;

    const Form &window_;
    const char *list_;
    const char *file_;
    const char *status_;
    const char *input_;
};

// Tells the operator of entries not added: the list files could not hold them.
void tellNotKept(const QStringList &entries);

} // namespace tallic

#include "bundlelist.h"

#include "listfiles.h"
#include "platform/form.h"
#include "platform/runtime.h"
#include "suite/messages.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

BundleList::BundleList(const Form &window, const char *list, const char *file, const char *status,
                       const char *input)
    : window_(window)
    , list_(list)
    , file_(file)
    , status_(status)
    , input_(input)
{
}

Control BundleList::control(const char *name) const
{
    return window_.control(QString::fromLatin1(name));
}

Control BundleList::list() const
{
    return control(list_);
}

void BundleList::load()
{
    const Result<QStringList> entries = readListFile(QString::fromLatin1(file_));
    if (!entries) {
        ReportError(entries.failure());
        return;
    }
    Control box = list();
    for (const QString &entry : *entries)
        box.addItem(entry);
}

void BundleList::markChanged(bool changed)
{
    list().setForeColor(changed ? ChangedColor : SavedColor);
}

void BundleList::deleteSelected()
{
    Control box = list();
    const int row = box.listIndex();
    // With nothing selected there is nothing to delete, and the list stays as saved.
    if (!box.items().isEmpty() && row >= 0) {
        // Nothing stays selected, so that a second Delete cannot take the neighbour.
        box.setListIndex(-1);
        box.removeItem(row);
        markChanged(true);
    }
    control(input_).setFocus();
}

bool BundleList::save(const QString &doneText)
{
    Control status = control(status_);
    const QStringList entries = list().items();
    status.setText(u"Saving "_s + QString::number(entries.size()) + u" items"_s);
    const Result<void> saved = writeListFile(QString::fromLatin1(file_), entries);
    DoEvents();
    if (!saved) {
        // The list stays red: it still differs from its file.
        ReportError(saved.failure());
        return false;
    }
    status.setText(doneText);
    markChanged(false);
    return true;
}

void BundleList::remove(const QString &doneText)
{
    // The file goes first: a file that cannot be removed leaves the list to save again.
    if (const Result<void> removed = removeListFile(QString::fromLatin1(file_)); !removed) {
        ReportError(removed.failure());
        return;
    }
    list().clear();
    control(status_).setText(doneText);
    DoEvents();
}

bool BundleList::savedOnExit(const QString &listName, const QString &doneText)
{
    if (programEnding() || list().foreColor() != ChangedColor)
        return true;
    if (!AskYesNo(listName
                      + u" has changed since it was last saved.\n"_s
                        u"Click YES to save it, click NO to close without saving it."_s,
                  u"Save changes?"_s))
        return true;
    return save(doneText);
}

void tellNotKept(const QStringList &entries)
{
    if (entries.isEmpty())
        return;
    // Saved, such an entry would come back with a stand-in character in place of its own.
    MsgBox(u"Not added: the list file cannot hold "_s + charactersNotKept(entries.join(u' '))
               + u" (the Western code page has no such character).\n\n"_s + entries.join(u'\n'),
           BoxButtons::Ok, BoxIcon::Information, u"Oops..."_s);
}

} // namespace tallic

// What the bundle and the member list share: their files, deleting an entry, saving and
// deleting a whole list, and the colour that tells whether a list is saved.
#include "frmbundle.h"

#include "listfiles.h"
#include "platform/runtime.h"
#include "suite/messages.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

const Frmbundle::ListSide Frmbundle::Bundle { "List1", "bundle1.ini", "helpwindow", "txtglnum" };
const Frmbundle::ListSide Frmbundle::Members { "List2", "bundle2.ini", "helpwindow2", "txtmember" };

void Frmbundle::loadList(const ListSide &side)
{
    // A file that failed is told once; the window goes on with the list empty.
    const Result<QStringList> entries = readListFile(QString::fromLatin1(side.file));
    if (!entries) {
        ReportError(entries.failure());
        return;
    }
    Control list = ctl(QString::fromLatin1(side.list));
    for (const QString &entry : *entries)
        list.addItem(entry);
}

void Frmbundle::tellNotKept(const QStringList &entries)
{
    if (entries.isEmpty())
        return;
    // Saved, such an entry would come back with a stand-in character in place of its own.
    MsgBox(u"Not added: the list file cannot hold "_s + charactersNotKept(entries.join(u' '))
               + u" (the Western code page has no such character).\n\n"_s + entries.join(u'\n'),
           BoxButtons::Ok, BoxIcon::Information, u"Oops..."_s);
}

void Frmbundle::markChanged(const ListSide &side, bool changed)
{
    ctl(QString::fromLatin1(side.list)).setForeColor(changed ? ChangedColor : SavedColor);
}

void Frmbundle::deleteSelected(const ListSide &side)
{
    Control list = ctl(QString::fromLatin1(side.list));
    const int row = list.listIndex();
    // With nothing selected there is nothing to delete, and the list stays as saved.
    if (!list.items().isEmpty() && row >= 0) {
        // Nothing stays selected, so that a second Delete cannot take the neighbour.
        list.setListIndex(-1);
        list.removeItem(row);
        markChanged(side, true);
    }
    ctl(QString::fromLatin1(side.input)).setFocus();
}

bool Frmbundle::saveList(const ListSide &side, const QString &doneText)
{
    Control status = ctl(QString::fromLatin1(side.status));
    const QStringList entries = ctl(QString::fromLatin1(side.list)).items();
    status.setText(u"Saving "_s + QString::number(entries.size()) + u" items"_s);
    const Result<void> saved = writeListFile(QString::fromLatin1(side.file), entries);
    DoEvents();
    if (!saved) {
        // The list stays red: it still differs from its file.
        ReportError(saved.failure());
        return false;
    }
    status.setText(doneText);
    markChanged(side, false);
    return true;
}

void Frmbundle::deleteList(const ListSide &side, const QString &doneText)
{
    // The file goes first: a file that cannot be removed leaves the list to save again.
    if (const Result<void> removed = removeListFile(QString::fromLatin1(side.file)); !removed) {
        ReportError(removed.failure());
        return;
    }
    ctl(QString::fromLatin1(side.list)).clear();
    ctl(QString::fromLatin1(side.status)).setText(doneText);
    DoEvents();
}

} // namespace tallic

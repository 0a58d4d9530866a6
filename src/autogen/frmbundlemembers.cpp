// The member list: members added one at a time or a whole class at once, and the list's
// commands.
#include "frmbundle.h"

#include "basic/masks.h"
#include "basic/numbers.h"
#include "basic/text.h"
#include "listfiles.h"
#include "platform/keycodes.h"
#include "platform/platform.h"
#include "platform/runtime.h"
#include "store/database.h"
#include "suite/messages.h"
#include "suite/tools.h"
#include "suite/validators.h"

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

constexpr double HighestMember = 99999.99;

struct ClassMember
{
    double number;
    QString name;
};

// Every member of a class, read whole before anything is listed: a database that fails
// halfway leaves the list as it was.
Result<QList<ClassMember>> classMembers(const QString &classCode, bool withSubAccounts)
{
    QString sql = u"select * from acctinfo where classcode = ?"_s;
    // Main accounts only: numbers without a fraction.
    if (!withSubAccounts)
        sql += u" and acctnumber = fix(acctnumber)"_s;
    sql += u" order by acctnumber"_s;

    SuiteDb db(u"master.mdb"_s);
    Result<QSqlQuery> read = db.query(sql, { classCode });
    if (!read)
        return read.failure();
    QSqlQuery &query = *read;
    QList<ClassMember> found;
    while (query.next())
        found.append({ query.value(u"acctnumber"_s).toDouble(),
                       trimBlanks(query.value(u"lname"_s).toString()) + u", "_s
                           + trimBlanks(query.value(u"fname"_s).toString()) });
    if (query.lastError().isValid())
        return dbFailure(query.lastError(), db.fileName());
    return found;
}

// Adds every member of a class code to the list, through the member box as if keyed;
// false when the database failed (reported).
bool addClassMembers(Control field, Control list, const QString &classCode, bool withSubAccounts)
{
    const Result<QList<ClassMember>> found = classMembers(classCode, withSubAccounts);
    if (!found) {
        ReportError(found.failure());
        return false;
    }
    if (found->isEmpty()) {
        MsgBox(u"No records found with the selected class code."_s, BoxButtons::Ok,
               BoxIcon::Information, u"Oops..."_s);
        return true;
    }
    // Members whose names the list file cannot hold are left out, and named; so are those
    // listed already, who would be charged twice, and counted.
    QStringList notKept;
    const QSet<QString> before = listedMembers(list.items());
    int listed = 0;
    for (const ClassMember &member : *found) {
        if (before.contains(listedMember(member.number))) {
            ++listed;
            continue;
        }
        // No member check: the class comes from the register itself.
        field.setText(shortestNumber(member.number));
        const QString entry = field.text() + u" - "_s + member.name;
        if (!charactersNotKept(entry).isEmpty()) {
            notKept << entry;
            continue;
        }
        list.addItem(entry);
        DoEvents();
    }
    tellNotKept(notKept);
    if (listed > 0)
        MsgBox(u"%1 of the class's %2 members were in the list already and were not added "
               u"again."_s.arg(listed)
                   .arg(found->size()),
               BoxButtons::Ok, BoxIcon::Information, u"Select Members by Class Code Group"_s);
    return true;
}

} // namespace

void showMemberCount(const Frmbundle &window)
{
    window.ctl(u"lblcount"_s)
        .setCaption(QString::number(window.ctl(u"List2"_s).items().size()) + u" members"_s);
}

void Frmbundle::txtmember_GotFocus()
{
    ctl(u"txtmember"_s).setBackColor(Rgb(0, 255, 255));
    ctl(u"helpwindow2"_s).setText(u"Type the member number in the blue box"_s);
    if (!keepBareCount_)
        showMemberCount(*this);
    DoEvents();
}

void Frmbundle::txtmember_KeyDown(int &KeyCode, int)
{
    if (KeyCode == VirtualKey::F5)
        startLookup(u"tassip.exe"_s, u"txtmember"_s);
}

void Frmbundle::txtmember_KeyPress(int &KeyAscii)
{
    if (KeyAscii != VirtualKey::Enter)
        return;
    KeyAscii = 0;
    ctl(u"cmdaddmember"_s).setFocus();
}

void Frmbundle::txtmember_LostFocus()
{
    takeLookupAnswer(u"txtmember"_s);
    Control field = ctl(u"txtmember"_s);
    const double number = Val(field.text());
    field.setText(formatMask(number, u"#####.#0"_s));
    if (number < 1 || number > HighestMember)
        field.setText(QString());
}

void Frmbundle::cmdaddmember_Click()
{
    Control field = ctl(u"txtmember"_s);
    const double number = Val(field.text());
    if (number < 1 || number > HighestMember)
        return;
    // The check leaves the member's class on the clipboard, where the operator's own text was.
    const QString kept = platform().clipboardText();
    const Result<MemberAccount> member = ValidateMember(shortestNumber(number));
    putClipboardBack(kept);
    if (!member) {
        field.setText(QString());
        field.setFocus();
        return;
    }
    const QString entry = formatMask(number, u"#####.#0"_s) + u" - "_s + member->description;
    if (!charactersNotKept(entry).isEmpty()) {
        tellNotKept({ entry });
        field.setText(QString());
        field.setFocus();
        return;
    }
    // A member listed twice is charged twice: listed again only when the operator says so.
    if (listedMembers(ctl(u"List2"_s).items()).contains(listedMember(number))
        && !AskYesNo(u"Member "_s + entry
                         + u" is in the list already.\nList him again? He "
                           u"would be charged twice."_s,
                     u"Member listed already"_s)) {
        field.setText(QString());
        field.setFocus();
        return;
    }
    ctl(u"List2"_s).addItem(entry);
    members_.markChanged(true);
    field.setText(QString());
    field.setFocus();
    DoEvents();
}

void Frmbundle::cmdaddgroup_Click()
{
    const QString title = u"Select Members by Class Code Group"_s;
    const QString classCode
        = InputBox(u"Type the class code to use. Leave blank to cancel."_s, title);
    if (classCode.isEmpty() || programEnding())
        return;
    const bool withSubAccounts = AskYesNo(u"Select member SUB accounts (.01-.99) also?"_s, title);
    if (!addClassMembers(ctl(u"txtmember"_s), ctl(u"List2"_s), classCode, withSubAccounts))
        return;
    ctl(u"txtmember"_s).setText(QString());
    members_.markChanged(true);
    showMemberCount(*this);
    DoEvents();
}

void Frmbundle::cmddeletemember_Click()
{
    keepBareCount_ = true;
    members_.deleteSelected();
    keepBareCount_ = false;
    DoEvents();
}

void Frmbundle::cmdnewmemberlist_Click()
{
    ctl(u"List2"_s).clear();
    ctl(u"txtmember"_s).setFocus();
    members_.markChanged(true);
    DoEvents();
}

void Frmbundle::cmdsavemember_Click()
{
    members_.save(u"Member list saved."_s);
}

void Frmbundle::cmddelmemlist_Click()
{
    members_.remove(u"List deleted"_s);
}

void Frmbundle::List2_LostFocus()
{
    // The count the list will have once the member just picked is deleted.
    ctl(u"lblcount"_s).setCaption(QString::number(ctl(u"List2"_s).items().size() - 1));
}

} // namespace tallic

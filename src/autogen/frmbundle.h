#pragma once

#include "bundlelist.h"
#include "platform/form.h"
#include "suite/tools.h"
#include "suite/validators.h"

#include <QSet>

class QProgressBar;

namespace tallic {

class Arinput;
struct ArSettings;

// The AutoGenerate Chits window: a bundle of charge items applied to a list of members.
// It stands beside the entry window, which stays usable while it is open.
//
// Both lists live in the window and reach their files (bundle1.ini, bundle2.ini) only
// through the save and delete commands. A list's text colour is the record of unsaved
// changes: navy while it matches its file, red after any change.
class Frmbundle : public Form
{
    Q_OBJECT

public:
    Frmbundle();

    Control ctl(const QString &name) const { return control(name); }

private slots:
    void Form_Load();
    void Form_Activate();
    void Form_Unload(int &Cancel);

    // The bundle: the items' account and price, and the bundle commands.
    void txtglnum_GotFocus();
    void txtglnum_KeyDown(int &KeyCode, int Shift);
    void txtglnum_KeyPress(int &KeyAscii);
    void txtglnum_LostFocus();
    void txtprice_GotFocus();
    void txtprice_KeyPress(int &KeyAscii);
    void txtprice_LostFocus();
    void cmdadd_Click();
    void cmddelete_Click();
    void cmdnew_Click();
    void cmdsavelist_Click();
    void cmddeletelist_Click();
    void List1_Click();

    // The member list.
    void txtmember_GotFocus();
    void txtmember_KeyDown(int &KeyCode, int Shift);
    void txtmember_KeyPress(int &KeyAscii);
    void txtmember_LostFocus();
    void cmdaddmember_Click();
    void cmdaddgroup_Click();
    void cmddeletemember_Click();
    void cmdnewmemberlist_Click();
    void cmdsavemember_Click();
    void cmddelmemlist_Click();
    void List2_LostFocus();

    void txtmemo_GotFocus();
    void txtmemo_LostFocus();
    void cmdgenerate_Click();
    void cmdhelp_Click();
    void cmdexit_Click();

private:
    // The entry window beside it, whose settings and bypasses the window follows; none
    // while the entry window is not open.
    const Arinput *entryWindow() const;
    const ArSettings &settings() const;

    // The bundle's items and the member list, each with its file.
    BundleList bundle_ { *this, "List1", "bundle1.ini", "helpwindow", "txtglnum" };
    BundleList members_ { *this, "List2", "bundle2.ini", "helpwindow2", "txtmember" };

    // What Generate Chits drives a run through: the lists, the memo, the help line, the
    // progress and the commands of this window.
    class RunWindow;

    // The account last found by the check of txtglnum: its text goes with the next item.
    GlAccount account_;

    // A lookup started from txtglnum or txtmember: the box takes its answer as it is left.
    LookupStart lookup_;
    void startLookup(const QString &program, const QString &box);
    void takeLookupAnswer(const QString &box);

    // Members done out of members listed, under mainhelpwindow.
    QProgressBar *progress_ = nullptr;

    // While Delete Member moves on to the member box, the bare count that leaving the
    // list showed stays up.
    bool keepBareCount_ = false;
};

// Lets the entry window's AutoGenerate command open this window.
void installAutoGenerate();

// Lays the AutoGenerate window out as designed: the bundle on the left, the input boxes and
// the commands in the middle, the member list on the right; its progress bar.
QProgressBar *buildBundleScreen(Form &window);
// The member list's count, in lblcount.
void showMemberCount(const Frmbundle &window);

} // namespace tallic

#pragma once

#include "basic/chit.h"
#include "basic/chitdates.h"
#include "basic/result.h"
#include "platform/form.h"
#include "posting/batch.h"
#include "posting/batchscreen.h"
#include "posting/chitposting.h"
#include "posting/entrymodes.h"
#include "posting/modes.h"
#include "suite/arsettings.h"
#include "suite/tools.h"

#include <functional>
#include <optional>

namespace tallic {

// An account's service-charge and tax rates.
struct AccountRates
{
    double serviceCharge = 0;
    double tax = 0;
};

// The chit entry window: ten chit fields keyed one after the other, the previous chit,
// the batch's count and control total, and the mode commands.
class Arinput : public Form
{
    Q_OBJECT

public:
    Arinput();

    Control Text1(int index) const { return control(QStringLiteral("Text1"), index); }
    Control Label1(int index) const { return control(QStringLiteral("Label1"), index); }
    Control txtprev(int index) const { return control(QStringLiteral("txtprev"), index); }
    Control ctl(const QString &name, int index = -1) const { return control(name, index); }

    // Reads the command line and the suite's configuration; refuses a start that the
    // launch code or the access level does not allow. False when the program ends.
    bool LoadSettings();
    // Puts the balance of the member in field 4 on the clipboard ("Balance: 1,234.50"); the
    // failure is the caller's to report.
    Result<void> ShowBalance();

    // The club's settings read at start-up.
    const ArSettings &settings() const { return settings_; }
    EntryModes &modes() { return modes_; }

    // Window state that the handlers and the window's parts share: the batch and the chit
    // being keyed; the G/L field keeps its account from chit to chit while locked.
    Batch batch_;
    KeyedChit keyed_;
    bool GlLocked = false;
    int LastChangedField = 0;

private slots:
    void Form_Initialize();
    void Form_Load();
    void Form_Activate();
    void Form_Unload(int &Cancel);

    void Text1_GotFocus(int Index);
    void Text1_KeyDown(int Index, int &KeyCode, int Shift);
    void Text1_KeyPress(int Index, int &KeyAscii);
    void Text1_Click(int Index);
    void Text1_MouseDown(int Index, int Button, int Shift, double X, double Y);
    void Text1_MouseMove(int Index, int Button, int Shift, double X, double Y);
    void Text1_Change(int Index);
    void Text1_LostFocus(int Index);

    // Posting and modes.
    void cmdokay_Click();
    void cmdnormal_Click();
    void cmdpayments_Click();
    void cmdadjust_Click();
    void cmdredo_Click();
    void cmdscbypass_Click();
    void cmdtaxbypass_Click();
    void cmdautogenerate_Click();
    void mnuautogen_Click();
    void cmdexit_Click();
    void exit_Click();
    void lblconsolidate_MouseMove(int Button, int Shift, double X, double Y);

    // Batches and validity totals.
    void cmdnewbatch_Click();
    void txtvalid_MouseMove(int Index, int Button, int Shift, double X, double Y);

    // The suite's other programs.
    void dpedit_Click();
    void eomeditor_Click();
    void info_Click();
    void help_Click();

    // Field options and the memo.
    void Label1_Click(int Index);
    void Label2_Click();
    void txtmemo_GotFocus();
    void txtmemo_LostFocus();
    void txtmemo_KeyDown(int &KeyCode, int Shift);
    void txtmemo_KeyPress(int &KeyAscii);

protected:
    void changeEvent(QEvent *event) override;

private:
    bool startAllowed();
    void startFailed(const Failure &failure);
    bool lockedRetried(const Result<ArSettings> &read);
    // The settings on the screen: the caption, the commands the level allows.
    void showSettings();
    // Lets another program of the suite come in front of the window.
    void releaseTopmost();
    // The answer of the lookup started from the field shows in it; leaving the field takes
    // it, and it leaves the clipboard.
    void showLookupAnswer(int field);
    bool takeLookupAnswer(int field, QString &text);

    // Leaving each field (the field's own checks; false sends the operator back).
    void leaveGlAccount();
    void leaveChitNumber();
    void leaveChitDate();
    void leaveMember();
    // The member's description and what was passed on the clipboard, in Text3; a suspended
    // or terminated member is warned of.
    void showMember(const QString &description, const QString &passed);
    void leaveEmployee();
    void leaveCovers();
    void leaveKeyedAmount(int index);
    // The base sale: service charge and tax from the account's rates (false when the
    // account has no rates row), then the base sale's form, the total and the questions.
    bool computeCharges(bool moveOn);
    // The rates of the chit's account (ar0); none when the account has no row (told) or
    // the database failed (reported).
    std::optional<AccountRates> accountRates(bool moveOn);
    // A payment, credit or adjustment made negative, unless the operator charges.
    void signBase();
    void completeChit();
    // A field keyed for every chit: blue caption with white text, the field in use.
    void switchFieldOn(int index);
    // The working date held to the open A/R month.
    DateVerdict checkWorkDate() const;

    ArSettings settings_;

    bool topmostReleased_ = false;
    bool refilling_ = false; // the program, not the operator, is filling a field
    bool dateTouched_ = false; // the operator changed the date since entering its field
    bool amountsDone_ = false; // Enter or "+" computed the base sale already
    LookupStart lookup_; // started from the field that has the focus
    int promptField_ = Field::GlAccount; // the field whose prompt the help line shows

    // The window's parts: the modes on the screen, the batch, and OK.
    friend class EntryModes;
    friend class BatchScreen;
    EntryModes modes_ { *this };
    BatchScreen batches_ { *this, batch_, modes_ };
    ChitPosting posting_ { *this, modes_, batches_ };

    void buildScreen();
    void buildFields();
    void buildPreviousChit();
    void buildCommands();
    void buildMenus();
};

} // namespace tallic

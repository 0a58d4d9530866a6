// Start-up and closing of the entry window.
#include "arinput.h"

#include "basic/numbers.h"
#include "frmsplash.h"
#include "keys/sendkeys.h"
#include "platform/runtime.h"
#include "suite/database.h"
#include "suite/guards.h"
#include "suite/layout.h"
#include "suite/localdisk.h"
#include "suite/messages.h"
#include "suite/sharedstate.h"
#include "suite/staff.h"
#include "suite/today.h"
#include "suite/tools.h"
#include "suite/windows.h"

#include <QDir>
#include <QPointer>

#include <limits>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

QString columnText(int position)
{
    const SharedState &s = state();
    if (position >= s.RowValues.size() || (position < s.RowNulls.size() && s.RowNulls.at(position)))
        return QString();
    return s.RowValues.at(position).toString();
}

double columnNumber(int position)
{
    const SharedState &s = state();
    if (position >= s.RowValues.size() || (position < s.RowNulls.size() && s.RowNulls.at(position)))
        return 0;
    // A number is read as the number it is: its text may be in exponent form ("1e+05").
    const QVariant &value = s.RowValues.at(position);
    return value.typeId() == QMetaType::QString ? Val(value.toString()) : value.toDouble();
}

// A value that does not fit the setting's type is the language's overflow, which ends the
// start like any run-time failure: a wrapped level or month would let the wrong people
// in or key into the wrong month.
bool overflow()
{
    SharedState &s = state();
    s.ErrNumber = 6;
    s.ErrDescription = u"Overflow"_s;
    s.ErrLine = 0;
    return false;
}

bool integerColumn(int position, qint16 &setting, int lowest = std::numeric_limits<qint16>::min(),
                   int highest = std::numeric_limits<qint16>::max())
{
    const std::optional<qint16> value = convertToInteger(columnNumber(position));
    if (!value || *value < lowest || *value > highest)
        return overflow();
    setting = *value;
    return true;
}

bool longColumn(int position, qint32 &setting)
{
    const std::optional<qint32> value = convertToLong(columnNumber(position));
    if (!value)
        return overflow();
    setting = *value;
    return true;
}

// A column the row buffer does not hold is a run-time failure, as reading past the end
// of the buffer would be.
bool rowHolds(int lastPosition)
{
    SharedState &s = state();
    if (s.ErrNumber != 0)
        return false;
    if (s.RowValues.size() > lastPosition)
        return true;
    s.ErrNumber = 9;
    s.ErrDescription = u"Subscript out of range"_s;
    s.ErrLine = 0;
    return false;
}

bool columnIsNull(int position)
{
    const SharedState &s = state();
    return position >= s.RowNulls.size() || s.RowNulls.at(position);
}

} // namespace

void Arinput::Form_Initialize()
{
    SharedState &s = state();
    s.WorkDate = toLong(Val(platform().clipboardText()));
    platform().clearClipboard();
    DoEvents();
}

// A run-time failure during start-up is reported once, and the program ends: a failure
// that persists (a missing configuration, say) would otherwise repeat the box forever.
bool Arinput::startFailed()
{
    SharedState &s = state();
    if (programEnding())
        return true;
    if (s.ErrNumber == 0)
        return false;
    s.MsgText = u"Code "_s + QString::number(s.ErrNumber) + u" in "_s + QString::number(s.ErrLine)
        + s.ErrDescription;
    ShowCritical();
    endProgram();
    return true;
}

// A database locked by another workstation passes: the operator may try again, or cancel,
// which ends the program.
bool Arinput::lockedRetried()
{
    SharedState &s = state();
    if (programEnding() || s.ErrNumber != JetError::Locked)
        return false;
    s.MsgText = u"Code %1 in line %2: %3"_s.arg(s.ErrNumber).arg(s.ErrLine).arg(s.ErrDescription);
    if (MsgBox(s.MsgText, BoxButtons::RetryCancel, BoxIcon::Critical, u"Varnest"_s)
        != AnswerRetry) {
        endProgram();
        return false;
    }
    clearError();
    return true;
}

void Arinput::Form_Load()
{
    SharedState &s = state();
    const InstanceClaim instance = platform().claimSingleInstance();
    if (instance.outcome == InstanceClaim::OtherCopyRunning) {
        MsgBox(u"Tallic is already running. You may not\nstart it twice on the same computer."_s,
               BoxButtons::Ok, BoxIcon::Information, u"Varnest"_s);
        endProgram();
        return;
    }
    if (instance.outcome == InstanceClaim::LockFailed) {
        MsgBox(
            u"Tallic cannot use its lock file, so it cannot make sure that it\nruns only once on this computer:\n"_s
                + instance.problem,
            BoxButtons::Ok, BoxIcon::Critical, u"Varnest"_s);
        endProgram();
        return;
    }
    CheckDbUpdate();
    if (s.MsgText == u"UPDREQ"_s) {
        endProgram();
        return;
    }
    // Before any database is opened: their log would not hold on a network folder.
    if (const QString refusal = dataFolderRefusal(QDir::currentPath()); !refusal.isEmpty()) {
        MsgBox(refusal, BoxButtons::Ok, BoxIcon::Critical, dataFolderRefusalTitle());
        endProgram();
        return;
    }
    // Databases of a newer layout are not this program's to touch; an older one is
    // brought up to date before anything reads it.
    CheckLayout();
    if (s.MsgText == u"LAYOUT"_s) {
        endProgram();
        return;
    }

    // Back from one of the suite's tools the operator starts on a fresh batch.
    setToolReturnAction([entry = QPointer<Arinput>(this)] {
        if (entry && entry->isLoaded())
            entry->StartBatch();
    });

    QPointer<Frmsplash> splash = new Frmsplash;
    splash->load();
    DoEvents();

    CenterForm(this);
    ApplyPracticeColour(this);
    SetTopmost(this, -1);
    DoEvents();

    clearError();
    MouseArrow();
    do
        LoadSettings();
    while (lockedRetried());
    if (startFailed())
        return;

    s.LocationText = u"A/R Chit"_s;
    SetStaffLocation();
    if (startFailed())
        return;

    if (s.AccessLevel >= s.LevelLimits[3])
        ctl(u"eomeditor"_s).setVisible(true);
    setCaption(s.UserName + u" @ Accounts Receivable  - in A/R month: "_s
               + QString::number(s.ArMonth));
    platform().clearClipboard();
    DoEvents();
    if (s.WorkDate < 1) {
        SetToday();
        s.WorkDate = s.TodayNumber;
    }
    ctl(u"helpwindow"_s).setText(u"Click NEW BATCH to begin"_s);
    s.StartStamp = (s.UserName + platform().timeOfDay().toString(u"hh:mm:ss"_s)).left(15);

    MouseArrow();
    DbFreeLocks();
    DoEvents();
    if (startFailed())
        return;
    open();
    if (splash)
        splash->unload();
    DoEvents();

    // The program presses NEW BATCH by itself: the operator starts on a batch date.
    ctl(u"cmdnewbatch"_s).setFocus();
    SendKeyString(u"{ENTER}"_s);
}

void Arinput::LoadSettings()
{
    SharedState &s = state();
    const QString &line = s.CommandLine;
    // Fewer than five characters cannot carry a user name: as good as no command line.
    if (line.size() >= 5) {
        s.LaunchCode = line.left(3);
        s.AccessLevel = qint16(toLong(Val(line.mid(3, 2))));
        s.UserName = line.mid(5);
    }

    QString db = u"config"_s;
    DbRead(db, u"select * from ar"_s);
    DoEvents();
    if (!rowHolds(48))
        return;
    for (int i = 0; i < 4; ++i) {
        if (!integerColumn(i, s.LevelLimits[i]))
            return;
    }
    if (!integerColumn(22, s.ArMonth, 1, 12))
        return;
    s.TaxServiceCharge = columnText(7);
    s.ScTaxableShare = float(columnNumber(25));
    s.ArAccount = columnNumber(4);
    if (!integerColumn(19, s.ValidityMode))
        return;
    s.ScTaxBasis = columnText(39);

    QString skips = columnText(47);
    if (skips.isEmpty())
        skips = u"0000000000"_s;
    s.SkipGlCheck = qint16(Val(skips.mid(0, 1)));
    s.SkipMemberCheck = qint16(Val(skips.mid(1, 1)));
    s.SkipEmpCheck = qint16(Val(skips.mid(2, 1)));
    if (!longColumn(48, s.ArYear))
        return;
    for (int key = 1; key <= 12; ++key)
        s.FunctionKeyText[key] = columnText(26 + key);

    DoEvents();
    SetToday();
    for (int key = 1; key <= 12; ++key) {
        const QString &text = s.FunctionKeyText[key];
        if (text == u"MMDDYYYY"_s || text == u"YYYYMMDD"_s)
            s.FunctionKeyText[key] = QString::number(s.TodayNumber).rightJustified(8, u'0');
    }

    if (columnIsNull(26)) {
        // Only the consolidation column is written back; the buffer's other Null
        // positions stay empty, so the write leaves them Null.
        QVariantList row(s.RowValues.size());
        row[26] = u"N"_s;
        s.RowValues = row;
        DbWrite(db, u"select * from ar"_s);
        if (s.ErrNumber != 0)
            return;
        s.ConsolidationMode = u"N"_s;
    } else {
        s.ConsolidationMode = columnText(26).toUpper();
    }
    DoEvents();
    if (platform().fileExists(u"pontiq.exe"_s))
        s.ConsolidationMode = u"N"_s;

    DbRead(db, u"select empvalidate from pos"_s);
    if (!rowHolds(0))
        return;
    if (!integerColumn(0, s.EmpValidate))
        return;
    if (s.EmpValidate == 1)
        Label1(Field::Employee).setCaption(u"Emp Operator #"_s);
    else if (s.EmpValidate == 2)
        Label1(Field::Employee).setCaption(u"Emp Access #"_s);

    DbRead(db, u"select * from gl"_s);
    if (!rowHolds(7))
        return;
    s.ProfitAccount = columnNumber(7);

    DbRead(db, u"select salestax from company"_s);
    if (!rowHolds(0))
        return;
    s.SalesTaxRate = float(columnNumber(0));
    s.CompanyTaxRate = s.SalesTaxRate;

    DbFreeLocks();
    DoEvents();
    if (s.ConsolidationMode == u"Y"_s || s.ConsolidationMode == u"G"_s)
        ctl(u"lblconsolidate"_s).setVisible(true);
    if (s.LaunchCode.startsWith(u'#'))
        s.LaunchCode[0] = u'K';

    // The user name goes to the staff table trimmed and in upper case; a name of blanks
    // is no name.
    s.UserName = s.UserName.trimmed().toUpper();
    if (s.UserName.isEmpty() || s.LaunchCode != u"KQV"_s) {
        s.MsgText = u"This module cannot be run by itself.\nClick OK to exit..."_s;
        ShowCritical();
        endProgram();
        return;
    }
    if (s.AccessLevel < s.LevelLimits[0]) {
        s.MsgText = u"Access denied. See system administrator.\nClick OK to exit..."_s;
        ShowCritical();
        endProgram();
        return;
    }
    // A new club's configuration leaves both accounts to the office: chits keyed to them
    // would never be refused.
    QStringList unset;
    if (s.ArAccount == 0)
        unset << u"the A/R account (ar-account)"_s;
    if (s.ProfitAccount == 0)
        unset << u"the current-profit account (profit-account)"_s;
    if (!unset.isEmpty()) {
        s.MsgText = u"The club's settings are not complete: "_s + unset.join(u" and "_s)
            + (unset.size() > 1 ? u" are"_s : u" is"_s)
            + u" not set.\nSet them with tallic-club settings, then start again.\nClick OK to "
              u"exit..."_s;
        ShowCritical();
        endProgram();
    }
}

void Arinput::Form_Activate()
{
    DoEvents();
}

void Arinput::Form_Unload(int &)
{
    // Every step is tried, whatever the one before it did.
    SharedState &s = state();
    DoEvents();
    s.WorkDateText.clear();
    s.LocationText = u"A/R Master"_s;
    SetStaffLocation();
    clearError();
    DbFreeLocks();
    DoEvents();
    DbCloseAll();
    endProgram();
}

} // namespace tallic

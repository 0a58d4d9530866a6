// Generate Chits: the bundle's items written as chits for every listed member.
#include "frmbundle.h"

#include "basic/chitdates.h"
#include "basic/masks.h"
#include "basic/numbers.h"
#include "entry/arinput.h"
#include "entry/chit.h"
#include "generation.h"
#include "listfiles.h"
#include "platform/platform.h"
#include "platform/runtime.h"
#include "suite/chitnumbers.h"
#include "suite/database.h"
#include "suite/messages.h"
#include "suite/sharedstate.h"
#include "suite/staff.h"
#include "suite/today.h"

#include <QSqlRecord>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

constexpr int RowColumns = 18;
constexpr int GeneratedSource = 9;

// The failure being handled as the run-time error ReportError tells of.
void setError(qint32 number, const QString &description)
{
    state().ErrNumber = number;
    state().ErrDescription = description;
}

// The chit date: the entry screen's, else the operator's answer; empty when none.
QString askChitDate()
{
    SharedState &s = state();
    if (auto *entry = qobject_cast<Arinput *>(Form::find(u"arinput"_s))) {
        const QString keyed = entry->Text1(Field::ChitDate).text();
        if (!keyed.isEmpty())
            return keyed;
    }
    platform().clearClipboard();
    DoEvents();
    SetToday();
    s.MsgTitle = u"Set Date To Use"_s;
    const QString answer
        = InputBox(u"Enter the date for these generated chits\nin YYYYMMDD format.\n\n"
                   u"Press ENTER to accept the current date."_s,
                   s.MsgTitle, QString::number(s.TodayNumber));
    return generationDate(answer, platform().today().year());
}

} // namespace

void Frmbundle::cmdgenerate_Click()
{
    // A second run must wait until the chits are written.
    Control generate = ctl(u"cmdgenerate"_s);
    generate.setEnabled(false);
    generateChits();
    generate.setEnabled(true);
}

void Frmbundle::generateChits()
{
    SharedState &s = state();
    saveList(Bundle, u"Bundle saved."_s);
    saveList(Members, u"Member list saved."_s);
    DoEvents();

    const QString date = askChitDate();
    if (date.isEmpty())
        return;
    // Generated chits obey the same period rules as keyed ones.
    const DateVerdict verdict = checkChitDate(toLong(Val(date)), s.ArYear, s.ArMonth, s.AccessLevel,
                                              platform().today().year());
    if (verdict != DateVerdict::Accepted) {
        MsgBox(dateRefusalText(verdict), BoxButtons::Ok, BoxIcon::Information,
               u"Date entered: "_s + date);
        return;
    }

    s.WorkDateText = date;
    CheckDateInUse();
    if (s.MsgText != u"OK"_s) {
        MsgBox(s.MsgText
                   + u"\n\nYou should notify this user that you are\nadding transactions to the "
                     u"date he/she is\nalso currently using."_s,
               BoxButtons::Ok, BoxIcon::Information, u"Shared Date"_s);
    }

    s.MsgTitle = u"Please confirm..."_s;
    s.MsgText = u"Click YES to generate, click NO to cancel now."_s;
    AskYesNo();
    if (s.MsgAnswer != 6) {
        ctl(u"cmdexit"_s).setFocus();
        return;
    }

    const QStringList members = ctl(u"List2"_s).items();
    if (ctl(u"List1"_s).items().isEmpty())
        s.MsgText = u"Unable to generate chits. There are no items to create."_s;
    else if (members.isEmpty())
        s.MsgText = u"Unable to generate chits. There are no member accounts selected."_s;
    if (ctl(u"List1"_s).items().isEmpty() || members.isEmpty()) {
        MsgBox(s.MsgText, BoxButtons::Ok, BoxIcon::Information, u"Oops..."_s);
        return;
    }

    // Closing the window while rows are written would leave a chit half done.
    Control exitButton = ctl(u"cmdexit"_s);
    exitButton.setEnabled(false);
    writeChits(date, members);
    exitButton.setEnabled(true);
}

void Frmbundle::writeChits(const QString &date, const QStringList &members)
{
    SharedState &s = state();
    Control progress = ctl(u"mainhelpwindow"_s);
    int written = 0;
    // A failure that would only recur is told once; the chits written so far stay, and
    // the window says where to resume.
    auto stopAt = [&](const QString &member) {
        ReportError();
        clearError();
        progress.setText(QString::number(written) + u" chits written. Stopped at member "_s + member
                         + u'.');
        DoEvents();
    };

    SuiteDb ar(u"ar.mdb"_s);
    SuiteDb daily(u"daily.mdb"_s);
    DoEvents();
    QSqlQuery layout = daily.query(u"select * from ardaily where tallicnum = 'FaGb#@HDJx'"_s);
    const QSqlRecord columns = layout.record();
    layout.finish();
    if (ar.failed() || daily.failed() || columns.count() < RowColumns) {
        if (ar.failed())
            ar.passOnError();
        else if (daily.failed())
            daily.passOnError();
        else
            setError(JetError::NoSuchColumn, u"The ardaily table lacks the columns of a chit."_s);
        stopAt(members.first());
        return;
    }
    // The row is written by column position: the table's own order is the layout.
    QStringList names;
    for (int i = 0; i < RowColumns; ++i)
        names << columns.fieldName(i);
    const QString insert = u"insert into ardaily ("_s + names.join(u", "_s) + u") values (?"_s
        + u", ?"_s.repeated(RowColumns - 1) + u')';

    const QString memo = ctl(u"txtmemo"_s).text();
    for (const QString &entry : members) {
        const double member = memberNumber(entry);
        const QString chit = drawChitNumber();
        DoEvents();
        const QStringList items = readListFile(u"bundle1.ini"_s);
        // A member's chit is stored whole or not at all.
        if (!daily.transaction()) {
            daily.passOnError();
            stopAt(entry);
            return;
        }
        for (const QString &line : items) {
            const BundleItem item = parseBundleLine(line);
            QSqlQuery rates = ar.query(u"select * from ar0 where aracctnum = "_s
                                       + shortestNumber(item.account));
            DoEvents();
            if (ar.failed() || !rates.next()) {
                if (ar.failed())
                    ar.passOnError();
                else
                    setError(JetError::NoCurrentRecord,
                             u"Account "_s + item.accountField + u" has no A/R rates (ar0)."_s);
                daily.rollback();
                stopAt(entry);
                return;
            }
            ChargeInputs in;
            in.base = item.price;
            in.scRate = s.ScBypass != 0 ? 0 : rates.value(u"arsrvchg"_s).toDouble();
            in.taxRate = s.TaxBypass != 0 || isTaxExempt(entry)
                ? 0
                : rates.value(u"arsalestax"_s).toDouble();
            in.consolidation = s.ConsolidationMode != u"N"_s;
            in.taxServiceCharge = s.TaxServiceCharge == u"Y"_s && !isTaxExempt(entry);
            in.taxBypass = s.TaxBypass != 0;
            in.scTaxableShare = s.ScTaxableShare;
            in.scTaxBasis = s.ScTaxBasis;
            // The company's rate: the entry screen zeroes SalesTaxRate for its own exempt
            // member, which must not carry over to the listed ones.
            in.salesTaxRate = s.CompanyTaxRate;
            const ItemAmounts amounts = itemAmounts(in);

            progress.setText(progressText(chit, member, item));
            DoEvents();

            const QVariantList row { item.account, chit,
                                     date,         member,
                                     qint16(0),    qint16(0),
                                     item.price,   amounts.serviceCharge,
                                     amounts.tax,  amounts.total,
                                     qint16(0),    qint16(0),
                                     qint16(0),    qint16(0),
                                     u" "_s,       u"AutoGen"_s,
                                     memo,         qint16(GeneratedSource) };
            if (!daily.execPrepared(insert, row)) {
                daily.passOnError();
                daily.rollback();
                stopAt(entry);
                return;
            }
        }
        if (!daily.commit()) {
            daily.passOnError();
            daily.rollback();
            stopAt(entry);
            return;
        }
        ++written;
        DoEvents();
    }
    ar.close();
    daily.close();
    DoEvents();
    progress.setText(u"Charges generated."_s);
    DoEvents();
}

} // namespace tallic

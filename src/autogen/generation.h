#pragma once

#include "basic/amounts.h"
#include "basic/postingrules.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace tallic {

// The arithmetic and the parsing behind Generate Chits, kept apart from the window.

// One line of bundle1.ini: "4010.000 , 25.00 - DUES".
struct BundleItem
{
    QString accountField; // before the comma, blanks removed: "4010.000"
    QString priceField; // after the comma, leading blanks removed: "25.00 - DUES"
    double account = 0;
    double price = 0;
};
BundleItem parseBundleLine(const QString &line);

// The member number an entry of the member list begins with (1234.01 of
// "1234.01 - SMITH, JOHN").
double memberNumber(const QString &entry);

// A member number as whole cents, so that 1234.01 as listed and as stored is one member.
qint64 memberKey(double member);

// The operator's answer to the date prompt made a chit date: four digits (mmdd) take the
// year in front; the empty text when the answer cannot be a yyyymmdd date.
QString generationDate(const QString &answer, int currentYear);

// What an item costs one member: the row's amounts, the price to the cent.
struct ItemAmounts
{
    Cents base;
    Cents serviceCharge;
    Cents tax;
    Cents total;
};
ItemAmounts itemAmounts(const ChargeInputs &in);

// What every item's charges follow in one run: the club's settings, with the company's
// rate (the entry screen's exempt member must not carry over to the listed ones), and the
// entry screen's bypasses.
struct ChargeRules
{
    ChargeSettings settings;
    bool scBypass = false;
    bool taxBypass = false;
};

// An item of the bundle with its account's rates (arsrvchg, arsalestax).
struct RatedItem
{
    BundleItem item;
    double scRate = 0;
    double taxRate = 0;
};

// What one Generate run writes: the date, the listed members, the bundle's items with
// their rates, the members exempt from tax, and the names of ardaily's columns.
struct GenerationRun
{
    QString date;
    QStringList members;
    QList<RatedItem> items;
    QSet<qint64> exempt;
    QStringList columns;
};

// What each item of the bundle costs a member who pays tax, or one exempt by his record.
QList<ItemAmounts> bundleAmounts(const QList<RatedItem> &items, const ChargeRules &rules,
                                 bool exempt);

// What a run will write, told before the operator confirms it.
struct RunSummary
{
    qsizetype members = 0;
    qsizetype items = 0;
    qsizetype rows = 0;
    Cents total; // base, service charge and tax of every row
};
// exempt: the keys of the members whose record exempts them from tax.
RunSummary summarizeRun(const QList<RatedItem> &items, const QStringList &members,
                        const ChargeRules &rules, const QSet<qint64> &exempt);
QString summaryText(const RunSummary &summary);

// A row that generation wrote for the date in question: its member and memo as stored.
struct BilledRow
{
    double member = 0;
    QString memo;
};
// Two memos bill the same when only letter case or blanks tell them apart.
bool sameMemo(const QString &a, const QString &b);
// How many of the listed members are among those already billed with the memo; a member
// listed twice counts once.
qsizetype countBilled(const QStringList &members, const QList<BilledRow> &billed,
                      const QString &memo);
// The question asked before the same members are billed again for the same date and memo.
QString alreadyBilledText(qsizetype count, const QString &date);

// The line the window shows while an item is written.
QString progressText(const QString &chit, double member, const BundleItem &item);

} // namespace tallic

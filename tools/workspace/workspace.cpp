#include "workspace.h"

#include "basic/cents.h"
#include "basic/chitdates.h"
#include "basic/masks.h"
#include "basic/modewords.h"
#include "basic/numbers.h"
#include "basic/postingrules.h"
#include "platform/platform.h"
#include "platform/runtime.h"
#include "store/folderlock.h"
#include "suite/messages.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace tallic::workspace {

namespace {

const QString Title = u"Workspace Editor"_s;

QString money(double value)
{
    return Cents::of(value).text();
}

// The list's columns: a heading and the ardaily position shown under it.
struct ListColumn
{
    const char *heading;
    int column;
    bool money;
};
const ListColumn ListColumns[] = {
    { "Batch", Column::Origin, false },      { "Chit #", Column::ChitNumber, false },
    { "G/L", Column::GlAccount, false },     { "Member", Column::Member, false },
    { "Employee", Column::Employee, false }, { "Base", Column::BaseSale, true },
    { "S/C", Column::ServiceCharge, true },  { "Tax", Column::Tax, true },
    { "Total", Column::Total, true },        { "Memo", Column::Memo, false },
};
constexpr int ListServiceCharge = 6;
constexpr int ListTax = 7;

QStandardItem *item(const QString &text, bool money = false)
{
    auto *cell = new QStandardItem(text);
    if (money)
        cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return cell;
}

// Gives the window the keyboard back when one of its boxes closes: without a window
// manager (the demo's own X server) nothing else does, and the keys would go nowhere.
class FocusAfterBoxes : public QObject
{
public:
    explicit FocusAfterBoxes(QWidget *window)
        : QObject(window)
        , window_(window)
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QDialog *>(watched);
        if (event->type() == QEvent::Hide && box && box->isWindow()
            && box->parentWidget() == window_) {
            QTimer::singleShot(0, window_, [window = window_] {
                if (window->isVisible() && !QApplication::activeModalWidget())
                    window->activateWindow();
            });
        }
        return false;
    }

private:
    QWidget *window_;
};

// The lines of a correction's question: each amount from what it is to what it becomes.
QString changeLines(const Amounts &from, const Amounts &to)
{
    const auto line = [](const QString &what, Cents a, Cents b) {
        return u"%1: %2 to %3\n"_s.arg(what, a.text(), b.text());
    };
    return line(u"Base sale"_s, from.base, to.base)
        + line(u"Service charge"_s, from.serviceCharge, to.serviceCharge)
        + line(u"Tax"_s, from.tax, to.tax) + line(u"Total"_s, from.total, to.total);
}

} // namespace

WorkspaceWindow::WorkspaceWindow(const QString &user, qint32 date, int accessLevel, QWidget *parent)
    : QWidget(parent)
    , day_(user)
    , accessLevel_(accessLevel)
{
    setWindowTitle(u"Workspace Editor - chits of %1"_s.arg(date));
    new FocusAfterBoxes(this);
    resize(900, 600);
    auto *layout = new QVBoxLayout(this);
    heading_ = new QLabel;
    layout->addWidget(heading_);
    operators_ = new QLabel;
    operators_->setObjectName(u"operators"_s);
    layout->addWidget(operators_);
    rowsView_ = new QTableView;
    rowsView_->setObjectName(u"rows"_s);
    rowsView_->setModel(&rows_);
    rowsView_->verticalHeader()->hide();
    rowsView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rowsView_->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(rowsView_, &QTableView::activated, this, &WorkspaceWindow::correctCurrent);
    layout->addWidget(rowsView_, 3);

    auto *totals = new QTableView;
    totals->setObjectName(u"batches"_s);
    totals->setModel(&batches_);
    totals->verticalHeader()->hide();
    totals->setEditTriggers(QAbstractItemView::NoEditTriggers);
    totals->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(totals, 1);

    auto *buttons = new QHBoxLayout;
    const auto button = [this, buttons](const QString &name, const QString &caption,
                                        void (WorkspaceWindow::*command)()) {
        auto *b = new QPushButton(caption);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, command);
        buttons->addWidget(b);
    };
    button(u"correct"_s, u"C&orrect"_s, &WorkspaceWindow::correctCurrent);
    button(u"delete"_s, u"&Delete chit"_s, &WorkspaceWindow::deleteCurrent);
    button(u"deletebatch"_s, u"Delete &batch"_s, &WorkspaceWindow::deleteBatch);
    button(u"movebatch"_s, u"&Move batch"_s, &WorkspaceWindow::moveBatch);
    button(u"reload"_s, u"&Read again"_s, &WorkspaceWindow::reload);
    button(u"print"_s, u"&Print proof"_s, &WorkspaceWindow::printProof);
    button(u"close"_s, u"&Close"_s, &WorkspaceWindow::closeWindow);
    layout->addLayout(buttons);
    day_.load(date);
    showDay();
}

void WorkspaceWindow::keyPressEvent(QKeyEvent *event)
{
    // The demo's bare X server draws no title bar to close the window with.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool WorkspaceWindow::ask(const QString &question)
{
    return MsgBox(question, BoxButtons::YesNo, BoxIcon::Question, Title) == AnswerYes;
}

void WorkspaceWindow::tell(const QString &text, bool critical)
{
    MsgBox(text, BoxButtons::Ok, critical ? BoxIcon::Critical : BoxIcon::Information, Title);
}

void WorkspaceWindow::showDay()
{
    rows_.clear();
    QStringList headings;
    for (const ListColumn &c : ListColumns)
        headings << QString::fromLatin1(c.heading);
    rows_.setHorizontalHeaderLabels(headings);
    for (const DayRow &row : day_.rows()) {
        QList<QStandardItem *> cells;
        for (const ListColumn &c : ListColumns) {
            const QVariant value = row.values.value(c.column);
            cells << (c.money ? item(money(value.toDouble()), true)
                          : c.column == Column::ChitNumber || c.column == Column::Origin
                              || c.column == Column::Memo
                          ? item(value.toString())
                          : item(shortestNumber(value.toDouble())));
        }
        rows_.appendRow(cells);
    }
    rowsView_->resizeColumnsToContents();

    batches_.clear();
    batches_.setHorizontalHeaderLabels(
        { u"Batch"_s, u"Chits"_s, u"Rows"_s, u"Base"_s, u"Total"_s, u"Validity"_s });
    for (const Batch &batch : day_.batches()) {
        batches_.appendRow({ item(batch.origin), item(QString::number(batch.chits), true),
                             item(QString::number(batch.rows), true),
                             item(batch.totals.base.text(), true),
                             item(batch.totals.total.text(), true),
                             item(validityText(day_.settings().validityMode, batch.validity)) });
    }
    // The day per operator, to prove against the tapes.
    QStringList lines;
    for (const OperatorDay &o : operatorsOf(day_.batches()))
        lines << u"%1: %2 %3, base %4, service charge %5, tax %6, total %7"_s.arg(
            o.name, QString::number(o.chits), o.chits == 1 ? u"chit"_s : u"chits"_s,
            o.totals.base.text(), o.totals.serviceCharge.text(), o.totals.tax.text(),
            o.totals.total.text());
    operators_->setText(lines.join(u'\n'));
    heading_->setText(day_.problem().isEmpty()
                          ? u"Chits keyed for %1, batch by batch (Enter or a double click "
                            u"corrects the chit's base sale):"_s.arg(day_.date())
                          : u"The chits cannot be read: %1 Read again once that is put "
                            u"right."_s.arg(day_.problem()));
}

void WorkspaceWindow::reload()
{
    const bool read = day_.load(day_.date());
    tellResolutions();
    if (!read)
        tell(u"The chits cannot be read: "_s + day_.problem(), true);
    showDay();
}

void WorkspaceWindow::tellResolutions()
{
    const QStringList lines = day_.takeResolutions();
    if (!lines.isEmpty())
        tell(lines.join(u'\n'));
}

void WorkspaceWindow::correctCurrent()
{
    const QModelIndex current = rowsView_->currentIndex();
    if (!current.isValid() || current.row() >= day_.rows().size()) {
        tell(u"Choose the chit to correct first."_s);
        return;
    }
    const int row = current.row();
    const DayRow &chit = day_.rows().at(row);
    const QString number = chit.text(Column::ChitNumber);
    const AmountColumn column = current.column() == ListServiceCharge ? AmountColumn::ServiceCharge
        : current.column() == ListTax                                 ? AmountColumn::Tax
                                                                      : AmountColumn::Base;
    const int shown = column == AmountColumn::Base ? Column::BaseSale
        : column == AmountColumn::Tax              ? Column::Tax
                                                   : Column::ServiceCharge;
    if (column != AmountColumn::Base && !chargesKeyedByHand(day_.settings().charges, number)) {
        tell(u"The service charge and tax of chit %1 are computed from its base sale: "
             u"correct the base sale."_s.arg(number));
        return;
    }
    const QString what = column == AmountColumn::Base ? u"base sale"_s
        : column == AmountColumn::Tax                 ? u"tax"_s
                                                      : u"service charge"_s;
    const QString typed
        = InputBox(u"New %1 of chit %2:"_s.arg(what, number), Title, chit.cents(shown).text());
    if (typed.trimmed().isEmpty())
        return;
    bool charges = false;
    if (column == AmountColumn::Base && modeOfChitNumber(number) == TransMode::Adjustment) {
        charges = MsgBox(u"Click YES if you are CHARGING the account,\nclick NO if you are "
                         u"CREDITING the account."_s,
                         BoxButtons::YesNo, BoxIcon::Question, u"Debit or Credit?"_s)
            == AnswerYes;
    }

    const Correction c = day_.propose(row, column, Cents::read(typed), charges);
    switch (c.verdict) {
    case Correction::Verdict::Accepted:
        break;
    case Correction::Verdict::BaseMissing:
        showNotice(refusalNotice(Refusal::BaseMissing));
        return;
    case Correction::Verdict::TerminatedDebit:
        showNotice(refusalNotice(Refusal::TerminatedDebit));
        return;
    case Correction::Verdict::ChargesComputed:
        return;
    case Correction::Verdict::NoAccountRates:
        showNotice(refusalNotice(Refusal::NoAccountRates));
        return;
    case Correction::Verdict::Unreadable:
        tell(u"The account's rates or the member cannot be read: "_s + day_.problem(), true);
        return;
    }
    QString question = u"Correct chit %1 of member %2?\n\n"_s.arg(
                           number, shortestNumber(chit.number(Column::Member)))
        + changeLines(chit.amounts(), c.amounts);
    if (c.scBypassKept)
        question += u"\nThe service charge stays bypassed, as when the chit was posted."_s;
    if (c.taxBypassKept)
        question += u"\nThe tax stays bypassed, as when the chit was posted."_s;
    if (!ask(question))
        return;
    setEnabled(false);
    const Workday::Change outcome = day_.correct(row, c.amounts);
    setEnabled(true);
    showOutcome(outcome, row, current.column());
}

void WorkspaceWindow::deleteCurrent()
{
    const QModelIndex current = rowsView_->currentIndex();
    if (!current.isValid() || current.row() >= day_.rows().size()) {
        tell(u"Choose the chit to delete first."_s);
        return;
    }
    const DayRow &chit = day_.rows().at(current.row());
    if (!ask(u"Delete chit %1 of member %2, total %3?"_s.arg(
            chit.text(Column::ChitNumber), shortestNumber(chit.number(Column::Member)),
            chit.cents(Column::Total).text())))
        return;
    setEnabled(false);
    const Workday::Change outcome = day_.deleteRow(current.row());
    setEnabled(true);
    showOutcome(outcome, current.row(), current.column());
}

const Batch *WorkspaceWindow::chosenBatch(const QString &command)
{
    const QModelIndex current = rowsView_->currentIndex();
    if (!current.isValid() || current.row() >= day_.rows().size()) {
        tell(u"Choose a chit of the batch to %1 first."_s.arg(command));
        return nullptr;
    }
    const QString origin = day_.rows().at(current.row()).text(Column::Origin);
    for (const Batch &batch : day_.batches()) {
        if (batch.origin == origin)
            return &batch;
    }
    return nullptr;
}

namespace {

QString batchText(const Batch &b)
{
    return u"batch %1: %2 chits (%3 rows), base %4, service charge %5, tax %6, total %7"_s.arg(
        b.origin, QString::number(b.chits), QString::number(b.rows), b.totals.base.text(),
        b.totals.serviceCharge.text(), b.totals.tax.text(), b.totals.total.text());
}

} // namespace

void WorkspaceWindow::deleteBatch()
{
    const Batch *batch = chosenBatch(u"delete"_s);
    if (!batch || !ask(u"Delete the whole "_s + batchText(*batch) + u'?'))
        return;
    const QModelIndex current = rowsView_->currentIndex();
    setEnabled(false);
    const Workday::Change outcome = day_.deleteBatch(batch->origin);
    setEnabled(true);
    showOutcome(outcome, current.row(), current.column(), u"batch"_s);
}

void WorkspaceWindow::moveBatch()
{
    const Batch *batch = chosenBatch(u"move"_s);
    if (!batch)
        return;
    const QString origin = batch->origin;
    const QString typed = InputBox(u"Move "_s + batchText(*batch)
                                       + u"\nfrom %1 to the date (yyyymmdd):"_s.arg(day_.date()),
                                   Title);
    if (typed.trimmed().isEmpty())
        return;
    // Held to the open month as the entry screen's date field holds a date.
    const qint32 to = toLong(Val(typed));
    const EditorSettings &s = day_.settings();
    const DateVerdict verdict
        = checkChitDate(to, s.arYear, s.arMonth, accessLevel_, platform().today().year());
    if (verdict != DateVerdict::Accepted) {
        MsgBox(dateRefusalText(verdict), BoxButtons::Ok, BoxIcon::Information,
               u"Date entered: "_s + QString::number(to));
        return;
    }
    if (to == day_.date())
        return;
    const QModelIndex current = rowsView_->currentIndex();
    setEnabled(false);
    const Workday::Change outcome = day_.moveBatch(origin, to);
    setEnabled(true);
    showOutcome(outcome, current.row(), current.column(), u"batch"_s);
}

void WorkspaceWindow::showOutcome(Workday::Change outcome, int row, int column, const QString &what)
{
    if (outcome == Workday::Change::ChangedMeanwhile) {
        tell(u"Another workstation changed or deleted this %1 meanwhile, so nothing was "
             u"changed. The chits are read again."_s.arg(what));
    } else if (outcome != Workday::Change::Done) {
        tell(day_.problem(), true);
    }
    // A server that did not answer is not asked again at once: the rows stay as read, and
    // Read again looks the change up.
    if (outcome != Workday::Change::Unknown)
        reload();
    if (rows_.rowCount() > 0)
        rowsView_->setCurrentIndex(rows_.index(std::min(row, rows_.rowCount() - 1), column));
    // The window was disabled while the change was made, and gave up the keyboard.
    rowsView_->setFocus();
}

void WorkspaceWindow::printProof()
{
    const QString path = QDir::current().filePath(u"proof-%1.pdf"_s.arg(day_.date()));
    if (!day_.printProof(path)) {
        tell(day_.problem(), true);
        return;
    }
    // Without a PDF viewer on the machine the operator is told where the proof lies.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        tell(u"The proof is written to "_s + path + u"; no program here shows PDF files."_s);
}

std::unique_ptr<WorkspaceWindow> startEditor(const QString &commandLine, int &exitCode)
{
    exitCode = 0;
    if (!commandLine.startsWith(u"WJX"_s)) {
        MsgBox(u"Start it from the entry window's Workspace Editor command."_s, BoxButtons::Ok,
               BoxIcon::Critical, Title);
        exitCode = 2;
        return nullptr;
    }
    const QString clip = platform().clipboardText().trimmed();
    bool number = false;
    const qint32 date = clip.toInt(&number);
    if (!number || clip.size() != 8) {
        MsgBox(u"No date to work on came on the clipboard."_s, BoxButtons::Ok, BoxIcon::Critical,
               Title);
        exitCode = 1;
        return nullptr;
    }
    // Held while it runs, as Tallic holds it: nothing replaces the databases under it.
    if (const Result<void> held = holdDataFolder(currentDataSource(), u"the workspace editor"_s);
        !held) {
        MsgBox(u"The databases are being replaced or brought up to date:\n"_s
                   + held.failure().description,
               BoxButtons::Ok, BoxIcon::Critical, Title);
        exitCode = 1;
        return nullptr;
    }
    const int level = int(Val(commandLine.mid(3, 2)));
    auto window = std::make_unique<WorkspaceWindow>(commandLine.mid(5), date, level);
    window->tellResolutions();
    if (!window->day().problem().isEmpty()) {
        MsgBox(u"The chits cannot be read: "_s + window->day().problem(), BoxButtons::Ok,
               BoxIcon::Critical, Title);
        exitCode = 1;
        return nullptr;
    }
    // The same level the entry window asks of its month-end editor.
    if (level < window->day().settings().editorLevel) {
        ShowAccessDenied();
        return nullptr;
    }
    return window;
}

} // namespace tallic::workspace

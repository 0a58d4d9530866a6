#include "workspace.h"

#include "basic/masks.h"
#include "basic/numbers.h"
#include "suite/database.h"
#include "suitefile.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace tallic::workspace {

namespace {

const char *const RowHeaders[]
    = { "Batch", "Chit #", "G/L", "Member", "Employee", "Base", "S/C", "Tax", "Total", "Memo" };

QString money(double value)
{
    return formatMask(value, u"#######.#0"_s);
}

// The table shows the amounts as the chit does; the model keeps the stored values, which
// corrections start from.
class MoneyDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant &value, const QLocale &) const override
    {
        return money(value.toDouble());
    }
};

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

// The validity totals a mode shows, as the entry screen labels them.
QString validityText(int mode, const ValidityTotals &t)
{
    QStringList parts;
    if (mode == 1 || mode == 3)
        parts << u"Hash Total "_s + shortestNumber(t.hash);
    if (mode == 2 || mode == 3)
        parts << u"Base Total "_s + shortestNumber(t.base);
    if (mode == 4 || mode == 5)
        parts << u"Sum Total "_s + shortestNumber(t.sum);
    return parts.join(u"   "_s);
}

} // namespace

Workday::Workday()
    : connection_(u"workspace-%1-"_s.arg(quintptr(this)))
{
}

Workday::~Workday()
{
    // Qt forgets a connection only once nothing uses it any more.
    rows_.clear();
    for (const char *name : { "config", "daily" })
        QSqlDatabase::removeDatabase(connection_ + QString::fromLatin1(name));
}

bool Workday::load(qint32 date)
{
    date_ = date;
    QSqlDatabase config
        = tools::openSuiteFile(connection_ + u"config"_s, u"config.mdb"_s, problem_);
    if (problem_.isEmpty()) {
        QSqlQuery mode(u"select arvalidity from ar"_s, config);
        validityMode_ = mode.next() ? mode.value(0).toInt() : 0;
    }
    QSqlDatabase daily
        = tools::openSuiteFile(connection_ + u"daily"_s, u"daily.mdb"_s, problem_, true);
    if (!problem_.isEmpty())
        return false;
    batches_.clear();
    rows_.setQuery(
        tools::suiteStatement(
            u"select arorigin, tallicnum, arglacct, armember, aremployee, arbasesale, arsrvchg, "
            u"artax, artotal, armemo, rowid from ardaily where architdate = %1 "
            u"order by arorigin, rowid"_s.arg(date)),
        daily);
    while (rows_.canFetchMore())
        rows_.fetchMore();
    if (rows_.lastError().isValid()) {
        problem_ = rows_.lastError().text();
        return false;
    }
    for (int i = 0; i < int(std::size(RowHeaders)); ++i)
        rows_.setHeaderData(i, Qt::Horizontal, QString::fromLatin1(RowHeaders[i]));
    for (int r = 0; r < rows_.rowCount(); ++r) {
        const auto value = [this, r](int column) { return rows_.index(r, column).data(); };
        const QString origin = value(0).toString();
        if (batches_.isEmpty() || batches_.last().origin != origin)
            batches_.append({ origin, 0, 0, {} });
        Batch &batch = batches_.last();
        ++batch.chits;
        batch.total += value(8).toDouble();
        addChitToValidity(batch.validity, validityMode_, Val(value(1).toString()),
                          value(3).toDouble(), value(4).toDouble(), value(5).toDouble());
    }
    return true;
}

Workday::Change Workday::correctAmount(int row, int column, double value)
{
    const char *const names[] = { "arbasesale", "arsrvchg", "artax" };
    if (column < 5 || column > 7)
        return Change::Failed;
    QVariantList values { value };
    double total = value;
    for (int c = 5; c <= 7; ++c) {
        if (c != column)
            total += rows_.index(row, c).data().toDouble();
    }
    values << total;
    return change(
        u"update ardaily set %1 = ?, artotal = ?"_s.arg(QString::fromLatin1(names[column - 5])),
        row, values);
}

Workday::Change Workday::deleteRow(int row)
{
    return change(u"delete from ardaily"_s, row, {});
}

Workday::Change Workday::change(const QString &action, int row, const QVariantList &values)
{
    // Through the suite's own layer: a change whose COMMIT loses its answer on a server is
    // asked after, never guessed at.
    SuiteDb daily(u"daily.mdb"_s);
    QVariantList bound = values;
    for (int c : { 10, 1, 5, 6, 7, 8 })
        bound << rows_.index(row, c).data();
    if (!daily.transaction())
        return Change::Failed;
    // The row as it was read: the same chit number and amounts, or it is not touched.
    if (!daily.execPrepared(
            action
                + u" where rowid = ? and tallicnum is not distinct from ? and arbasesale is not "
                  u"distinct from ? and arsrvchg is not distinct from ? and artax is not "
                  u"distinct from ? and artotal is not distinct from ?"_s,
            bound)) {
        daily.rollback();
        return Change::Failed;
    }
    if (daily.rowsAffected() != 1) {
        daily.rollback();
        return Change::ChangedMeanwhile;
    }
    return daily.commit() ? Change::Done : Change::Failed;
}

bool Workday::printProof(const QString &path) const
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(96);
    writer.setTitle(u"Batch proof "_s + QString::number(date_));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    const int line = painter.fontMetrics().height() + 4;
    const int columns[] = { 0, 90, 170, 240, 320, 400, 480, 560, 640 };
    for (qsizetype b = 0; b < batches_.size(); ++b) {
        const Batch &batch = batches_.at(b);
        if (b > 0)
            writer.newPage();
        int y = line;
        painter.drawText(0, y,
                         u"Batch proof - chits of %1 - batch %2"_s.arg(date_).arg(batch.origin));
        y += 2 * line;
        for (int c = 1; c < 10 - 1; ++c)
            painter.drawText(columns[c - 1], y, QString::fromLatin1(RowHeaders[c]));
        y += line;
        for (int r = 0; r < rows_.rowCount(); ++r) {
            if (rows_.index(r, 0).data().toString() != batch.origin)
                continue;
            for (int c = 1; c < 10 - 1; ++c) {
                const QVariant v = rows_.index(r, c).data();
                painter.drawText(columns[c - 1], y,
                                 c >= 5       ? money(v.toDouble())
                                     : c == 1 ? v.toString()
                                              : shortestNumber(v.toDouble()));
            }
            y += line;
        }
        y += line;
        painter.drawText(0, y,
                         u"Chit count %1   Total %2   %3"_s.arg(batch.chits)
                             .arg(money(batch.total), validityText(validityMode_, batch.validity)));
    }
    return painter.end();
}

WorkspaceWindow::WorkspaceWindow(Workday &day, QWidget *parent)
    : QWidget(parent)
    , day_(day)
{
    setWindowTitle(u"Workspace Editor - chits of %1"_s.arg(day.date()));
    new FocusAfterBoxes(this);
    resize(900, 600);
    auto *layout = new QVBoxLayout(this);
    rowsView_ = new QTableView;
    rowsView_->setModel(day.rows());
    rowsView_->verticalHeader()->hide();
    rowsView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rowsView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    rowsView_->hideColumn(10);
    auto *amounts = new MoneyDelegate(rowsView_);
    for (int c = 5; c <= 8; ++c)
        rowsView_->setItemDelegateForColumn(c, amounts);
    rowsView_->resizeColumnsToContents();
    connect(rowsView_, &QTableView::doubleClicked, this, &WorkspaceWindow::correct);
    layout->addWidget(new QLabel(u"Chits keyed for %1, batch by batch (a double click on an "
                                 u"amount corrects it):"_s.arg(day.date())));
    layout->addWidget(rowsView_, 3);

    auto *totals = new QTableView;
    totals->setModel(&batches_);
    totals->verticalHeader()->hide();
    totals->setEditTriggers(QAbstractItemView::NoEditTriggers);
    totals->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(totals, 1);

    auto *remove = new QPushButton(u"&Delete chit"_s);
    connect(remove, &QPushButton::clicked, this, &WorkspaceWindow::deleteChit);
    layout->addWidget(remove);
    auto *print = new QPushButton(u"&Print proof"_s);
    connect(print, &QPushButton::clicked, this, &WorkspaceWindow::printProof);
    layout->addWidget(print);
    reload();
}

void WorkspaceWindow::reload()
{
    batches_.clear();
    batches_.setHorizontalHeaderLabels({ u"Batch"_s, u"Chits"_s, u"Total"_s, u"Validity"_s });
    for (const Batch &batch : day_.batches()) {
        batches_.appendRow(
            { new QStandardItem(batch.origin), new QStandardItem(QString::number(batch.chits)),
              new QStandardItem(money(batch.total)),
              new QStandardItem(validityText(day_.validityMode(), batch.validity)) });
    }
}

bool WorkspaceWindow::confirm(const QString &question)
{
    return QMessageBox::question(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
        == QMessageBox::Yes;
}

void WorkspaceWindow::correct(const QModelIndex &index)
{
    if (index.column() < 5 || index.column() > 7)
        return;
    const QString chit = day_.rows()->index(index.row(), 1).data().toString();
    const QString what = day_.rows()->headerData(index.column(), Qt::Horizontal).toString();
    bool entered = false;
    const double value
        = QInputDialog::getDouble(this, windowTitle(), u"New %1 of chit %2:"_s.arg(what, chit),
                                  index.data().toDouble(), -9999999, 9999999, 2, &entered);
    if (!entered
        || !confirm(u"Change the %1 of chit %2 from %3 to %4?"_s.arg(
            what, chit, money(index.data().toDouble()), money(value))))
        return;
    showOutcome(day_.correctAmount(index.row(), index.column(), value));
}

void WorkspaceWindow::deleteChit()
{
    const QModelIndex current = rowsView_->currentIndex();
    if (!current.isValid())
        return;
    const QString chit = day_.rows()->index(current.row(), 1).data().toString();
    if (confirm(u"Delete chit %1?"_s.arg(chit)))
        showOutcome(day_.deleteRow(current.row()));
}

void WorkspaceWindow::showOutcome(Workday::Change outcome)
{
    if (outcome == Workday::Change::ChangedMeanwhile) {
        QMessageBox::information(this, windowTitle(),
                                 u"Another workstation changed this chit meanwhile; nothing was "
                                 u"changed. The chits are read again."_s);
    } else if (outcome == Workday::Change::Failed) {
        QMessageBox::critical(this, windowTitle(), u"The daily file refused the change."_s);
    }
    day_.load(day_.date());
    rowsView_->hideColumn(10);
    auto *amounts = new MoneyDelegate(rowsView_);
    for (int c = 5; c <= 8; ++c)
        rowsView_->setItemDelegateForColumn(c, amounts);
    reload();
}

void WorkspaceWindow::printProof()
{
    const QString path = QDir::current().filePath(u"proof-%1.pdf"_s.arg(day_.date()));
    if (!day_.printProof(path)) {
        QMessageBox::critical(this, windowTitle(), u"The proof cannot be written to "_s + path);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace tallic::workspace

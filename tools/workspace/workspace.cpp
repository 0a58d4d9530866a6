#include "workspace.h"

#include "basic/masks.h"
#include "basic/numbers.h"
#include "platform/platform.h"

#include <QDesktopServices>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
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

QSqlDatabase openSuiteFile(const QString &connection, const QString &file, QString &problem)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
    const QString path = findInWorkingFolder(file);
    if (path.isEmpty()) {
        problem = u"The "_s + file.toUpper() + u" database is missing from this folder."_s;
        return db;
    }
    QUrl url = QUrl::fromLocalFile(path);
    url.setQuery(u"mode=ro"_s);
    db.setConnectOptions(u"QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=10000"_s);
    db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    if (!db.open())
        problem = db.lastError().text();
    return db;
}

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
    QSqlDatabase config = openSuiteFile(connection_ + u"config"_s, u"config.mdb"_s, problem_);
    if (problem_.isEmpty()) {
        QSqlQuery mode(u"select arvalidity from ar"_s, config);
        validityMode_ = mode.next() ? mode.value(0).toInt() : 0;
    }
    QSqlDatabase daily = openSuiteFile(connection_ + u"daily"_s, u"daily.mdb"_s, problem_);
    if (!problem_.isEmpty())
        return false;
    rows_.setQuery(u"select arorigin, tallicnum, arglacct, armember, aremployee, arbasesale, "
                   u"arsrvchg, artax, artotal, armemo from ardaily where architdate = %1 "
                   u"order by arorigin, rowid"_s.arg(date),
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
    resize(900, 600);
    auto *layout = new QVBoxLayout(this);
    auto *rows = new QTableView;
    rows->setModel(day.rows());
    rows->verticalHeader()->hide();
    rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rows->resizeColumnsToContents();
    layout->addWidget(new QLabel(u"Chits keyed for %1, batch by batch:"_s.arg(day.date())));
    layout->addWidget(rows, 3);

    batches_.setHorizontalHeaderLabels({ u"Batch"_s, u"Chits"_s, u"Total"_s, u"Validity"_s });
    for (const Batch &batch : day.batches()) {
        batches_.appendRow({ new QStandardItem(batch.origin),
                             new QStandardItem(QString::number(batch.chits)),
                             new QStandardItem(money(batch.total)),
                             new QStandardItem(validityText(day.validityMode(), batch.validity)) });
    }
    auto *totals = new QTableView;
    totals->setModel(&batches_);
    totals->verticalHeader()->hide();
    totals->setEditTriggers(QAbstractItemView::NoEditTriggers);
    totals->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(totals, 1);

    auto *print = new QPushButton(u"&Print proof"_s);
    print->setEnabled(!day.batches().isEmpty());
    connect(print, &QPushButton::clicked, this, &WorkspaceWindow::printProof);
    layout->addWidget(print);
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

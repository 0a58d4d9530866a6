// tallic-eom: the suite's month-end view, installed in the data folder as holvane.exe and
// started with "ZPH" + level + user. It shows the open A/R month of the configuration and,
// for each month present in ardaily, its rows and their total; it changes nothing.

#include "basic/cents.h"
#include "suitefile.h"
#include "tallicwatch.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMap>
#include <QShortcut>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Month
{
    qint64 chits = 0;
    tallic::Cents total;
};

// Each month of ardaily with its rows and their total, added in cents; the reason when they
// cannot be read.
QString addMonths(QStandardItemModel &model, const QSqlDatabase &daily)
{
    QSqlQuery rows(daily);
    rows.setForwardOnly(true);
    if (!rows.exec(tallic::tools::suiteStatement(
            u"select cast(architdate as integer) / 100, artotal from ardaily"_s)))
        return rows.lastError().text();
    QMap<qint64, Month> months;
    while (rows.next()) {
        Month &month = months[rows.value(0).toLongLong()];
        ++month.chits;
        month.total += tallic::Cents::of(rows.value(1).toDouble());
    }
    if (rows.lastError().isValid())
        return rows.lastError().text();
    for (auto m = months.cbegin(); m != months.cend(); ++m) {
        auto *total = new QStandardItem(m->total.text());
        total->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        model.appendRow({ new QStandardItem(QString::number(m.key())),
                          new QStandardItem(QString::number(m->chits)), total });
    }
    return QString();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tallic::tools::endWithTallic();
    QWidget window;
    window.setWindowTitle(u"EOM-Editor: months in the daily file"_s);
    window.resize(520, 420);
    auto *layout = new QVBoxLayout(&window);
    auto *heading = new QLabel;
    auto *view = new QTableView;
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(heading);
    layout->addWidget(view);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), &window);
    QObject::connect(escape, &QShortcut::activated, &window, &QWidget::close);

    QString problem;
    if (!app.arguments().value(1).startsWith(u"ZPH"_s))
        problem = u"Start it from the entry window's EOM-Editor command."_s;
    QSqlDatabase config, daily;
    const auto openFile = [&problem](QSqlDatabase &db, const QString &connection,
                                     const QString &file) {
        if (!problem.isEmpty())
            return;
        const tallic::Result<QSqlDatabase> opened = tallic::tools::openSuiteFile(connection, file);
        if (opened)
            db = *opened;
        else
            problem = opened.failure().description;
    };
    openFile(config, u"config"_s, u"config.mdb"_s);
    openFile(daily, u"daily"_s, u"daily.mdb"_s);
    QStandardItemModel months;
    if (problem.isEmpty()) {
        QSqlQuery open(u"select armonth, aryear from ar"_s, config);
        if (open.next()) {
            heading->setText(
                u"Open A/R month: %1/%2"_s.arg(open.value(0).toInt()).arg(open.value(1).toInt()));
        }
        problem = addMonths(months, daily);
        months.setHorizontalHeaderLabels({ u"Month (yyyymm)"_s, u"Chits"_s, u"Total"_s });
        view->setModel(&months);
        view->resizeColumnsToContents();
    }
    if (!problem.isEmpty())
        heading->setText(u"The months cannot be shown: "_s + problem);
    window.show();
    const int closed = app.exec();
    return problem.isEmpty() ? closed : 1;
}

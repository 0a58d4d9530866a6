// tallic-eom: the suite's month-end view, installed in the data folder as holvane.exe and
// started with "ZPH" + level + user. It shows the open A/R month of the configuration and,
// for each month present in ardaily, its rows and their total; it changes nothing.

#include "suitefile.h"
#include "tallicwatch.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QShortcut>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

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
    QSqlQueryModel months;
    if (problem.isEmpty()) {
        QSqlQuery open(u"select armonth, aryear from ar"_s, config);
        if (open.next()) {
            heading->setText(
                u"Open A/R month: %1/%2"_s.arg(open.value(0).toInt()).arg(open.value(1).toInt()));
        }
        months.setQuery(tallic::tools::suiteStatement(
                            u"select month, chits, "_s + tallic::tools::centsAsText(u"cents"_s)
                            + u" from (select cast(architdate as integer) / 100 as month, "
                              u"count(*) as chits, cast(round(sum(artotal) * 100) as bigint) "
                              u"as cents from ardaily group by 1) as months order by month"_s),
                        daily);
        if (months.lastError().isValid())
            problem = months.lastError().text();
        const char *headers[] = { "Month (yyyymm)", "Chits", "Total" };
        for (int i = 0; i < 3; ++i)
            months.setHeaderData(i, Qt::Horizontal, QString::fromLatin1(headers[i]));
        view->setModel(&months);
        view->resizeColumnsToContents();
    }
    if (!problem.isEmpty())
        heading->setText(u"The months cannot be shown: "_s + problem);
    window.show();
    const int closed = app.exec();
    return problem.isEmpty() ? closed : 1;
}

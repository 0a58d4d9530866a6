#include "lookup.h"

#include "basic/cents.h"
#include "suitefile.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace tallic::lookup {

namespace {

// The rows that hold the text searched for in any of their columns, in any case. Each row's
// texts are read from the list once, when it is loaded, not again at every key typed.
class RowSearch final : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void readRows()
    {
        const QAbstractItemModel *source = sourceModel();
        texts_.clear();
        for (int row = 0; source && row < source->rowCount(); ++row) {
            QString text;
            // A line feed cannot be typed into the search box: no match spans two columns.
            for (int column = 0; column < source->columnCount(); ++column)
                text += source->index(row, column).data().toString().toCaseFolded() + u'\n';
            texts_ << text;
        }
        invalidateFilter();
    }

    void search(const QString &text)
    {
        wanted_ = text.toCaseFolded();
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex &) const override
    {
        return wanted_.isEmpty() || texts_.value(row).contains(wanted_);
    }

private:
    QStringList texts_;
    QString wanted_;
};

// The rows as read, an account or member number in the first column written as the entry
// window reads it: 4100, 1234.01.
class NumberedRows final : public QSqlQueryModel
{
public:
    NumberedRows(bool numbered, QObject *parent)
        : QSqlQueryModel(parent)
        , numbered_(numbered)
    {
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        const QVariant value = QSqlQueryModel::data(index, role);
        if (!numbered_ || index.column() != 0 || role != Qt::DisplayRole || value.isNull())
            return value;
        const Cents number = Cents::of(value.toDouble());
        return number.count() % 100 == 0 ? number.shortest() : number.text();
    }

private:
    bool numbered_;
};

struct FaceInfo
{
    QString title, file, statement;
    QStringList headers;
};

FaceInfo infoOf(Face face)
{
    switch (face) {
    case Face::GlAccounts:
        return { u"G/L Accounts"_s,
                 u"gl.mdb"_s,
                 u"select glacctnum, trim(glacctname) from gl0 where gllevel = 1 order by "
                 u"glacctnum"_s,
                 { u"Account"_s, u"Description"_s } };
    case Face::Members:
        return { u"Members"_s,
                 u"master.mdb"_s,
                 u"select acctnumber, trim(coalesce(lname, '')) || ', ' || "
                 u"trim(coalesce(fname, '')), "
                 u"trim(case when taxexempt = 1 then 'TaxExempt ' else '' end || "
                 u"case when suspended = 1 then 'SUSPENDED ' else '' end || "
                 u"case when terminated = 1 then 'TERMINATED' else '' end), classcode "
                 u"from acctinfo order by acctnumber"_s,
                 { u"Member"_s, u"Name"_s, u"Status"_s, u"Class"_s } };
    case Face::Employees:
        return { u"Employees"_s,
                 u"emp.mdb"_s,
                 u"select empid, trim(coalesce(emplname, '')) || ', ' || trim(coalesce(empfname, "
                 u"'')), operator, accessnum from empinfo order by empid"_s,
                 { u"Employee"_s, u"Name"_s, u"Operator #"_s, u"Access #"_s } };
    }
    return {};
}

// The employee number the entry window checks: the operator number, the access number or
// the employee id, as the point-of-sale settings say. A lookup that left another would
// have its answer refused.
int employeeNumberColumn(const QString &connection)
{
    int column = 0;
    {
        const Result<QSqlDatabase> config = tools::openSuiteFile(connection, u"config.mdb"_s);
        QSqlQuery mode(config ? *config : QSqlDatabase());
        if (config && mode.exec(u"select empvalidate from pos"_s) && mode.next()) {
            const int validate = mode.value(0).toInt();
            column = validate == 1 ? 2 : validate == 2 ? 3 : 0;
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return column;
}

} // namespace

std::optional<Face> faceOf(const QString &programName)
{
    const QString name = programName.toLower();
    if (name.startsWith(u"ombrel"_s))
        return Face::GlAccounts;
    if (name.startsWith(u"tassip"_s))
        return Face::Members;
    if (name.startsWith(u"wennic"_s))
        return Face::Employees;
    return std::nullopt;
}

LookupWindow::LookupWindow(Face face, const QString &mark, QWidget *parent)
    : QWidget(parent)
    , face_(face)
    , mark_(mark)
    , connection_(u"lookup-%1"_s.arg(quintptr(this)))
{
    setWindowTitle(u"Look up: "_s + infoOf(face).title);
    resize(560, 480);
    auto *layout = new QVBoxLayout(this);
    problem_ = new QLabel;
    problem_->setWordWrap(true);
    problem_->hide();
    search_ = new QLineEdit;
    search_->setPlaceholderText(u"Type a number or part of a name; Enter takes it, Escape ends"_s);
    view_ = new QTableView;
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->verticalHeader()->hide();
    view_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(problem_);
    layout->addWidget(search_);
    layout->addWidget(view_);

    model_ = new NumberedRows(face != Face::Employees, this);
    auto *rows = new RowSearch(this);
    rows_ = rows;
    rows_->setSourceModel(model_);
    view_->setModel(rows_);

    connect(search_, &QLineEdit::textChanged, this, [this, rows](const QString &text) {
        rows->search(text.trimmed());
        view_->selectRow(0);
    });
    connect(view_, &QTableView::doubleClicked, this, &LookupWindow::choose);
    // The arrows move in the list while the typing goes on in the search box.
    search_->installEventFilter(this);
    view_->installEventFilter(this);
    connect(&server_, &tools::ClipboardServer::taken, this, [this] { finish(0); });
}

LookupWindow::~LookupWindow()
{
    model_->clear();
    QSqlDatabase::removeDatabase(connection_);
}

bool LookupWindow::load()
{
    const FaceInfo info = infoOf(face_);
    const Result<QSqlDatabase> db = tools::openSuiteFile(connection_, info.file);
    QString why = db ? QString() : db.failure().description;
    if (db) {
        model_->setQuery(tools::suiteStatement(info.statement), *db);
        // Every row, so that the search box filters them all.
        while (model_->canFetchMore())
            model_->fetchMore();
        if (model_->lastError().isValid())
            why = model_->lastError().text();
    }
    if (!why.isEmpty()) {
        problem_->setText(u"The list cannot be shown: "_s + why);
        problem_->show();
        search_->setEnabled(false);
        return false;
    }
    static_cast<RowSearch *>(rows_)->readRows();
    for (int i = 0; i < info.headers.size(); ++i)
        model_->setHeaderData(i, Qt::Horizontal, info.headers.at(i));
    if (face_ == Face::Employees)
        servedColumn_ = employeeNumberColumn(connection_ + u"-config"_s);
    view_->resizeColumnsToContents();
    view_->selectRow(0);
    search_->setFocus();
    return true;
}

QString LookupWindow::problem() const
{
    return problem_->isVisible() || !problem_->text().isEmpty() ? problem_->text() : QString();
}

bool LookupWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        choose();
        return true;
    }
    if (key == Qt::Key_Escape) {
        finish(0);
        return true;
    }
    if (watched == search_
        && (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp
            || key == Qt::Key_PageDown)) {
        view_->setFocus();
        QCoreApplication::sendEvent(view_, event);
        search_->setFocus();
        return true;
    }
    // Typing goes on in the search box, also after a click has put the focus in the list.
    const auto *typed = static_cast<QKeyEvent *>(event);
    if (watched == view_
        && (key == Qt::Key_Backspace
            || (!typed->text().isEmpty() && typed->text().at(0).isPrint()))) {
        search_->setFocus();
        QCoreApplication::sendEvent(search_, event);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void LookupWindow::choose()
{
    if (done_ || !chosen().isEmpty())
        return;
    const QModelIndex current = view_->currentIndex();
    const int row = current.isValid() ? current.row() : 0;
    if (row >= rows_->rowCount())
        return;
    hide();
    server_.serve(rows_->index(row, servedColumn_).data().toString(), mark_);
}

void LookupWindow::finish(int exitCode)
{
    if (done_)
        return;
    done_ = true;
    hide();
    emit finished(exitCode);
}

void LookupWindow::closeEvent(QCloseEvent *event)
{
    // Closed before a choice: nothing, and a list that could not be read is a failure.
    if (chosen().isEmpty())
        finish(problem().isEmpty() ? 0 : 1);
    event->accept();
}

} // namespace tallic::lookup

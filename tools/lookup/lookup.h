#pragma once

#include "clipboardserver.h"

#include <QWidget>

#include <optional>

class QLabel;
class QLineEdit;
class QSortFilterProxyModel;
class QSqlQueryModel;
class QTableView;

namespace tallic::lookup {

// The suite starts one lookup under three names, one for each list it shows.
enum class Face { GlAccounts, Members, Employees };
std::optional<Face> faceOf(const QString &programName);

// A list of the suite's numbers to choose from: a search box that filters as it is typed
// (a number or any part of a name, in any case) over the rows of the face's database.
// Enter or a double click serves the chosen number on the clipboard, with the mark the
// lookup was started with beside it (the field that started it takes only its own mark's
// answer); Escape, or closing the window, ends with nothing. finished() gives the exit code.
class LookupWindow : public QWidget
{
    Q_OBJECT

public:
    explicit LookupWindow(Face face, const QString &mark = QString(), QWidget *parent = nullptr);
    ~LookupWindow() override;

    // Reads the face's rows, read-only; false, and the reason shown in the window, when
    // its database cannot be read.
    bool load();
    QString problem() const;
    QLineEdit *search() const { return search_; }
    QSortFilterProxyModel *rows() const { return rows_; }
    // The number chosen and served, empty before a choice.
    QString chosen() const { return server_.served(); }

signals:
    void finished(int exitCode);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void choose();
    void finish(int exitCode);

    Face face_;
    QString mark_;
    int servedColumn_ = 0; // the column whose number a choice leaves
    QString connection_;
    QLabel *problem_ = nullptr;
    QLineEdit *search_ = nullptr;
    QTableView *view_ = nullptr;
    QSqlQueryModel *model_ = nullptr;
    QSortFilterProxyModel *rows_ = nullptr;
    tools::ClipboardServer server_;
    bool done_ = false;
};

} // namespace tallic::lookup

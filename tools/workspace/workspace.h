#pragma once

#include "workday.h"

#include <QStandardItemModel>
#include <QWidget>

#include <memory>

class QLabel;
class QTableView;

namespace tallic::workspace {

// The editor's window: the day's chits, each operator's and each batch's totals, with
// Correct, Delete chit, Delete batch, Move batch, Read again, Print proof and Close. Its boxes are
// the suite's, through the platform.
class WorkspaceWindow : public QWidget
{
    Q_OBJECT

public:
    // The user is named in the activity log for every change.
    WorkspaceWindow(const QString &user, qint32 date, int accessLevel = 0,
                    QWidget *parent = nullptr);

    Workday &day() { return day_; }

    // The operator's commands, each also a button. A correction takes the current cell:
    // its service charge or tax where those are keyed, else the chit's base sale.
    void correctCurrent();
    void deleteCurrent();
    // The batch of the chit chosen, as a whole: deleted after one question that shows its
    // count and totals, or moved to another date, which is checked as the entry screen's
    // date field checks one.
    void deleteBatch();
    void moveBatch();
    // Reads the day again; a failure is told, leaves the lists empty, and lasts only
    // until a reading succeeds.
    void reload();
    void printProof();
    void closeWindow() { close(); }
    // What the last reading found of the workstation's untold writes, in one box.
    void tellResolutions();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showDay();
    void showOutcome(Workday::Change outcome, int row, int column,
                     const QString &what = QStringLiteral("chit"));
    const Batch *chosenBatch(const QString &command);
    bool ask(const QString &question);
    void tell(const QString &text, bool critical = false);

    Workday day_;
    QStandardItemModel rows_;
    QStandardItemModel batches_;
    QTableView *rowsView_ = nullptr;
    QLabel *heading_ = nullptr;
    QLabel *operators_ = nullptr;
    int accessLevel_ = 0;
};

// Starts the editor as the entry window's Workspace Editor command does: "WJX", the
// operator's two-digit access level and name on the command line, the date on the
// clipboard. The window, or none once the operator has been told why (exitCode then says
// how the run ended).
std::unique_ptr<WorkspaceWindow> startEditor(const QString &commandLine, int &exitCode);

} // namespace tallic::workspace

#pragma once

#include "daybatches.h"

#include <QList>
#include <QString>

namespace tallic::workspace {

// One page of the proof: a run of one batch's rows, and whether the batch's totals close it.
struct ProofPage
{
    int batch = 0;
    int firstRow = 0; // within the batch
    int rowCount = 0;
    bool totals = false;
};

// Lays the batches out on pages of rowsPerPage lines: each batch starts a page, and its
// totals (totalsLines lines) close its last page with at least one of its rows, never alone.
QList<ProofPage> paginate(const QList<int> &batchRows, int rowsPerPage, int totalsLines);

struct ProofInput
{
    QString clubName;
    qint32 date = 0;
    int validityMode = 0;
    QList<DayRow> rows; // in batch order
};

// Writes the proof as a PDF file: every row of every batch under column headings repeated
// on each page, each batch closed by its chit count and totals; false when it cannot.
bool writeProof(const QString &path, const ProofInput &input);

} // namespace tallic::workspace

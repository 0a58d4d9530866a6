#include "proof.h"

#include "basic/masks.h"
#include "basic/numbers.h"

#include <QFontMetrics>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

using namespace Qt::Literals::StringLiterals;

namespace tallic::workspace {

namespace {

QString money(double value)
{
    return formatMask(value, u"#######.#0"_s);
}

QString money(Cents value)
{
    return value.text();
}

// mm-dd-yyyy, as the suite writes a date for people.
QString dateText(qint32 date)
{
    const QString digits = QString::number(date).rightJustified(8, u'0');
    return digits.mid(4, 2) + u'-' + digits.mid(6, 2) + u'-' + digits.left(4);
}

// The proof's columns, in 96ths of an inch from the left margin; money is right-aligned.
struct ProofColumn
{
    const char *heading;
    int column;
    int left;
    int width;
    bool money;
};
const ProofColumn Columns[] = {
    { "Chit #", Column::ChitNumber, 0, 85, false },
    { "G/L", Column::GlAccount, 85, 50, false },
    { "Member", Column::Member, 135, 70, false },
    { "Employee", Column::Employee, 205, 70, false },
    { "Base", Column::BaseSale, 275, 75, true },
    { "S/C", Column::ServiceCharge, 350, 65, true },
    { "Tax", Column::Tax, 415, 65, true },
    { "Total", Column::Total, 480, 80, true },
    { "Memo", Column::Memo, 570, 110, false },
};
constexpr int TotalsLines = 5;
constexpr int HeaderLines = 5;

class ProofPainter
{
public:
    ProofPainter(QPainter &painter, const ProofInput &input, const QList<Batch> &batches)
        : p_(painter)
        , input_(input)
        , batches_(batches)
        , line_(QFontMetrics(painter.font()).height() + 2)
        , width_(painter.viewport().width())
    {
    }

    int line() const { return line_; }

    void page(const ProofPage &page, int number, int pages, const QList<DayRow> &batchRows)
    {
        const Batch &batch = batches_.at(page.batch);
        int y = line_;
        p_.drawText(QRect(0, 0, width_, line_), Qt::AlignLeft, input_.clubName);
        p_.drawText(QRect(0, 0, width_, line_), Qt::AlignRight,
                    u"Page %1 of %2"_s.arg(number).arg(pages));
        p_.drawText(
            QRect(0, y, width_, line_), Qt::AlignLeft,
            u"Batch proof - chits of %1 - batch %2"_s.arg(dateText(input_.date), batch.origin));
        y += 2 * line_;
        for (const ProofColumn &c : Columns)
            cell(c, y, QString::fromLatin1(c.heading));
        y += line_;
        p_.drawLine(0, y - 1, width_, y - 1);
        for (int r = page.firstRow; r < page.firstRow + page.rowCount; ++r) {
            const DayRow &row = batchRows.at(r);
            for (const ProofColumn &c : Columns) {
                const QVariant value = row.values.value(c.column);
                cell(c, y,
                     c.money ? money(value.toDouble())
                         : c.column == Column::ChitNumber || c.column == Column::Memo
                         ? value.toString()
                         : shortestNumber(value.toDouble()));
            }
            y += line_;
        }
        if (page.totals)
            totals(batch, y);
    }

private:
    void cell(const ProofColumn &c, int y, const QString &text)
    {
        const QRect box(c.left, y, c.width - 6, line_);
        const QString shown = QFontMetrics(p_.font()).elidedText(text, Qt::ElideRight, box.width());
        p_.drawText(box, c.money ? Qt::AlignRight : Qt::AlignLeft, shown);
    }

    void totals(const Batch &batch, int y)
    {
        p_.drawLine(Columns[4].left, y + 1, Columns[7].left + Columns[7].width, y + 1);
        y += line_ / 2;
        cell(Columns[0], y, u"Batch totals"_s);
        cell(Columns[4], y, money(batch.totals.base));
        cell(Columns[5], y, money(batch.totals.serviceCharge));
        cell(Columns[6], y, money(batch.totals.tax));
        cell(Columns[7], y, money(batch.totals.total));
        y += 2 * line_;
        const auto text = [this, &y](const QString &words) {
            p_.drawText(QRect(0, y, width_, line_), Qt::AlignLeft, words);
            y += line_;
        };
        text(u"Chit count %1   Rows %2   Base total %3   Total %4"_s.arg(batch.chits)
                 .arg(batch.rows)
                 .arg(money(batch.totals.base), money(batch.totals.total)));
        const QString validity = validityText(input_.validityMode, batch.validity);
        text(u"Validity: "_s + (validity.isEmpty() ? u"none kept"_s : validity));
    }

    QPainter &p_;
    const ProofInput &input_;
    const QList<Batch> &batches_;
    int line_;
    int width_;
};

} // namespace

QList<ProofPage> paginate(const QList<int> &batchRows, int rowsPerPage, int totalsLines)
{
    QList<ProofPage> pages;
    rowsPerPage = std::max(rowsPerPage, totalsLines + 1);
    for (int b = 0; b < batchRows.size(); ++b) {
        int first = 0;
        int left = batchRows.at(b);
        while (left + totalsLines > rowsPerPage) {
            // The rows that leave room for the totals, and at least one row beside them.
            const int take = std::min(left, rowsPerPage) == left ? left - 1 : rowsPerPage;
            pages.append({ b, first, take, false });
            first += take;
            left -= take;
        }
        pages.append({ b, first, left, true });
    }
    return pages;
}

bool writeProof(const QString &path, const ProofInput &input)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    writer.setResolution(96);
    writer.setTitle(u"Batch proof "_s + dateText(input.date));
    writer.setCreator(u"Tallic workspace editor"_s);
    QPainter painter;
    if (!painter.begin(&writer))
        return false;

    const QList<Batch> batches = batchesOf(input.rows, input.validityMode);
    QList<QList<DayRow>> rowsOfBatch;
    QList<int> counts;
    qsizetype next = 0;
    for (const Batch &batch : batches) {
        rowsOfBatch.append(input.rows.mid(next, batch.rows));
        counts.append(batch.rows);
        next += batch.rows;
    }
    ProofPainter proof(painter, input, batches);
    const int rowsPerPage = painter.viewport().height() / proof.line() - HeaderLines;
    const QList<ProofPage> pages = paginate(counts, rowsPerPage, TotalsLines);
    if (pages.isEmpty()) {
        painter.drawText(QRect(0, 0, painter.viewport().width(), proof.line() * 3), Qt::AlignLeft,
                         input.clubName + u"\nBatch proof - no chits were keyed for "_s
                             + dateText(input.date));
    }
    for (qsizetype i = 0; i < pages.size(); ++i) {
        if (i > 0)
            writer.newPage();
        proof.page(pages.at(i), int(i) + 1, int(pages.size()), rowsOfBatch.at(pages.at(i).batch));
    }
    return painter.end();
}

} // namespace tallic::workspace

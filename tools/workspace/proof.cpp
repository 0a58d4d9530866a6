#include "proof.h"

#include "basic/masks.h"

#include <QFontMetrics>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <iterator>

using namespace Qt::Literals::StringLiterals;

namespace tallic::workspace {

namespace {

// mm-dd-yyyy, as the suite writes a date for people.
QString dateText(qint32 date)
{
    const QString digits = QString::number(date).rightJustified(8, u'0');
    return digits.mid(4, 2) + u'-' + digits.mid(6, 2) + u'-' + digits.left(4);
}

// The proof's columns; money is right-aligned. The memo, last, takes what room is left.
struct ProofColumn
{
    const char *heading;
    int column;
    bool money;
};
const ProofColumn Columns[] = {
    { "Chit #", Column::ChitNumber, false },
    { "G/L", Column::GlAccount, false },
    { "Member", Column::Member, false },
    { "Employee", Column::Employee, false },
    { "Base", Column::BaseSale, true },
    { "S/C", Column::ServiceCharge, true },
    { "Tax", Column::Tax, true },
    { "Total", Column::Total, true },
    { "Memo", Column::Memo, false },
};
constexpr int ColumnCount = int(std::size(Columns));
constexpr int Memo = ColumnCount - 1;
constexpr int FirstMoney = 4;
constexpr int TotalsLines = 6;
constexpr int HeaderLines = 5;
// Room between two columns, in 96ths of an inch.
constexpr int Gap = 18;
// The smallest type the proof steps down to before its figures would overrun the page.
constexpr qreal SmallestPoints = 5;

QString cellText(const DayRow &row, const ProofColumn &c)
{
    const QVariant value = row.values.value(c.column);
    if (c.money)
        return row.cents(c.column).text();
    if (c.column == Column::ChitNumber || c.column == Column::Memo)
        return value.toString();
    return shortestNumber(value.toDouble());
}

// The lines under a batch's rows: its totals in the money columns, then its counts, its
// amounts and its validity totals in words.
QStringList totalsCells(const Batch &batch)
{
    const Amounts &t = batch.totals;
    return { t.base.text(), t.serviceCharge.text(), t.tax.text(), t.total.text() };
}

QStringList totalsLines(const Batch &batch, int validityMode)
{
    const Amounts &t = batch.totals;
    const QString validity = validityText(validityMode, batch.validity);
    return { u"Chit count %1   Rows %2"_s.arg(batch.chits).arg(batch.rows),
             u"Base total %1   Service charge %2   Tax %3   Total %4"_s.arg(
                 t.base.text(), t.serviceCharge.text(), t.tax.text(), t.total.text()),
             u"Validity: "_s + (validity.isEmpty() ? u"none kept"_s : validity) };
}

// The widest text of each column and of the lines in words, in the font's pixels.
struct Widest
{
    int columns[ColumnCount] {};
    int line = 0;

    // The room the columns take side by side, the memo at its heading's width at least.
    int needed() const
    {
        int room = columns[Memo];
        for (int i = 0; i < Memo; ++i)
            room += columns[i] + Gap;
        return std::max(room, line);
    }
};

// Of the rows, and of the batches whose totals close them.
Widest widest(const QFontMetrics &metrics, const QList<DayRow> &rows, const QList<Batch> &totals,
              int validityMode)
{
    Widest w;
    for (int i = 0; i < ColumnCount; ++i)
        w.columns[i] = metrics.horizontalAdvance(QString::fromLatin1(Columns[i].heading));
    w.columns[0] = std::max(w.columns[0], metrics.horizontalAdvance(u"Batch totals"_s));
    for (const DayRow &row : rows) {
        for (int i = 0; i < Memo; ++i)
            w.columns[i]
                = std::max(w.columns[i], metrics.horizontalAdvance(cellText(row, Columns[i])));
    }
    for (const Batch &batch : totals) {
        const QStringList cells = totalsCells(batch);
        for (int i = 0; i < cells.size(); ++i)
            w.columns[FirstMoney + i]
                = std::max(w.columns[FirstMoney + i], metrics.horizontalAdvance(cells.at(i)));
        for (const QString &line : totalsLines(batch, validityMode))
            w.line = std::max(w.line, metrics.horizontalAdvance(line));
    }
    return w;
}

int pageWidth(const QPdfWriter &writer, QPageLayout::Orientation orientation)
{
    QPageLayout page = writer.pageLayout();
    page.setOrientation(orientation);
    return page.paintRectPixels(writer.resolution()).width();
}

// The type and the page the proof is drawn in: the first of portrait, landscape and ever
// smaller type in which the widest figure of every column fits the page. Money is never
// cut short.
struct ProofLayout
{
    QFont font;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
};

ProofLayout fitLayout(const QPdfWriter &writer, const ProofInput &input,
                      const QList<Batch> &batches)
{
    ProofLayout layout;
    const qreal largest = layout.font.pointSizeF() > 0 ? layout.font.pointSizeF() : 10;
    for (qreal points = largest;; points = std::max(points - 1, SmallestPoints)) {
        layout.font.setPointSizeF(points);
        const int needed
            = widest(QFontMetrics(layout.font, &writer), input.rows, batches, input.validityMode)
                  .needed();
        for (const auto orientation : { QPageLayout::Portrait, QPageLayout::Landscape }) {
            layout.orientation = orientation;
            if (needed <= pageWidth(writer, orientation)
                || (points == SmallestPoints && orientation == QPageLayout::Landscape))
                return layout;
        }
    }
}

class ProofPainter
{
public:
    ProofPainter(QPainter &painter, const ProofInput &input, const QList<Batch> &batches)
        : p_(painter)
        , input_(input)
        , batches_(batches)
        , line_(painter.fontMetrics().height() + 2)
        , width_(painter.viewport().width())
    {
    }

    int line() const { return line_; }

    void page(const ProofPage &page, int number, int pages, const QList<DayRow> &batchRows)
    {
        const Batch &batch = batches_.at(page.batch);
        const QList<DayRow> rows = batchRows.mid(page.firstRow, page.rowCount);
        placeColumns(widest(p_.fontMetrics(), rows, page.totals ? QList { batch } : QList<Batch>(),
                            input_.validityMode));
        int y = line_;
        p_.drawText(QRect(0, 0, width_, line_), Qt::AlignLeft, input_.clubName);
        p_.drawText(QRect(0, 0, width_, line_), Qt::AlignRight,
                    u"Page %1 of %2"_s.arg(number).arg(pages));
        p_.drawText(
            QRect(0, y, width_, line_), Qt::AlignLeft,
            u"Batch proof - chits of %1 - batch %2"_s.arg(dateText(input_.date), batch.origin));
        y += 2 * line_;
        for (int i = 0; i < ColumnCount; ++i)
            cell(i, y, QString::fromLatin1(Columns[i].heading));
        y += line_;
        p_.drawLine(0, y - 1, width_, y - 1);
        for (const DayRow &row : rows) {
            for (int i = 0; i < ColumnCount; ++i)
                cell(i, y, cellText(row, Columns[i]));
            y += line_;
        }
        if (page.totals)
            totals(batch, y);
    }

private:
    // Each column as wide as its widest text on the page; the memo takes what is left, and
    // only a memo too long for it is cut.
    void placeColumns(const Widest &w)
    {
        int left = 0;
        for (int i = 0; i < ColumnCount; ++i) {
            lefts_[i] = left;
            widths_[i] = i == Memo ? std::max(width_ - left, w.columns[i]) : w.columns[i];
            left += widths_[i] + Gap;
        }
    }

    void cell(int column, int y, const QString &text)
    {
        const QRect box(lefts_[column], y, widths_[column], line_);
        const QString shown = column == Memo
            ? p_.fontMetrics().elidedText(text, Qt::ElideRight, box.width())
            : text;
        p_.drawText(box, Columns[column].money ? Qt::AlignRight : Qt::AlignLeft, shown);
    }

    void totals(const Batch &batch, int y)
    {
        const int last = FirstMoney + 3;
        p_.drawLine(lefts_[FirstMoney], y + 1, lefts_[last] + widths_[last], y + 1);
        y += line_ / 2;
        cell(0, y, u"Batch totals"_s);
        const QStringList cells = totalsCells(batch);
        for (int i = 0; i < cells.size(); ++i)
            cell(FirstMoney + i, y, cells.at(i));
        y += 2 * line_;
        for (const QString &words : totalsLines(batch, input_.validityMode)) {
            p_.drawText(QRect(0, y, width_, line_), Qt::AlignLeft, words);
            y += line_;
        }
    }

    QPainter &p_;
    const ProofInput &input_;
    const QList<Batch> &batches_;
    int line_;
    int width_;
    int lefts_[ColumnCount] {};
    int widths_[ColumnCount] {};
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
    const QList<Batch> batches = batchesOf(input.rows, input.validityMode);
    const ProofLayout layout = fitLayout(writer, input, batches);
    writer.setPageOrientation(layout.orientation);
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    painter.setFont(layout.font);

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

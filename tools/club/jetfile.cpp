#include "jetfile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <mdbtools.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

constexpr int BatchRows = 2000;
// Room for a memo of that many bytes in one bound value; longer ones are read whole
// through the library's own memo reader.
constexpr size_t BindSize = 1 << 18;

ColumnKind kindOf(int jetType)
{
    switch (jetType) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
        return ColumnKind::Integer;
    case MDB_FLOAT:
    case MDB_DOUBLE:
        return ColumnKind::Real;
    case MDB_MONEY:
    case MDB_NUMERIC:
        return ColumnKind::Currency;
    case MDB_OLE:
    case MDB_BINARY:
        return ColumnKind::Blob;
    default:
        return ColumnKind::Text;
    }
}

MdbColumn *columnAt(MdbTableDef *table, unsigned i)
{
    return static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
}

// The library tells what it meets on the standard output and error, a page dump at a
// time: while it reads, the person at the terminal is spared it, and gets the command's own
// words for what went wrong.
class Quiet
{
public:
    Quiet()
    {
        std::fflush(stdout);
        std::fflush(stderr);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        out_ = ::dup(1);
        err_ = ::dup(2);
        if (null >= 0) {
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::close(null);
        }
    }
    ~Quiet()
    {
        std::fflush(stdout);
        std::fflush(stderr);
        ::dup2(out_, 1);
        ::dup2(err_, 2);
        ::close(out_);
        ::close(err_);
    }
    Quiet(const Quiet &) = delete;
    Quiet &operator=(const Quiet &) = delete;

private:
    int out_ = -1;
    int err_ = -1;
};

// The catalogue's table of that name (a form or a query may share it).
MdbCatalogEntry *tableEntry(MdbHandle *mdb, const char *name)
{
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && g_ascii_strcasecmp(entry->object_name, name) == 0)
            return entry;
    }
    return nullptr;
}

// The rows the table says it holds; -1 when its definition cannot be read.
qint64 rowsHeld(MdbHandle *mdb, const char *name)
{
    MdbCatalogEntry *entry = tableEntry(mdb, name);
    MdbTableDef *table = entry ? mdb_read_table(entry) : nullptr;
    const qint64 rows = table ? qint64(table->num_rows) : -1;
    if (table)
        mdb_free_tabledef(table);
    return rows;
}

} // namespace

struct JetFile::Handle
{
    MdbHandle *mdb = nullptr;
    ~Handle()
    {
        if (mdb)
            mdb_close(mdb);
    }
};

JetFile::JetFile() = default;
JetFile::~JetFile() = default;

Result<void> JetFile::open(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure(0, file.errorString());
    const QByteArray head = file.read(32);
    if (head.startsWith("SQLite format 3"))
        return Failure(0,
                       u"an SQLite database, already Tallic's own format (copy it with "
                       u"tallic-club copy)"_s);
    const QByteArray format = head.mid(4, 15);
    if (format != QByteArrayLiteral("Standard Jet DB")
        && format != QByteArrayLiteral("Standard ACE DB"))
        return Failure(0, u"not an Access/Jet database"_s);
    handle_ = std::make_unique<Handle>();
    Quiet quiet;
    // Read-only: the old files are never changed.
    handle_->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!handle_->mdb)
        return Failure(0, u"not a readable Access/Jet database"_s);
    const qint64 pageSize = handle_->mdb->fmt->pg_size;
    if (pageSize <= 0 || QFileInfo(path).size() % pageSize != 0)
        return Failure(0,
                       u"cut short: %1 bytes is not a whole number of %2-byte pages"_s
                           .arg(QFileInfo(path).size())
                           .arg(pageSize));
    mdb_set_bind_size(handle_->mdb, BindSize);
    mdb_set_boolean_fmt_numbers(handle_->mdb);
    if (!mdb_read_catalog(handle_->mdb, MDB_ANY))
        return Failure(0, u"its list of tables cannot be read"_s);
    // A list cut short leaves tables out without a word: every entry it holds is read.
    const qint64 listed = rowsHeld(handle_->mdb, "MSysObjects");
    if (listed != qint64(handle_->mdb->num_catalog))
        return Failure(0,
                       u"its list of tables is damaged or cut short: %1 entries could be read of "
                       u"the %2 it holds"_s.arg(handle_->mdb->num_catalog)
                           .arg(listed));
    return {};
}

Result<QList<TableDef>> JetFile::tables()
{
    Quiet quiet;
    QList<TableDef> tables;
    MdbHandle *mdb = handle_->mdb;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry))
            continue;
        MdbTableDef *table = mdb_read_table(entry);
        if (!table || !mdb_read_columns(table)) {
            if (table)
                mdb_free_tabledef(table);
            return Failure(
                0, u"the table "_s + QString::fromUtf8(entry->object_name) + u" cannot be read"_s);
        }
        TableDef def { QString::fromUtf8(table->name), {}, {} };
        for (unsigned c = 0; c < table->num_cols; ++c) {
            MdbColumn *column = columnAt(table, c);
            def.columns.append({ QString::fromUtf8(column->name), kindOf(column->col_type) });
        }
        tables << def;
        mdb_free_tabledef(table);
    }
    return tables;
}

qint64 JetFile::storedRows(const QString &name) const
{
    Quiet quiet;
    return rowsHeld(handle_->mdb, name.toUtf8().constData());
}

QString JetFile::dateText(double days)
{
    // The library's own conversion stops at 1900; the day number is plain arithmetic.
    const double whole = std::trunc(days);
    const qint64 seconds = std::llround(std::fabs(days - whole) * 86400.0);
    const QDate date = QDate(1899, 12, 30).addDays(qint64(whole) + seconds / 86400);
    return date.toString(u"yyyy-MM-dd"_s) + u' '
        + QTime(0, 0).addSecs(int(seconds % 86400)).toString(u"HH:mm:ss"_s);
}

double JetFile::singleValue(float value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return QByteArray(text, int(end - text)).toDouble();
}

namespace {

// The row the table's bound columns hold now, as Qt's values.
QVariantList currentRow(MdbHandle *mdb, MdbTableDef *table,
                        const std::vector<std::vector<char>> &bound,
                        const std::vector<int> &lengths)
{
    QVariantList row;
    row.reserve(table->num_cols);
    for (unsigned c = 0; c < table->num_cols; ++c) {
        MdbColumn *column = columnAt(table, c);
        const int type = column->col_type;
        const QByteArray text(bound[c].data(), lengths[c]);
        // A column without a value, text ones included: Jet keeps empty text as Null
        // unless a table asks otherwise.
        if (type != MDB_BOOL && column->cur_value_len == 0) {
            row << QVariant();
            continue;
        }
        switch (type) {
        case MDB_BOOL:
            // Yes is -1, as Jet stores it.
            row << qint64(text == "0" || text.isEmpty() ? 0 : -1);
            break;
        case MDB_BYTE:
        case MDB_INT:
        case MDB_LONGINT:
            row << text.toLongLong();
            break;
        case MDB_FLOAT:
            row << JetFile::singleValue(mdb_get_single(mdb->pg_buf, column->cur_value_start));
            break;
        case MDB_DOUBLE:
            row << mdb_get_double(mdb->pg_buf, column->cur_value_start);
            break;
        case MDB_MONEY:
        case MDB_NUMERIC:
            row << text.toDouble();
            break;
        case MDB_DATETIME:
            row << JetFile::dateText(mdb_get_double(mdb->pg_buf, column->cur_value_start));
            break;
        case MDB_OLE: {
            size_t size = 0;
            void *blob = mdb_ole_read_full(mdb, column, &size);
            row << QByteArray(static_cast<const char *>(blob), qsizetype(size));
            free(blob);
            break;
        }
        case MDB_BINARY:
            row << text;
            break;
        default:
            row << QString::fromUtf8(text);
        }
    }
    return row;
}

} // namespace

Result<Figures> JetFile::readRows(const TableDef &def, const RowSink &sink)
{
    MdbHandle *mdb = handle_->mdb;
    std::optional<Quiet> quiet(std::in_place);
    MdbCatalogEntry *entry = tableEntry(mdb, def.name.toUtf8().constData());
    MdbTableDef *table = entry ? mdb_read_table(entry) : nullptr;
    if (!table || !mdb_read_columns(table)) {
        if (table)
            mdb_free_tabledef(table);
        return Failure(0, def.name + u": the table cannot be read"_s);
    }
    const unsigned columns = table->num_cols;
    std::vector<std::vector<char>> bound(columns, std::vector<char>(BindSize + 1));
    std::vector<int> lengths(columns);
    for (unsigned c = 0; c < columns; ++c)
        mdb_bind_column(table, int(c + 1), bound[c].data(), &lengths[c]);
    mdb_rewind_table(table);

    Result<void> taken;
    Figures figures;
    qint64 read = 0;
    for (bool more = true; taken && more;) {
        // The library reads a batch quietly; the sink, which may tell, has its own words.
        Rows rows;
        quiet.emplace();
        while (rows.size() < BatchRows && (more = mdb_fetch_row(table))) {
            rows << currentRow(mdb, table, bound, lengths);
            figures.add(rows.last());
        }
        quiet.reset();
        read += rows.size();
        if (!rows.isEmpty())
            taken = sink(rows);
    }
    const qint64 stored = table->num_rows;
    mdb_free_tabledef(table);
    if (!taken)
        return taken.failure();
    if (read != stored)
        return Failure(0,
                       u"%1: %2 rows could be read of the %3 it holds; the file is damaged "
                       u"or cut short"_s.arg(def.name)
                           .arg(read)
                           .arg(stored));
    return figures;
}

} // namespace tallic::club

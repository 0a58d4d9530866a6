// tallic-club import-csv: a club's lists of members, classes, accounts and employees.
#include "clubdb.h"
#include "commands.h"
#include "csvfile.h"

#include "basic/cents.h"
#include "basic/masks.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

namespace {

// How a column's text is checked, as the program checks the value keyed into its field.
enum class Check { Member, Account, Whole, Level, Flag, Rate, Money, Text, Class };

struct CsvColumn
{
    QString name;
    Check check;
    bool required = false;
};

// The table a column goes to: the kind's own, or a second one keyed by the same number.
struct Part
{
    QString file, table, key;
    QStringList columns; // the kind's columns it takes
    QHash<QString, QString> renamed; // the kind's column -> this table's column
};

struct Kind
{
    QString name;
    QList<CsvColumn> columns;
    QList<Part> parts; // the first holds the key
    QString word; // "member" in messages
};

const QList<Kind> &kinds()
{
    static const QList<Kind> list {
        { u"members"_s,
          { { u"acctnumber"_s, Check::Member, true },
            { u"lname"_s, Check::Text },
            { u"fname"_s, Check::Text },
            { u"taxexempt"_s, Check::Flag },
            { u"suspended"_s, Check::Flag },
            { u"terminated"_s, Check::Flag },
            { u"classcode"_s, Check::Class, true },
            { u"balfwd"_s, Check::Money } },
          { { u"master.mdb"_s,
              u"acctinfo"_s,
              u"acctnumber"_s,
              { u"acctnumber"_s, u"lname"_s, u"fname"_s, u"taxexempt"_s, u"suspended"_s,
                u"terminated"_s, u"classcode"_s },
              {} },
            { u"master2.mdb"_s, u"ar"_s, u"acctnumber"_s, { u"acctnumber"_s, u"balfwd"_s }, {} } },
          u"member"_s },
        { u"classes"_s,
          { { u"classcode"_s, Check::Text, true }, { u"Description"_s, Check::Text } },
          { { u"master.mdb"_s,
              u"classcode"_s,
              u"classcode"_s,
              { u"classcode"_s, u"Description"_s },
              {} } },
          u"class"_s },
        { u"accounts"_s,
          { { u"glacctnum"_s, Check::Account, true },
            { u"glacctname"_s, Check::Text, true },
            { u"glstatementdesc"_s, Check::Text },
            { u"glaccttype"_s, Check::Text },
            { u"gllevel"_s, Check::Level, true },
            { u"arshortname"_s, Check::Text },
            { u"arcategory"_s, Check::Text },
            { u"arscacct"_s, Check::Account },
            { u"artaxacct"_s, Check::Account },
            { u"arsrvchg"_s, Check::Rate },
            { u"arsalestax"_s, Check::Rate } },
          { { u"gl.mdb"_s,
              u"gl0"_s,
              u"glacctnum"_s,
              { u"glacctnum"_s, u"glacctname"_s, u"glstatementdesc"_s, u"glaccttype"_s,
                u"gllevel"_s },
              {} },
            // The A/R ledger's copy of the account, with its rates.
            { u"ar.mdb"_s,
              u"ar0"_s,
              u"aracctnum"_s,
              { u"glacctnum"_s, u"glacctname"_s, u"glaccttype"_s, u"gllevel"_s, u"arshortname"_s,
                u"arcategory"_s, u"arscacct"_s, u"artaxacct"_s, u"arsrvchg"_s, u"arsalestax"_s },
              { { u"glacctnum"_s, u"aracctnum"_s },
                { u"glacctname"_s, u"aracctname"_s },
                { u"glaccttype"_s, u"arcategory"_s },
                { u"gllevel"_s, u"arlevel"_s } } } },
          u"account"_s },
        { u"employees"_s,
          { { u"empid"_s, Check::Whole, true },
            { u"emplname"_s, Check::Text },
            { u"empfname"_s, Check::Text },
            { u"operator"_s, Check::Whole },
            { u"accessnum"_s, Check::Text } },
          { { u"emp.mdb"_s,
              u"empinfo"_s,
              u"empid"_s,
              { u"empid"_s, u"emplname"_s, u"empfname"_s, u"operator"_s, u"accessnum"_s },
              {} } },
          u"employee"_s },
    };
    return list;
}

const Kind *kindNamed(const QString &name)
{
    for (const Kind &kind : kinds()) {
        if (kind.name == name)
            return &kind;
    }
    return nullptr;
}

// Why a number's text is not a value of the column, as the program checks it keyed; empty
// when it is.
QString numberProblem(Check check, const QString &text, double n, qsizetype decimals)
{
    switch (check) {
    case Check::Member:
        if (n < 1 || n > 99999.99)
            return u"is not a member number from 1 to 99999.99"_s;
        return decimals > 2 ? u"has more than two decimals (sub-accounts are .01 to .99)"_s
                            : QString();
    case Check::Account:
        return n <= 0 || n > 99999999 ? u"is not a G/L account number"_s : QString();
    case Check::Level:
        return decimals > 0 || n < 1 || n > 9
            ? u"is not an account level from 1 to 9 (1 is a posting account)"_s
            : QString();
    case Check::Whole:
        return decimals > 0 || n < 0 || n > 2147483647 ? u"is not a whole number"_s : QString();
    case Check::Flag:
        return text != u"0"_s && text != u"1"_s ? u"is neither 0 nor 1"_s : QString();
    case Check::Rate:
        return n < 0 || n > 1 ? u"is not a rate from 0 to 1 (0.18 for 18%)"_s : QString();
    case Check::Money:
        // A third decimal would be a fraction of a cent on the member's statement.
        return decimals > 2 ? u"has more than two decimals"_s : QString();
    default:
        return {};
    }
}

// The value to store, or an invalid QVariant with the reason.
QVariant checked(Check check, const QString &raw, QString &reason)
{
    const QString text = raw.trimmed();
    if (text.isEmpty())
        return QVariant(QMetaType::fromType<QString>());
    if (check == Check::Text || check == Check::Class)
        return raw;
    static const QRegularExpression plain(u"^-?\\d+(\\.\\d*)?$|^-?\\.\\d+$"_s);
    if (!plain.match(text).hasMatch()) {
        reason = u"is not a number"_s;
        return {};
    }
    const double n = text.toDouble();
    const qsizetype point = text.indexOf(u'.');
    reason = numberProblem(check, text, n, point < 0 ? 0 : text.size() - point - 1);
    if (!reason.isEmpty())
        return {};
    if (check == Check::Level || check == Check::Whole || check == Check::Flag)
        return qint64(n);
    if (check == Check::Money)
        return Cents::of(n).toDouble();
    return n;
}

// A key as compared: numbers by their cents, texts without regard to case.
QString keyOf(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString().trimmed().toUpper();
    return QString::number(Cents::of(value.toDouble()).count());
}

// Where each key of a kind was first seen: its file and line.
using Seen = QHash<QString, std::pair<QString, int>>;

struct Import
{
    const Kind *kind;
    QString path;
    QStringList header;
    QList<int> lines;
    QList<QHash<QString, QVariant>> rows;
};

// The suite's names of the columns the first line names; false, with the problem, when one
// is none of the kind's or the key is not among them.
bool readHeader(Import &import, const QStringList &titles, const QString &name,
                QStringList &problems)
{
    QStringList known;
    for (const CsvColumn &column : import.kind->columns)
        known << column.name;
    for (const QString &title : titles) {
        const QString wanted = title.trimmed();
        auto found = std::find_if(known.cbegin(), known.cend(), [&](const QString &k) {
            return k.compare(wanted, Qt::CaseInsensitive) == 0;
        });
        if (found == known.cend()) {
            problems << u"%1, line 1: no column %2 in %3 (the columns: %4)"_s.arg(
                name, wanted, import.kind->name, known.join(u", "_s));
            return false;
        }
        import.header << *found;
    }
    for (const CsvColumn &column : import.kind->columns) {
        if (column.required && !import.header.contains(column.name)) {
            problems << u"%1, line 1: the column %2 is missing"_s.arg(name, column.name);
            return false;
        }
    }
    return true;
}

// Reads and checks one file; every bad line goes to problems. A key seen before in the
// import, in this file or another, is one.
bool readImport(Import &import, Seen &seen, QStringList &problems)
{
    QFile file(import.path);
    if (!file.open(QIODevice::ReadOnly)) {
        problems << import.path + u": "_s + file.errorString();
        return false;
    }
    const CsvFile csv = readCsv(file.readAll());
    const QString name = QFileInfo(import.path).fileName();
    for (const QString &problem : csv.problems)
        problems << name + u", "_s + problem;
    if (!readHeader(import, csv.header, name, problems))
        return false;
    for (const CsvRecord &record : csv.records) {
        if (record.fields.size() != import.header.size()) {
            problems << u"%1, line %2: %3 fields where the first line names %4"_s.arg(name)
                            .arg(record.line)
                            .arg(record.fields.size())
                            .arg(import.header.size());
            continue;
        }
        QHash<QString, QVariant> row;
        for (qsizetype i = 0; i < record.fields.size(); ++i) {
            const QString &column = import.header.at(i);
            const auto spec
                = std::find_if(import.kind->columns.cbegin(), import.kind->columns.cend(),
                               [&](const CsvColumn &c) { return c.name == column; });
            QString reason;
            const QVariant value = checked(spec->check, record.fields.at(i), reason);
            if (!value.isValid())
                problems << u"%1, line %2: %3 \"%4\" %5"_s.arg(name)
                                .arg(record.line)
                                .arg(column, record.fields.at(i), reason);
            else if (spec->required && value.isNull())
                problems << u"%1, line %2: %3 is empty"_s.arg(name).arg(record.line).arg(column);
            row.insert(column, value);
        }
        const QString key = import.kind->columns.first().name;
        const QVariant keyValue = row.value(key);
        if (keyValue.isValid() && !keyValue.isNull()) {
            const QString k = import.kind->name + u':' + keyOf(keyValue);
            const auto [where, line] = seen.value(k);
            if (line > 0)
                problems << u"%1, line %2: %3 %4 is on line %5%6 too"_s.arg(name)
                                .arg(record.line)
                                .arg(import.kind->word,
                                     record.fields.at(import.header.indexOf(key)).trimmed(),
                                     QString::number(line),
                                     where == import.path
                                         ? QString()
                                         : u" of "_s + QFileInfo(where).fileName());
            else
                seen.insert(k, { import.path, record.line });
        }
        import.lines << record.line;
        import.rows << row;
    }
    return true;
}

// The keys a table holds now, each with the value as stored.
Result<QHash<QString, QVariant>> existingKeys(ClubDb &db, const Part &part)
{
    QHash<QString, QVariant> keys;
    QSqlQuery query(db.db());
    if (!query.exec(u"select "_s + db.column(part.key) + u" from "_s
                    + db.table(part.file, part.table)))
        return Failure(0, part.file + u", "_s + part.table + u": "_s + query.lastError().text());
    while (query.next())
        keys.insert(keyOf(query.value(0)), query.value(0));
    return keys;
}

bool writeImport(ClubDb &db, const Import &import, bool update, QStringList &problems,
                 Console &console)
{
    const QString name = QFileInfo(import.path).fileName();
    int added = 0, changed = 0;
    for (const Part &part : import.kind->parts) {
        QStringList columns;
        for (const QString &column : part.columns) {
            // A column the header names is its own, never filled from another one.
            const QString target = part.renamed.value(column, column);
            if (import.header.contains(column)
                && (target == column || !import.header.contains(target)))
                columns << column;
        }
        if (!columns.contains(part.columns.first()) || columns.size() < 2)
            continue; // a second table that the file gives nothing for
        const Result<QHash<QString, QVariant>> keys = existingKeys(db, part);
        if (!keys) {
            problems << keys.failure().fullText();
            return false;
        }
        const QHash<QString, QVariant> &existing = *keys;
        QStringList targets, marks, sets;
        for (const QString &column : std::as_const(columns)) {
            const QString target = db.column(part.renamed.value(column, column));
            targets << target;
            marks << u"?"_s;
            if (column != part.columns.first())
                sets << target + u" = ?"_s;
        }
        const QString table = db.table(part.file, part.table);
        QSqlQuery insert(db.db()), change(db.db());
        insert.prepare(u"insert into "_s + table + u" ("_s + targets.join(u", "_s) + u") values ("_s
                       + marks.join(u", "_s) + u')');
        change.prepare(u"update "_s + table + u" set "_s + sets.join(u", "_s) + u" where "_s
                       + db.column(part.key) + u" = ?"_s);
        for (qsizetype r = 0; r < import.rows.size(); ++r) {
            const QHash<QString, QVariant> &row = import.rows.at(r);
            const QVariant key = row.value(part.columns.first());
            const bool there = existing.contains(keyOf(key));
            // The first table decides whether a key may be there; the second follows it.
            if (there && !update && part.table == import.kind->parts.first().table) {
                problems << u"%1, line %2: %3 %4 is already in %5 (--update changes it)"_s.arg(name)
                                .arg(import.lines.at(r))
                                .arg(import.kind->word,
                                     key.typeId() == QMetaType::QString
                                         ? key.toString()
                                         : shortestNumber(key.toDouble()),
                                     part.file.toUpper());
                continue;
            }
            QSqlQuery &query = there ? change : insert;
            for (const QString &column : std::as_const(columns)) {
                if (!there || column != part.columns.first())
                    query.addBindValue(row.value(column));
            }
            if (there)
                query.addBindValue(existing.value(keyOf(key)));
            if (!query.exec()) {
                problems << u"%1, line %2: %3"_s.arg(name)
                                .arg(import.lines.at(r))
                                .arg(query.lastError().text());
                return false;
            }
            if (part.table == import.kind->parts.first().table)
                (there ? changed : added) += 1;
            console.progress(part.table, r + 1, import.rows.size());
        }
        if (!problems.isEmpty())
            return false;
    }
    console.line(
        u"%1 (%2): %3 added, %4 changed"_s.arg(import.kind->name, name).arg(added).arg(changed));
    return true;
}

// Every member's class, in the classcode table or in this import.
void checkClasses(ClubDb &db, const QList<Import> &imports, QStringList &problems)
{
    QSet<QString> classes;
    QSqlQuery known(db.db());
    if (known.exec(u"select classcode from "_s + db.table(u"master.mdb"_s, u"classcode"_s))) {
        while (known.next())
            classes.insert(keyOf(known.value(0).toString()));
    }
    for (const Import &import : std::as_const(imports)) {
        if (import.kind->name != u"classes"_s)
            continue;
        for (const auto &row : import.rows)
            classes.insert(keyOf(row.value(u"classcode"_s).toString()));
    }
    for (const Import &import : std::as_const(imports)) {
        if (!import.header.contains(u"classcode"_s) || import.kind->name != u"members"_s)
            continue;
        for (qsizetype r = 0; r < import.rows.size(); ++r) {
            const QString code = import.rows.at(r).value(u"classcode"_s).toString();
            if (!code.trimmed().isEmpty() && !classes.contains(keyOf(code)))
                problems << u"%1, line %2: the class %3 is neither in the classcode table nor in "
                            u"this import"_s.arg(QFileInfo(import.path).fileName())
                                .arg(import.lines.at(r))
                                .arg(code);
        }
    }
}

// Tells every problem, and how many lines of the files they are on.
Outcome refuse(const QStringList &problems, Console &console)
{
    static const QRegularExpression where(u"^(.+, line \\d+):"_s);
    QSet<QString> lines;
    for (const QString &problem : problems) {
        console.line(problem);
        if (const QRegularExpressionMatch match = where.match(problem); match.hasMatch())
            lines.insert(match.captured(1));
    }
    if (lines.isEmpty())
        return failed(problems.first() + u"; nothing was written"_s);
    return failed(counted(lines.size(), u"bad line"_s) + u"; nothing was written"_s);
}

} // namespace

Outcome commandImportCsv(const QString &folder, const QStringList &kindsAndFiles, bool update,
                         Console &console)
{
    if (kindsAndFiles.size() % 2 != 0)
        return failed(u"each KIND is followed by its FILE"_s);
    QList<Import> imports;
    QStringList problems;
    Seen seen;
    for (qsizetype i = 0; i < kindsAndFiles.size(); i += 2) {
        const Kind *kind = kindNamed(kindsAndFiles.at(i));
        if (!kind)
            return failed(kindsAndFiles.at(i)
                          + u" is not a kind of list: members, classes, accounts or employees"_s);
        Import import { kind, kindsAndFiles.at(i + 1), {}, {}, {} };
        readImport(import, seen, problems);
        imports << import;
    }
    // Classes first: a member's class may come in the same import.
    std::stable_sort(imports.begin(), imports.end(), [](const Import &a, const Import &b) {
        return a.kind->name == u"classes"_s && b.kind->name != u"classes"_s;
    });

    const Result<Folder> used
        = useFolder(folder, FolderLock::Use::Shared, u"import-csv"_s, console);
    if (!used)
        return failed(used.failure().fullText());
    const DataSource &source = used->source;
    QStringList files;
    for (const Import &import : std::as_const(imports)) {
        for (const Part &part : import.kind->parts) {
            if (!files.contains(part.file))
                files << part.file;
        }
    }
    ClubDb db;
    Result<void> open = source.onServer() ? db.openServer(source)
                                          : db.openFiles(source.folder, files, Access::ReadWrite);
    if (open)
        open = db.exec(u"begin"_s);
    if (!open)
        return failed(open.failure().fullText());

    checkClasses(db, imports, problems);
    for (const Import &import : std::as_const(imports)) {
        if (problems.isEmpty())
            writeImport(db, import, update, problems, console);
    }
    if (!problems.isEmpty()) {
        (void)db.exec(u"rollback"_s);
        return refuse(problems, console);
    }
    if (const Result<void> committed = db.exec(u"commit"_s); !committed)
        return failed(committed.failure().fullText());
    qint64 rows = 0;
    for (const Import &import : std::as_const(imports))
        rows += import.rows.size();
    return { true,
             u"%1 from %2 into %3"_s.arg(counted(rows, u"row"_s),
                                         counted(imports.size(), u"file"_s), folder) };
}

} // namespace tallic::club

#include "demodata.h"

#include "store/datasource.h"
#include "store/schema.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <array>
#include <atomic>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

using Rows = QList<QVariantList>;

const QVariant Null;

// One database of the folder, filled inside one transaction.
class DemoFile
{
public:
    DemoFile(const QString &folder, const QString &file)
        : file_(file)
    {
        static std::atomic<quint64> serial { 0 };
        connection_ = u"demo-"_s + QString::number(++serial);
        const DataSource source = dataSourceOf(folder);
        QSqlError error;
        db_ = openSuiteDatabase(connection_, source, file, Access::ReadWrite, error);
        ok_ = db_.isOpen();
        if (ok_) {
            // Demo data is made again at will; waiting for the disk would only slow every
            // test that starts from it.
            if (!source.onServer())
                QSqlQuery(u"PRAGMA synchronous = OFF"_s, db_);
            ok_ = db_.transaction();
        }
        if (!ok_)
            qWarning("Cannot fill %ls with demo data", qUtf16Printable(file));
    }
    ~DemoFile()
    {
        if (db_.isOpen() && !(ok_ ? db_.commit() : db_.rollback()))
            qWarning("Cannot store the demo data: %ls", qUtf16Printable(db_.lastError().text()));
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection_);
    }
    DemoFile(const DemoFile &) = delete;
    DemoFile &operator=(const DemoFile &) = delete;

    // Adds the rows only to an empty table, so existing data is never doubled or mixed;
    // the one row of a configuration table that a new club has is replaced.
    void fill(const QString &table, const QStringList &columns, const Rows &rows)
    {
        if (!ok_)
            return;
        QSqlQuery query(db_);
        if (replacing() && !query.exec(u"delete from "_s + table)) {
            fail(query);
            return;
        }
        if (!query.exec(u"select count(*) from "_s + table) || !query.next()) {
            fail(query);
            return;
        }
        if (query.value(0).toLongLong() > 0)
            return;
        QStringList marks;
        marks.fill(u"?"_s, columns.size());
        if (!query.prepare(u"insert into "_s + table + u" ("_s + columns.join(u", "_s)
                           + u") values ("_s + marks.join(u", "_s) + u')')) {
            fail(query);
            return;
        }
        for (const QVariantList &row : rows) {
            for (const QVariant &value : row)
                query.addBindValue(value);
            if (!query.exec()) {
                fail(query);
                return;
            }
        }
    }

    // The rows of a table, -1 when it cannot be read.
    qint64 rowsIn(const QString &table)
    {
        QSqlQuery query(db_);
        if (!ok_ || !query.exec(u"select count(*) from "_s + table) || !query.next())
            return -1;
        return query.value(0).toLongLong();
    }

    static bool &replacingConfiguration()
    {
        static bool replace = false;
        return replace;
    }

private:
    bool replacing() const { return replacingConfiguration() && file_ == u"config.mdb"_s; }

    void fail(const QSqlQuery &query)
    {
        qWarning("Demo data: %ls", qUtf16Printable(query.lastError().text()));
        ok_ = false;
    }

    QString file_;
    QString connection_;
    QSqlDatabase db_;
    bool ok_ = false;
};

void fillConfig(const QString &folder, const QDate &today)
{
    DemoFile file(folder, u"config.mdb"_s);
    // Level 5 may run the module (the menu's usual KQV05 user), 50 sees the month-end editor.
    QStringList columns { u"arlevel1"_s,     u"arlevel2"_s,      u"arlevel3"_s,   u"arlevel4"_s,
                          u"aracct"_s,       u"artaxsrvchg"_s,   u"arvalidity"_s, u"armonth"_s,
                          u"arsctaxshare"_s, u"arconsolidate"_s, u"artaxbasis"_s, u"arskipcheck"_s,
                          u"aryear"_s };
    QVariantList row { 5,           10,     20,     50,
                       1200.0,      u"Y"_s, 3,      today.month(),
                       1.0,         u"N"_s, u"D"_s, u"0000000000"_s,
                       today.year() };
    // Unused keys hold the empty text, not Null: the row read back and written again at
    // start-up would turn a Null into the text 0.
    const QStringList keys { u"YYYYMMDD"_s, u"Guest of member"_s, u"Banquet"_s, u"Tournament"_s,
                             u"Wedding reception"_s };
    for (int key = 1; key <= 12; ++key) {
        columns << u"arfkey"_s + QString::number(key);
        row << (key <= keys.size() ? keys.at(key - 1) : u""_s);
    }
    file.fill(u"ar"_s, columns, { row });
    file.fill(u"pos"_s, { u"empvalidate"_s }, { { 1 } });
    file.fill(u"gl"_s, { u"glprofitacct"_s }, { { 3900.0 } });
    file.fill(u"company"_s, { u"coname"_s, u"salestax"_s }, { { u"Demo Country Club"_s, 0.06 } });
}

void fillLedgers(const QString &folder)
{
    {
        DemoFile file(folder, u"gl.mdb"_s);
        file.fill(u"gl0"_s,
                  { u"glacctnum"_s, u"glacctname"_s, u"glstatementdesc"_s, u"glaccttype"_s,
                    u"gllevel"_s },
                  { { 1010.0, u"Cash - Operating"_s, u"Cash"_s, u"A"_s, 1 },
                    { 1200.0, u"Accounts Receivable"_s, Null, u"A"_s, 1 },
                    { 3900.0, u"Current Profit"_s, Null, u"E"_s, 1 },
                    { 4000.0, u"Club Revenue"_s, Null, u"R"_s, 2 },
                    { 4100.0, u"Food Sales"_s, u"Dining Room Food   "_s, u"R"_s, 1 },
                    { 4200.0, u"Beverage Sales"_s, u"   "_s, u"R"_s, 1 },
                    { 4300.0, u"Pro Shop Sales"_s, Null, u"R"_s, 1 },
                    { 4500.0, u"Membership Dues"_s, u"Dues"_s, u"R"_s, 1 } });
    }
    DemoFile file(folder, u"ar.mdb"_s);
    file.fill(u"ar0"_s,
              { u"aracctnum"_s, u"aracctname"_s, u"arshortname"_s, u"arcategory"_s, u"arlevel"_s,
                u"arsrvchg"_s, u"arsalestax"_s },
              { { 1010.0, u"Cash - Operating"_s, u"CASH"_s, u"A"_s, 1, 0.0, 0.0 },
                { 1200.0, u"Accounts Receivable"_s, u"A/R"_s, u"A"_s, 1, 0.0, 0.0 },
                { 3900.0, u"Current Profit"_s, u"PROFIT"_s, u"E"_s, 1, 0.0, 0.0 },
                { 4100.0, u"Food Sales"_s, u"FOOD"_s, u"R"_s, 1, 0.18, 0.06 },
                { 4200.0, u"Beverage Sales"_s, u"BEV"_s, u"R"_s, 1, 0.15, 0.06 },
                { 4300.0, u"Pro Shop Sales"_s, u"PRO"_s, u"R"_s, 1, 0.05, 0.06 },
                { 4500.0, u"Membership Dues"_s, u"DUES"_s, u"R"_s, 1, 0.0, 0.0 } });
}

void fillMembers(const QString &folder)
{
    static const std::array<const char16_t *, 40> lastNames {
        u"ADAMS", u"BAKER",   u"CARTER", u"DAVIS",  u"EVANS",     u"FOSTER", u"GRANT",  u"HARRIS",
        u"IRWIN", u"JOHNSON", u"KELLY",  u"LEWIS",  u"MILLER",    u"NELSON", u"OWENS",  u"PARKER",
        u"QUINN", u"ROBERTS", u"SMITH",  u"TAYLOR", u"UNDERWOOD", u"VAUGHN", u"WALKER", u"YOUNG",
        u"ALLEN", u"BROOKS",  u"COOPER", u"DIXON",  u"ELLIS",     u"FISHER", u"GRAHAM", u"HUGHES",
        u"JAMES", u"KING",    u"LAWSON", u"MORGAN", u"NORRIS",    u"PRICE",  u"REED",   u"STEWART"
    };
    static const std::array<const char16_t *, 10> firstNames { u"JOHN",    u"ROBERT",  u"WILLIAM",
                                                               u"JAMES",   u"RICHARD", u"THOMAS",
                                                               u"CHARLES", u"GEORGE",  u"EDWARD",
                                                               u"PAUL" };
    static const std::array<const char16_t *, 10> spouseNames { u"MARY",  u"LINDA",  u"SUSAN",
                                                                u"KAREN", u"NANCY",  u"BETTY",
                                                                u"HELEN", u"SANDRA", u"DONNA",
                                                                u"CAROL" };

    Rows accounts;
    Rows balances;
    for (int i = 0; i < 40; ++i) {
        const double number = 1001 + i;
        const QString lastName = QString::fromUtf16(lastNames.at(i));
        const QString classCode = number <= 1030 ? u"REG"_s : u"SOC"_s;
        const QVariant taxExempt = number == 1035 ? QVariant(1) : QVariant(0);
        const QVariant suspended = number == 1013 ? QVariant(1) : QVariant(0);
        const QVariant terminated = number == 1027 ? QVariant(1) : QVariant(0);
        accounts << QVariantList { number,    lastName,  QString::fromUtf16(firstNames.at(i % 10)),
                                   taxExempt, suspended, terminated,
                                   classCode };
        // A few zero balances and one credit balance among ordinary ones.
        const double balance = i % 7 == 3 ? 0.0 : number == 1002 ? -35.0 : 12.5 * (i + 1) + 0.25;
        balances << QVariantList { number, balance };
        if (i < 10) {
            // The spouse's sub-account of the first ten members.
            accounts << QVariantList {
                number + 0.01, lastName, QString::fromUtf16(spouseNames.at(i)), 0, 0, 0, classCode
            };
            balances << QVariantList { number + 0.01, 10.0 * (i + 1) };
        }
    }
    {
        DemoFile file(folder, u"master.mdb"_s);
        file.fill(u"acctinfo"_s,
                  { u"acctnumber"_s, u"lname"_s, u"fname"_s, u"taxexempt"_s, u"suspended"_s,
                    u"terminated"_s, u"classcode"_s },
                  accounts);
        file.fill(u"classcode"_s, { u"classcode"_s, u"Description"_s },
                  { { u"REG"_s, u"Regular Member"_s }, { u"SOC"_s, u"Social Member"_s } });
    }
    DemoFile file(folder, u"master2.mdb"_s);
    file.fill(u"ar"_s, { u"acctnumber"_s, u"balfwd"_s }, balances);
}

void fillPeople(const QString &folder)
{
    {
        DemoFile file(folder, u"emp.mdb"_s);
        file.fill(u"empinfo"_s,
                  { u"empid"_s, u"empfname"_s, u"emplname"_s, u"operator"_s, u"accessnum"_s },
                  { { 301, u"ROBERT"_s, u"GREEN"_s, 11, u"4301"_s },
                    { 302, u"CAROL"_s, u"WHITE"_s, 14, u"4302"_s },
                    { 303, u"DAVID"_s, u"BROWN"_s, 15, u"4303"_s },
                    { 304, u"EMILY"_s, u"CLARK"_s, 16, u"4304"_s },
                    { 305, u"ANN"_s, u"LEE"_s, 12, Null },
                    { 306, u"FRANK"_s, u"HALL"_s, 17, u"4306"_s },
                    { 307, u"GRACE"_s, u"YOUNG"_s, 18, u"4307"_s },
                    { 308, u"HENRY"_s, u"WRIGHT"_s, Null, u"4308"_s } });
    }
    DemoFile file(folder, u"user.mdb"_s);
    file.fill(
        u"staff"_s, { u"username"_s, u"location"_s, u"work"_s, u"sysuser"_s },
        { { u"JONES"_s, u"A/R Master"_s, u""_s, 1 }, { u"SMITH"_s, u"A/R Master"_s, u""_s, 0 } });
}

void fillAll(const QString &folder, const QDate &today)
{
    fillConfig(folder, today);
    fillLedgers(folder);
    fillMembers(folder);
    fillPeople(folder);
}

} // namespace

void createDemoData(const QString &folder, const QDate &today)
{
    createSuiteDatabases(folder);
    fillAll(folder, today);
}

Result<void> addDemoRows(const QString &folder, const QDate &today)
{
    for (const SuiteDatabase &definition : suiteDatabases()) {
        if (definition.file == u"config.mdb"_s)
            continue;
        DemoFile file(folder, definition.file);
        for (const SuiteTable &table : definition.tables) {
            const qint64 rows = file.rowsIn(table.name);
            if (rows != 0)
                return Failure(0,
                               rows < 0 ? definition.file + u" cannot be read"_s
                                        : definition.file
                                       + u" holds rows: the demo goes only into "
                                         u"a new club's empty databases"_s);
        }
    }
    DemoFile::replacingConfiguration() = true;
    fillAll(folder, today);
    DemoFile::replacingConfiguration() = false;
    return {};
}

} // namespace tallic

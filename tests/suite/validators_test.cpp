#include "suite/sharedstate.h"
#include "suite/validators.h"
#include "testkit/harness.h"

#include <QDir>
#include <QFile>

#include <functional>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::Dialog;
using tallic::testkit::DialogIcon;
using tallic::testkit::Harness;

namespace {

class ValidatorsTest : public ::testing::Test
{
protected:
    // What leaving a field does: the trimmed text goes to the check in MsgText.
    QString leave(void (*check)(), const QString &typed)
    {
        state().MsgText = typed;
        check();
        return state().MsgText;
    }

    void expectOneBox(const QString &title, const QString &text, DialogIcon icon) const
    {
        const QList<Dialog> boxes = h.dialogs();
        ASSERT_EQ(boxes.size(), 1);
        EXPECT_EQ(boxes.at(0).title, title);
        EXPECT_EQ(boxes.at(0).text, text);
        EXPECT_EQ(boxes.at(0).icon, icon);
    }

    void addMember(const QString &values)
    {
        h.exec(u"master"_s,
               u"insert into acctinfo (acctnumber, lname, fname, taxexempt, suspended, "
               u"terminated, classcode) values "_s
                   + values);
    }

    Harness h;
};

TEST_F(ValidatorsTest, NothingToCheckLeavesEverythingAsItWas)
{
    // Without the databases, any attempt to open one would show a box.
    for (const QString &file : { u"gl.mdb"_s, u"master.mdb"_s, u"emp.mdb"_s })
        ASSERT_TRUE(QFile::remove(QDir(h.dataDir()).filePath(file)));

    struct Case
    {
        const char *name;
        void (*check)();
        QString typed;
        qint16 empValidate;
    };
    const Case cases[] = {
        { "G/L empty", ValidateGLAccount, QString(), 0 },
        { "G/L zero", ValidateGLAccount, u"0"_s, 0 },
        { "G/L letters", ValidateGLAccount, u"ABC"_s, 0 },
        { "member empty", ValidateMember, QString(), 0 },
        { "member zero", ValidateMember, u"0.00"_s, 0 },
        { "member letters", ValidateMember, u"SMITH"_s, 0 },
        { "employee zero", ValidateEmployee, u"0"_s, 1 },
        { "employee letters", ValidateEmployee, u"ANN"_s, 0 },
        { "access number beginning with a letter", ValidateEmployee, u"A4301"_s, 2 },
        { "employee validation off", ValidateEmployee, u"305"_s, 3 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SharedState &s = state();
        s.EmpValidate = c.empValidate;
        s.GLAcctText = u"Food Sales"_s;
        s.GLLevel = 1;
        s.MemberTerminated = 1;
        s.SqlText = u"earlier"_s;
        h.setClipboard(u"REG-Regular Member"_s);
        EXPECT_EQ(leave(c.check, c.typed), c.typed);
        EXPECT_EQ(s.GLAcctText, u"Food Sales"_s);
        EXPECT_EQ(s.GLLevel, 1);
        EXPECT_EQ(s.MemberTerminated, 1);
        EXPECT_EQ(s.SqlText, u"earlier"_s);
        EXPECT_EQ(h.clipboard(), u"REG-Regular Member"_s);
    }
    EXPECT_TRUE(h.dialogs().isEmpty());
}

TEST_F(ValidatorsTest, AGLAccountShowsItsStatementTextOrItsName)
{
    struct Case
    {
        QString typed, text;
        qint16 level;
    };
    const Case cases[] = {
        { u"4100"_s, u"Dining Room Food"_s, 1 }, // trailing blanks dropped
        { u"4200"_s, u"Beverage Sales"_s, 1 }, // statement text only blanks
        { u"4300"_s, u"Pro Shop Sales"_s, 1 }, // statement text Null
        { u"4000"_s, u"Club Revenue"_s, 2 }, // the caller refuses the level
        { u"4500.00"_s, u"Dues"_s, 1 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(c.typed));
        state().GLLevel = 9;
        EXPECT_EQ(leave(ValidateGLAccount, c.typed), c.typed);
        EXPECT_EQ(state().GLAcctText, c.text);
        EXPECT_EQ(state().GLLevel, c.level);
    }
    EXPECT_TRUE(h.dialogs().isEmpty());
}

TEST_F(ValidatorsTest, AnUnknownGLAccountIsRefusedAndKeepsTheLastAccount)
{
    for (const QString &typed : { u"4010"_s, u"4100.5"_s }) {
        h.clearDialogs();
        state().GLAcctText = u"Dining Room Food"_s;
        state().GLLevel = 1;
        EXPECT_EQ(leave(ValidateGLAccount, typed), u"REDO"_s);
        expectOneBox(u"Invalid G/L Account"_s, u"# "_s + typed + u" does not exist"_s,
                     DialogIcon::Critical);
        EXPECT_EQ(state().GLAcctText, u"Dining Room Food"_s);
        EXPECT_EQ(state().GLLevel, 1);
    }
}

TEST_F(ValidatorsTest, AMemberIsShownWithItsMarkersAndItsClassOnTheClipboard)
{
    h.exec(u"master"_s,
           u"insert into classcode (classcode, Description) values ('VIP''S', 'Very Important')"_s);
    addMember(u"(1234, 'SMITH', 'JOHN ', 0, 1, 1, 'REG'),"
              u"(1235, '  O''BRIEN ', 'PAT', 1, 0, 0, 'VIP''S'),"
              u"(1236, null, 'ANN', null, null, null, 'soc'),"
              u"(1237, 'LEE', null, 0, 0, 0, 'REG'),"
              u"(1238, 'GRAY', 'KIM', -1, 2, -1, 'REG'),"
              u"(1239, 'HOLT', 'SAM', 1, 1, 1, 'SOC')"_s);
    struct Case
    {
        QString typed, text;
        qint16 terminated;
        QString classText;
    };
    const Case cases[] = {
        { u"1234"_s, u"SMITH, JOHN SUSPENDED TERMINATED"_s, 1, u"REG-Regular Member"_s },
        { u"1235"_s, u"O'BRIEN, PAT TaxExempt"_s, 0, u"VIP'S-Very Important"_s },
        // No last name: the first name follows the number as typed.
        { u"1236"_s, u"1236, ANN"_s, 0, u"SOC-Social Member"_s },
        { u"1237"_s, u"LEE"_s, 0, u"REG-Regular Member"_s },
        // Only exactly 1 marks a flag.
        { u"1238"_s, u"GRAY, KIM"_s, 0, u"REG-Regular Member"_s },
        { u"1239"_s, u"HOLT, SAM TaxExempt SUSPENDED TERMINATED"_s, 1, u"SOC-Social Member"_s },
        { u"1027"_s, u"COOPER, CHARLES TERMINATED"_s, 1, u"REG-Regular Member"_s },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(c.typed));
        state().MemberTerminated = c.terminated ? 0 : 1;
        h.setClipboard(u"Balance: 12.50"_s);
        EXPECT_EQ(leave(ValidateMember, c.typed), c.text);
        EXPECT_EQ(state().MemberTerminated, c.terminated);
        EXPECT_EQ(h.clipboard(), c.classText);
    }
    EXPECT_TRUE(h.dialogs().isEmpty());
}

TEST_F(ValidatorsTest, AMemberNumberFindsThatAccountOnly)
{
    addMember(u"(1234, 'SMITH', 'JOHN', 0, 0, 0, 'REG'), (1234.01, 'SMITH', 'JANE', 0, 0, 0, "
              u"'REG')"_s);
    EXPECT_EQ(leave(ValidateMember, u"1234"_s), u"SMITH, JOHN"_s);
    EXPECT_EQ(state().SqlText,
              u"select * from acctinfo where acctnumber between 1233.999 and 1234.001"_s);
    EXPECT_EQ(leave(ValidateMember, u"1234.01"_s), u"SMITH, JANE"_s);
    EXPECT_EQ(state().SqlText,
              u"select * from acctinfo where acctnumber between 1234.009 and 1234.011"_s);
    EXPECT_TRUE(h.dialogs().isEmpty());

    h.exec(u"master"_s, u"delete from acctinfo where acctnumber = 1234"_s);
    state().MemberTerminated = 1;
    h.setClipboard(u"REG-Regular Member"_s);
    EXPECT_EQ(leave(ValidateMember, u"1234"_s), u"REDO"_s);
    expectOneBox(u"Member # Check"_s, u"Invalid member number!"_s, DialogIcon::Critical);
    EXPECT_EQ(state().MemberTerminated, 0);
    EXPECT_EQ(h.clipboard(), QString());
}

TEST_F(ValidatorsTest, AClassCodeThatNamesNoClassIsReportedAndTheMemberRefused)
{
    // A Null or blank class code names no class any more than an unknown one does.
    addMember(u"(1301, 'NASH', 'AMY', 0, 0, 0, null), (1302, 'NASH', 'BEN', 0, 0, 0, '  '),"
              u"(1303, 'NASH', 'CY', 0, 0, 1, 'GONE')"_s);
    for (const QString &member : { u"1301"_s, u"1302"_s, u"1303"_s }) {
        h.clearDialogs();
        EXPECT_EQ(leave(ValidateMember, member), u"REDO"_s) << qPrintable(member);
        ASSERT_EQ(h.dialogs().size(), 1) << qPrintable(member);
        EXPECT_EQ(h.dialogs().at(0).title, u"Varnest Codes"_s);
        EXPECT_TRUE(h.dialogs().at(0).text.startsWith(u"Code 3021 - No current record.\n\n"_s));
        EXPECT_EQ(state().MemberTerminated, 0);
        EXPECT_EQ(state().ErrNumber, 0);
    }
}

// Each case damages a folder of its own.
TEST(ValidatorsFailureTest, ADatabaseThatCannotBeReadIsReportedAndRefused)
{
    struct Case
    {
        const char *name;
        std::function<void(Harness &)> damage;
        void (*check)();
        QString typed;
        int code;
    };
    using Damage = std::function<void(Harness &)>;
    const auto removeFile = [](const QString &file) -> Damage {
        return [file](Harness &h) { QFile::remove(QDir(h.dataDir()).filePath(file)); };
    };
    const auto dropTable = [](const QString &db, const QString &table) -> Damage {
        return [db, table](Harness &h) { h.exec(db, u"drop table "_s + table); };
    };
    const Case cases[] = {
        { "no gl.mdb", removeFile(u"gl.mdb"_s), ValidateGLAccount, u"4100"_s, 3024 },
        { "no master.mdb", removeFile(u"master.mdb"_s), ValidateMember, u"1001"_s, 3024 },
        { "no emp.mdb", removeFile(u"emp.mdb"_s), ValidateEmployee, u"305"_s, 3024 },
        { "no gl0", dropTable(u"gl"_s, u"gl0"_s), ValidateGLAccount, u"4100"_s, 3078 },
        { "no acctinfo", dropTable(u"master"_s, u"acctinfo"_s), ValidateMember, u"1001"_s, 3078 },
        { "no classcode", dropTable(u"master"_s, u"classcode"_s), ValidateMember, u"1001"_s, 3078 },
        { "no empinfo", dropTable(u"emp"_s, u"empinfo"_s), ValidateEmployee, u"305"_s, 3078 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Harness fresh;
        c.damage(fresh);
        state().GLAcctText = u"Food Sales"_s;
        fresh.setClipboard(u"stale"_s);
        state().MsgText = c.typed;
        c.check();
        EXPECT_EQ(state().MsgText, u"REDO"_s);
        ASSERT_EQ(fresh.dialogs().size(), 1);
        const Dialog box = fresh.dialogs().at(0);
        EXPECT_EQ(box.title, u"Varnest Codes"_s);
        EXPECT_EQ(box.icon, DialogIcon::Information);
        EXPECT_TRUE(box.text.startsWith(u"Code "_s + QString::number(c.code) + u" - "_s))
            << qPrintable(box.text);
        // Reported once, here; the caller only sends the operator back.
        EXPECT_EQ(state().ErrNumber, 0);
        EXPECT_EQ(state().GLAcctText, u"Food Sales"_s);
        EXPECT_EQ(state().MemberTerminated, 0);
        if (c.check == ValidateMember) {
            EXPECT_EQ(fresh.clipboard(), QString());
        }
    }
}

TEST_F(ValidatorsTest, AnEmployeeIsShownAsTheLookupAsks)
{
    h.exec(u"emp"_s,
           u"insert into empinfo (empid, emplname, empfname, operator, accessnum) values "
           u"(309, 'KANE', null, 19, null), (310, ' O''BRIEN ', 'PAT ', 20, '5''1'), "
           u"(311, 'DEE', 'ROY', 21, ' 77')"_s);
    struct Case
    {
        qint16 empValidate;
        QString typed, text;
    };
    const Case cases[] = {
        { 0, u"305"_s, u"ANN LEE"_s },
        { 0, u"310"_s, u"PAT O'BRIEN"_s },
        { 0, u"309"_s, u"309 KANE"_s }, // no first name: the last follows the number
        { 7, u"305"_s, u"ANN LEE"_s }, // any other setting looks up the employee id
        { 1, u"12"_s, u"#:305  ANN LEE  Op:12  Ac:"_s },
        { 1, u"11"_s, u"#:301  ROBERT GREEN  Op:11  Ac:4301"_s },
        { 2, u"4301"_s, u"#:301  ROBERT GREEN  Op:11  Ac:4301"_s },
        { 2, u"4308"_s, u"#:308  HENRY WRIGHT  Op:  Ac:4308"_s },
        { 2, u" 77"_s, u"#:311  ROY DEE  Op:21  Ac: 77"_s }, // as typed, blank included
        { 2, u"5'1"_s, u"#:310  PAT O'BRIEN  Op:20  Ac:5'1"_s },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(QString::number(c.empValidate) + u' ' + c.typed));
        state().EmpValidate = c.empValidate;
        EXPECT_EQ(leave(ValidateEmployee, c.typed), c.text);
    }
    EXPECT_TRUE(h.dialogs().isEmpty());
}

TEST_F(ValidatorsTest, AnUnknownEmployeeIsRefused)
{
    h.exec(u"emp"_s,
           u"insert into empinfo (empid, emplname, empfname, operator, accessnum) values "
           u"(311, 'DEE', 'ROY', 21, ' 77')"_s);
    struct Case
    {
        qint16 empValidate;
        QString typed;
    };
    const Case cases[] = {
        // An operator number is not an employee id, and an access number matches only as
        // stored (" 77", "4301").
        { 0, u"999"_s }, { 0, u"12"_s },    { 1, u"305"_s },
        { 2, u"77"_s },  { 2, u"4301 "_s }, { 2, u"12"_s },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(QString::number(c.empValidate) + u' ' + c.typed));
        h.clearDialogs();
        state().EmpValidate = c.empValidate;
        EXPECT_EQ(leave(ValidateEmployee, c.typed), u"REDO"_s);
        expectOneBox(u"Employee # Check"_s, u"Invalid employee number!"_s, DialogIcon::Critical);
    }
}

} // namespace

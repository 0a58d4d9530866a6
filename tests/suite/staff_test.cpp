#include "suite/sharedstate.h"
#include "suite/staff.h"
#include "testkit/harness.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace tallic;
using tallic::testkit::DialogIcon;
using tallic::testkit::Harness;

namespace {

const QString Staff = u"select username, location, work, sysuser from staff order by username"_s;

class StaffTest : public ::testing::Test
{
protected:
    void setWork(const QString &user, const QString &work)
    {
        h.exec(u"user"_s,
               u"update staff set work = '"_s + work + u"' where username = '"_s + user + u"'"_s);
    }

    // As a new batch or the date field does it.
    QString checkDate(const QString &user, const QString &date)
    {
        state().UserName = user;
        state().WorkDateText = date;
        state().MsgText = u"before"_s;
        CheckDateInUse();
        return state().MsgText;
    }

    Harness h;
};

TEST_F(StaffTest, TheLocationIsRecordedForTheUsersRowInAnyCase)
{
    h.exec(u"user"_s,
           u"insert into staff (username, location, work, sysuser) values "
           u"('jsmith', 'GL', '20240301', 4), ('O''Brien', 'POS', '20240302', null)"_s);
    setWork(u"JONES"_s, u"20240301"_s);
    struct Case
    {
        QString user, location, stored, sysUser;
    };
    const Case cases[] = {
        { u"  jones "_s, u"A/R Chit"_s, u"JONES"_s, u"1"_s },
        { u" jsmith"_s, u"Prastle"_s, u"jsmith"_s, u"4"_s },
        { u"o'brien"_s, u"Chit Entry"_s, u"O'Brien"_s, u"0"_s }, // Null sysuser
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(c.user));
        state().UserName = c.user;
        state().LocationText = c.location;
        state().SysUser = u"9"_s;
        SetStaffLocation();
        EXPECT_EQ(state().UserName, c.user.trimmed().toUpper());
        EXPECT_EQ(state().SysUser, c.sysUser);
        const QList<QVariantList> row
            = h.rows(u"user"_s,
                     u"select location, work from staff where username = '"_s
                         + QString(c.stored).replace(u"'"_s, u"''"_s) + u"'"_s);
        EXPECT_EQ(row, (QList<QVariantList> { { c.location, u""_s } }));
    }
    // SMITH's row is nobody else's.
    EXPECT_EQ(h.rows(u"user"_s, u"select location, work from staff where username = 'SMITH'"_s),
              (QList<QVariantList> { { u"A/R Master"_s, u""_s } }));
    EXPECT_TRUE(h.dialogs().isEmpty());
}

TEST_F(StaffTest, AUserWithoutARowOrWithoutUserMdbGoesOnQuietly)
{
    const QList<QVariantList> before = h.rows(u"user"_s, Staff);
    state().UserName = u" nobody "_s;
    state().LocationText = u"A/R Chit"_s;
    state().SysUser = u"3"_s;
    SetStaffLocation();
    EXPECT_EQ(state().UserName, u"NOBODY"_s);
    EXPECT_EQ(state().SysUser, u"3"_s);
    EXPECT_EQ(h.rows(u"user"_s, Staff), before);

    ASSERT_TRUE(QFile::remove(QDir(h.dataDir()).filePath(u"user.mdb"_s)));
    state().UserName = u"jones"_s;
    SetStaffLocation();
    EXPECT_EQ(state().UserName, u"JONES"_s);
    EXPECT_EQ(checkDate(u"JONES"_s, u"20240301"_s), u"OK"_s);
    EXPECT_TRUE(h.dialogs().isEmpty());
    EXPECT_FALSE(QFile::exists(QDir(h.dataDir()).filePath(u"user.mdb"_s)));
}

TEST_F(StaffTest, AnotherUserOnTheSameDateIsNamed)
{
    h.exec(u"user"_s,
           u"insert into staff (username, location, work) values ('O''BRIEN', 'GL', '20240305')"_s);
    setWork(u"SMITH"_s, u"20240301"_s);
    struct Case
    {
        QString user, date, other;
    };
    const Case cases[] = {
        { u"JONES"_s, u"20240301"_s, u"SMITH"_s },
        { u"JONES"_s, u"20240305"_s, u"O'BRIEN"_s },
        { u"O'BRIEN"_s, u"20240301"_s, u"SMITH"_s },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(c.user + u' ' + c.date));
        h.clearDialogs();
        const QString warning
            = u"FYI.....\n\n"_s + c.date + u" is currently in use by user: "_s + c.other;
        EXPECT_EQ(checkDate(c.user, c.date), warning);
        ASSERT_EQ(h.dialogs().size(), 1);
        EXPECT_EQ(h.dialogs().at(0).title, u"Protected/Shared Issue"_s);
        EXPECT_EQ(h.dialogs().at(0).text, warning);
        EXPECT_EQ(h.dialogs().at(0).icon, DialogIcon::Information);
    }
}

TEST_F(StaffTest, AFreeDateAndTheUsersOwnRowAreOK)
{
    h.exec(u"user"_s,
           u"insert into staff (username, location, work) values ('O''Brien', 'GL', '20240305'),"
           u"('Lee', 'GL', '2024030')"_s);
    setWork(u"JONES"_s, u"20240301"_s);
    struct Case
    {
        QString user, date;
    };
    const Case cases[] = {
        { u"JONES"_s, u"20240301"_s }, // the user's own row
        { u"jones"_s, u"20240301"_s }, // names compare without case
        { u"O'BRIEN"_s, u"20240305"_s }, // stored as O'Brien
        { u"JONES"_s, u"20240302"_s },
        // Only the whole date matches.
        { u"JONES"_s, u"202403"_s },
        { u"LEE"_s, u"2024030"_s },
    };
    for (const Case &c : cases)
        EXPECT_EQ(checkDate(c.user, c.date), u"OK"_s) << qPrintable(c.user + u' ' + c.date);

    // No date, no check: SMITH's empty work item would match an empty date.
    EXPECT_EQ(checkDate(u"JONES"_s, QString()), u"before"_s);
    EXPECT_TRUE(h.dialogs().isEmpty());
}

} // namespace

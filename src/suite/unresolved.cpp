#include "unresolved.h"

#include "messages.h"
#include "platform/platform.h"
#include "platform/runtime.h"
#include "store/datasource.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

using Kind = PendingWrite::Kind;

// A chit is stored; a correction or a deletion is made.
bool isChange(const PendingWrite &write)
{
    return write.kind == Kind::Correction || write.kind == Kind::Deletion;
}

QString doneWord(const PendingWrite &write)
{
    return isChange(write) ? u"made"_s : u"stored"_s;
}

// "at 14:02", and the day when it was not today, from the key's "2024-03-12 14:02:05".
QString whenText(const QString &at)
{
    const QDate date = QDate::fromString(at.left(10), Qt::ISODate);
    QString text = u"at "_s + at.mid(11, 5);
    if (date.isValid() && date != platform().today())
        text += u" on "_s + date.toString(u"MM-dd-yyyy"_s);
    return text;
}

// What the operator does about a write that was not stored.
QString againText(const PendingWrite &write)
{
    switch (write.kind) {
    case Kind::Chit:
        return u"key it again"_s;
    case Kind::Generated:
        return u"generate it again for that member"_s;
    case Kind::Correction:
        return u"make it again"_s;
    case Kind::Deletion:
        return u"delete it again"_s;
    }
    return QString();
}

QString capitalized(const QString &text)
{
    return text.isEmpty() ? text : text.left(1).toUpper() + text.mid(1);
}

} // namespace

QString writeName(const PendingWrite &write)
{
    const QString chit = u"chit "_s + write.chit;
    switch (write.kind) {
    case Kind::Chit:
        return chit;
    case Kind::Generated:
        return chit + u" for member "_s + write.member;
    case Kind::Correction:
        return u"the correction of "_s + chit;
    case Kind::Deletion:
        return u"the deletion of "_s + chit;
    }
    return chit;
}

QString resolutionText(const Resolution &r, bool counted)
{
    const PendingWrite &w = r.write;
    QString batch;
    if (w.kind == Kind::Chit)
        batch = counted ? u"; it is counted"_s : u", in batch "_s + w.origin;
    switch (r.result.outcome) {
    case WriteOutcome::Stored:
        return capitalized(writeName(w)) + u" was "_s + doneWord(w) + u' '
            + whenText(r.result.storedAt) + u" after all"_s + batch;
    case WriteOutcome::NotStored:
        return capitalized(writeName(w)) + u" was not "_s + doneWord(w) + u"; "_s + againText(w);
    case WriteOutcome::Unknown:
        break;
    }
    return u"The database server still did not answer whether "_s + writeName(w) + u" was "_s
        + doneWord(w) + u"; it will be checked again"_s;
}

QList<Resolution> resolvePendingWrites(const std::optional<PendingWrite> &also)
{
    QList<PendingWrite> writes = pendingWrites();
    if (also && std::none_of(writes.cbegin(), writes.cend(), [&also](const PendingWrite &w) {
            return w.key == also->key;
        }))
        writes.prepend(*also);
    if (writes.isEmpty())
        return {};
    // Every look-up within the time one statement is given, in all.
    const ServerDeadline deadline(answerTimeout(lockWaitLimit()));
    QList<Resolution> resolutions;
    for (const PendingWrite &write : std::as_const(writes)) {
        const Resolution resolution { write, lookUpWrite(write.key, write.session) };
        resolutions << resolution;
        if (resolution.result.outcome == WriteOutcome::Unknown)
            continue;
        (void)forgetPending(write.key);
        (void)LogActivity(resolutionText(resolution) + u" (key "_s + write.key + u')');
    }
    return resolutions;
}

QString resolutionsTitle()
{
    return u"Chits checked"_s;
}

void settlePendingWrites()
{
    QStringList lines;
    for (const Resolution &resolution : resolvePendingWrites())
        lines << resolutionText(resolution);
    if (!lines.isEmpty())
        MsgBox(lines.join(u'\n'), BoxButtons::Ok, BoxIcon::Information, resolutionsTitle());
}

QString recordUnknown(const PendingWrite &write, const QString &when)
{
    QString text = u"The database server did not answer whether "_s + writeName(write) + u" was "_s
        + doneWord(write) + u".\n"_s + when;
    const Result<void> recorded = recordPending(write);
    if (!recorded) {
        text += u"\n\nThis could not be noted on the disk ("_s + recorded.failure().description
            + u"). Have "_s + writeName(write)
            + u" checked in the workspace editor before it is keyed again."_s;
    }
    (void)LogActivity(capitalized(writeName(write))
                      + u": the database server did not answer "
                        u"whether it was "_s
                      + doneWord(write) + u" (key "_s + write.key + u')');
    return text;
}

} // namespace tallic

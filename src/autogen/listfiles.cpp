#include "listfiles.h"

#include "basic/masks.h"
#include "basic/numbers.h"
#include "keys/codepages.h"
#include "platform/platform.h"

#include <QFile>
#include <QSaveFile>

using namespace Qt::Literals::StringLiterals;

namespace tallic {

namespace {

// The language's number for a file that cannot be read, written or removed.
constexpr qint32 FileAccessError = 75;

Failure fileFailure(const QString &fileName, const QString &reason)
{
    return { FileAccessError, u"Path/File access error: "_s + fileName + u" ("_s + reason + u')' };
}

// The file of that name in the working folder, whatever its letter case on disk; the
// bare name when there is none yet.
QString actualFile(const QString &name)
{
    const QString found = findInWorkingFolder(name);
    return found.isEmpty() ? name : found;
}

} // namespace

Result<QStringList> readListFile(const QString &name)
{
    const QString path = findInWorkingFolder(name);
    if (path.isEmpty())
        return QStringList();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fileFailure(name, file.errorString());
    const QByteArray bytes = file.readAll();
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes)
        text += fromWesternCode(uchar(byte));
    // Lines end in CR LF; a file edited elsewhere may end them in CR or LF alone.
    QStringList entries;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        entries.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        entries.append(text.mid(start));
    return entries;
}

QString charactersNotKept(const QString &entry)
{
    QString lacking;
    for (const QChar c : entry) {
        if (westernCode(c) < 0 && !lacking.contains(c))
            lacking += c;
    }
    return lacking;
}

QByteArray listFileBytes(const QStringList &entries)
{
    QByteArray bytes;
    for (const QString &entry : entries) {
        for (const QChar c : entry)
            bytes += char(westernCode(c));
        bytes += "\r\n";
    }
    return bytes;
}

Result<void> writeListFile(const QString &name, const QStringList &entries)
{
    // The lists refuse such entries as they are added; one that got in anyway is not
    // written as a stand-in character the reader could not tell from the real one.
    for (const QString &entry : entries) {
        if (!charactersNotKept(entry).isEmpty())
            return fileFailure(name, u"the code page lacks a character of \""_s + entry + u'"');
    }
    // Written aside and put in place whole: a failure leaves the file as it was.
    QSaveFile file(actualFile(name));
    if (!file.open(QIODevice::WriteOnly))
        return fileFailure(name, file.errorString());
    file.write(listFileBytes(entries));
    if (!file.commit())
        return fileFailure(name, file.errorString());
    return {};
}

Result<void> removeListFile(const QString &name)
{
    const QString path = findInWorkingFolder(name);
    QFile file(path);
    if (path.isEmpty() || file.remove())
        return {};
    return fileFailure(name, file.errorString());
}

QString bundleItemEntry(double account, double price, const QString &description)
{
    return formatMask(account, u"#####.##0"_s) + u" , "_s + formatMask(price, u"#####.#0"_s)
        + u" - "_s + description;
}

QString listedMember(double member)
{
    return formatMask(member, u"#####.#0"_s);
}

QSet<QString> listedMembers(const QStringList &entries)
{
    QSet<QString> members;
    for (const QString &entry : entries)
        members.insert(listedMember(Val(entry)));
    return members;
}

} // namespace tallic

#pragma once

#include "basic/result.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace tallic {

// The list files of the AutoGenerate window, bundle1.ini (the bundle) and bundle2.ini
// (the member list): one entry a line, in list order, each line ended by CR LF, in the
// suite's Western 8-bit code page (Windows-1252). No header and no count: an empty list is an empty
// file, and a missing file is an empty list. The files are shared by every workstation
// of the data folder and are not locked.
//
// A failure is the caller's to report; a file that could not be written keeps its old
// contents.

// The entries of a list file; empty for a missing file.
Result<QStringList> readListFile(const QString &name);
Result<void> writeListFile(const QString &name, const QStringList &entries);
// Removes the file if it is there.
Result<void> removeListFile(const QString &name);

// The characters of an entry that the list files' code page lacks, each once; empty when
// the entry can be kept.
QString charactersNotKept(const QString &entry);
// The bytes a list is stored as; every entry must be one that can be kept.
QByteArray listFileBytes(const QStringList &entries);

// The members of a member list, by the leading number generation reads, as the list shows
// numbers (1234 and 1234.00 are one member: "1234.00").
QSet<QString> listedMembers(const QStringList &entries);
QString listedMember(double member);

// A bundle item as the list shows it and the file holds it: "4010.000 , 25.00 - DUES".
QString bundleItemEntry(double account, double price, const QString &description);

} // namespace tallic

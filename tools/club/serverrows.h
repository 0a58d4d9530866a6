#pragma once

#include "clubrows.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace tallic::club {

// One statement that inserts the rows into a server's table (its name as a statement writes
// it), given as one array of the table's own row type: the server reads that far quicker
// than a list of rows or an array for each column. Texts keep every character but NUL,
// which a server's text cannot hold.
QString serverInsert(const QString &table, const QList<ColumnDef> &columns, const Rows &rows);

// The rows as the text a server's copy reads (a line each, a tab between the fields, \N
// for NULL), each value written as serverInsert() writes it; appended to out.
void appendCopyRows(QByteArray &out, const QList<ColumnDef> &columns, const Rows &rows);
// The same a value at a time, for rows read without Qt's values: numbers, and texts in
// UTF-8 (which must be valid) or as Qt holds them.
void appendCopyInteger(QByteArray &out, qint64 number);
void appendCopyReal(QByteArray &out, double number, ColumnKind kind);
void appendCopyText(QByteArray &out, QByteArrayView utf8);
void appendCopyText(QByteArray &out, QStringView text);
void appendCopyBlob(QByteArray &out, QByteArrayView bytes);

// One line of a copy's text, its fields read by the columns' kinds into the values Qt's
// driver gives for them, added to rows; false when the line does not hold such fields.
bool copyRow(QByteArrayView line, const QList<ColumnDef> &columns, PlainRows &rows);
// The plain rows as Qt's driver gives the same values.
Rows qtRows(const PlainRows &rows);

} // namespace tallic::club

#pragma once
// Tables written as CSV for spreadsheets: RFC 4180 quoting, CRLF line ends, UTF-8 with a
// byte-order mark (so that spreadsheets read Cyrillic as such), numbers in the C locale and times
// as ISO 8601 with the local offset. Text that a spreadsheet would take for a formula (=, +, -,
// @, or a tab or carriage return first) gets a leading apostrophe, so server-supplied strings
// are shown, never evaluated.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace csv {

// One cell of each kind, ready to be joined into a row.
QString text(const QString &s);
// `decimals` < 0: the shortest exact form ("12", "0.5", "1234567.25"); otherwise fixed.
// Not-a-number and infinities give an empty cell.
QString number(double v, int decimals = -1);
// Epoch seconds in the local zone ("2026-12-07T09:30:00+03:00"); 0 or less gives an empty cell.
QString time(double epochSeconds);

// A table: the header row is text, the rows are cells made above.
struct Table {
    QString title;          // a titled table gets a title line of its own (documents of several)
    QStringList header;
    QList<QStringList> rows;
};

// A whole file: BOM, then each table (its title line when it has one, its header, its rows),
// tables separated by an empty line.
QByteArray document(const QList<Table> &tables);

} // namespace csv

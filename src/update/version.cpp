#include "version.h"

#include <QStringList>

namespace {

struct Parsed
{
    QStringList numbers; // digit runs without leading zeros ("" means 0)
    QString tag; // pre-release tag, empty for a release
};

QString stripZeros(QStringView digits)
{
    qsizetype i = 0;
    while (i < digits.size() && digits[i] == QLatin1Char('0'))
        ++i;
    return digits.mid(i).toString();
}

// Digit strings of any length compare without overflow: longer is bigger, else lexically.
int compareDigits(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

Parsed parse(const QString &text)
{
    QStringView s = QStringView(text).trimmed();
    if (!s.isEmpty() && (s[0] == QLatin1Char('v') || s[0] == QLatin1Char('V'))
        && s.size() > 1 && isAsciiDigit(s[1]))
        s = s.mid(1);
    const qsizetype plus = s.indexOf(QLatin1Char('+'));
    if (plus >= 0)
        s = s.left(plus);

    Parsed p;
    qsizetype i = 0;
    while (i < s.size()) {
        const qsizetype start = i;
        while (i < s.size() && isAsciiDigit(s[i]))
            ++i;
        if (i == start)
            break; // not a number: the rest is the tag
        p.numbers << stripZeros(s.mid(start, i - start));
        if (i < s.size() && s[i] == QLatin1Char('.') && i + 1 < s.size() && isAsciiDigit(s[i + 1]))
            ++i;
        else
            break;
    }
    QStringView rest = s.mid(i);
    while (!rest.isEmpty() && (rest[0] == QLatin1Char('-') || rest[0] == QLatin1Char('.')
                               || rest[0] == QLatin1Char('_') || rest[0] == QLatin1Char('~')
                               || rest[0].isSpace()))
        rest = rest.mid(1);
    p.tag = rest.toString();
    return p;
}

// Splits a tag into runs of digits and runs of other letters; separators only end a run.
QStringList tagRuns(const QString &tag)
{
    QStringList runs;
    QString cur;
    bool curDigits = false;
    for (const QChar c : tag) {
        const bool digit = isAsciiDigit(c);
        if (!c.isLetterOrNumber()) {
            if (!cur.isEmpty())
                runs << cur;
            cur.clear();
            continue;
        }
        if (!cur.isEmpty() && digit != curDigits) {
            runs << cur;
            cur.clear();
        }
        cur += c;
        curDigits = digit;
    }
    if (!cur.isEmpty())
        runs << cur;
    return runs;
}

int compareTags(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty()) {
        if (a.isEmpty() && b.isEmpty())
            return 0;
        return a.isEmpty() ? 1 : -1; // the release is newer than its pre-release
    }
    const QStringList ra = tagRuns(a);
    const QStringList rb = tagRuns(b);
    for (qsizetype i = 0; i < qMin(ra.size(), rb.size()); ++i) {
        const bool da = isAsciiDigit(ra[i][0]);
        const bool db = isAsciiDigit(rb[i][0]);
        int c = 0;
        if (da && db)
            c = compareDigits(stripZeros(ra[i]), stripZeros(rb[i]));
        else if (da != db)
            c = da ? -1 : 1; // numbers sort before words, as in semantic versioning
        else
            c = ra[i].compare(rb[i], Qt::CaseInsensitive);
        if (c != 0)
            return c < 0 ? -1 : 1;
    }
    if (ra.size() != rb.size())
        return ra.size() < rb.size() ? -1 : 1;
    return 0;
}

} // namespace

int compareVersions(const QString &a, const QString &b)
{
    const Parsed pa = parse(a);
    const Parsed pb = parse(b);
    const qsizetype n = qMax(pa.numbers.size(), pb.numbers.size());
    for (qsizetype i = 0; i < n; ++i) {
        const QString x = i < pa.numbers.size() ? pa.numbers[i] : QString();
        const QString y = i < pb.numbers.size() ? pb.numbers[i] : QString();
        if (const int c = compareDigits(x, y))
            return c;
    }
    return compareTags(pa.tag, pb.tag);
}

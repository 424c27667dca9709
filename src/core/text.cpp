#include "text.h"

#include <QStringList>
#include <QTextBoundaryFinder>

namespace text {

qsizetype graphemeCount(const QString &s)
{
    if (s.isEmpty())
        return 0;
    QTextBoundaryFinder f(QTextBoundaryFinder::Grapheme, s);
    qsizetype n = 0;
    while (f.toNextBoundary() != -1)
        ++n;
    return n;
}

QString firstGraphemes(const QString &s, qsizetype n)
{
    if (s.isEmpty() || n <= 0)
        return QString();
    QTextBoundaryFinder f(QTextBoundaryFinder::Grapheme, s);
    qsizetype end = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype next = f.toNextBoundary();
        if (next == -1)
            break;
        end = next;
    }
    return s.left(end);
}

QString trimSpacesTabs(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && (s[b] == u' ' || s[b] == u'\t'))
        ++b;
    while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t'))
        --e;
    return s.mid(b, e - b);
}

QString initialsOf(const QString &name, const QString &fallback)
{
    const QString trimmed = trimSpacesTabs(name);
    const QStringList pieces = trimmed.split(u' ', Qt::SkipEmptyParts);
    QString out;
    if (pieces.size() >= 2)
        out = firstGraphemes(pieces[0], 1) + firstGraphemes(pieces[1], 1);
    else
        out = firstGraphemes(trimmed.isEmpty() ? fallback : trimmed, 2);
    return out.toUpper();
}

} // namespace text

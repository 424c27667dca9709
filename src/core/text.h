#pragma once
// Text rules shared by records and Store: grapheme-aware initials and character counts.

#include <QString>

namespace text {

// Number of user-perceived characters (grapheme clusters).
qsizetype graphemeCount(const QString &s);
// The first n grapheme clusters of s.
QString firstGraphemes(const QString &s, qsizetype n);
// Trim spaces and tabs (not line breaks) at both ends.
QString trimSpacesTabs(const QString &s);
// Avatar initials: first letters of the first two space-separated words, or the first two
// characters of the single word (of `fallback` when the name is empty), upper-cased.
QString initialsOf(const QString &name, const QString &fallback);

} // namespace text

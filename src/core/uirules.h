#pragma once
// Display decisions of the shared widgets (gauges, share bars), kept here as plain functions
// so they are tested once and the views only bind to them.

#include <QList>
#include <QString>

namespace ui {

// Gauge colour role: "danger" from 90 %, "warn" from 75 %, else "accent".
QString gaugeTone(double pct);
// Fill fraction: pct / 100 limited to 0..1 (NaN gives 0).
double gaugeFraction(double pct);
// "N%" with N the whole part of pct when pct > 0, else "—". Never overflows for huge values.
QString gaugeText(double pct);
// A share bar's fraction limited to 0..1 (NaN gives 0).
double clamp01(double frac);

// The quiet line over a screen whose newest load got no usable answer, saying how old what it
// shows is: "Нет связи с сервером · данные от 14:32"; empty while the data is current.
QString staleLine(bool lost, double dataAt);
// A presence colour role as shown: no dot stays green (or amber) on data the server has not
// confirmed lately.
QString liveTone(const QString &tone, bool lost);

// One piece of a line of text: words, or the check-mark emoji (U+2705) drawn as an icon,
// since none of the bundled faces has a glyph for it.
struct TextRun {
    QString text;   // trimmed; empty for a mark
    bool mark = false;
};
// The text cut at each U+2705 into words and marks, in order; blank pieces are left out.
QList<TextRun> markRuns(const QString &text);

} // namespace ui

#pragma once
// The one source of "now" and of the local time zone. Everything that formats or computes
// relative times reads them here, so tests can pin both.

#include <QTimeZone>
#include <functional>

namespace Clock {

// Seconds since the Unix epoch, with fractions.
double now();
QTimeZone zone();

// Test hooks: a fixed time (or a function of the real one) and a fixed zone.
void setNow(std::function<double()> fn);
void setFixed(double epochSeconds);
void setZone(const QTimeZone &tz);
void reset();

} // namespace Clock

#pragma once

#include <QDateTime>
#include <QString>

#include <cstdlib>

namespace lir2 {

// A moment as ISO 8601 local time with its offset from UTC, "2024-03-05T14:07:09+03:00" (with
// milliseconds, "…09.123+03:00"), the offset always written out, "+00:00" too: what files that
// other programs read carry, whatever the locale.
inline QString isoLocalTime(const QDateTime& moment, bool withMilliseconds = false) {
  const QDateTime local = moment.toLocalTime();
  const int offset = local.offsetFromUtc();
  const int minutes = std::abs(offset) / 60;
  return local.toString(withMilliseconds ? QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")
                                         : QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) +
         (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
         QStringLiteral("%1:%2")
             .arg(minutes / 60, 2, 10, QLatin1Char('0'))
             .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace lir2

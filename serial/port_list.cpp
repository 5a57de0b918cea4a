#include "port_list.h"

#include <algorithm>

namespace lir2 {

namespace {

// Characters 4 to 7 (at most four) read as a decimal number, as the remembered line is read.
std::optional<int> digitsAfterCom(const QString& text) {
  const QString digits = text.mid(3, 4);
  if (digits.isEmpty()) return std::nullopt;
  for (QChar c : digits)
    if (c < u'0' || c > u'9') return std::nullopt;
  return digits.toInt();
}

}  // namespace

std::optional<int> comPortNumber(const QString& name) {
  if (!name.startsWith(QLatin1String("COM")) || name.size() < 4) return std::nullopt;
  const QString digits = name.mid(3);
  if (digits.size() > 9) return std::nullopt;
  for (QChar c : digits)
    if (c < u'0' || c > u'9') return std::nullopt;
  return digits.toInt();
}

QStringList orderPortNames(const QStringList& names) {
  QList<int> numbers;
  QStringList others;
  for (const QString& name : names) {
    if (auto n = comPortNumber(name)) {
      numbers.append(*n);
    } else if (!name.isEmpty() && !others.contains(name)) {
      others.append(name);
    }
  }
  // Ascending numbers, each once, below 65000: the result of picking, again and again, the
  // smallest number above the last one picked.
  std::sort(numbers.begin(), numbers.end());
  QStringList ordered;
  int bound = 0;
  for (int n : numbers) {
    if (n > bound && n < 65000) {
      ordered.append(QStringLiteral("COM%1").arg(n));
      bound = n;
    }
  }
  std::sort(others.begin(), others.end(), naturalLess);
  return ordered + others;
}

int portGroupHeight(int itemCount) {
  int height = 370;
  if (itemCount <= 0)
    height = 40;
  else if (itemCount <= 12)
    height = 30 * itemCount + 10;
  return std::min(height, 300);
}

int rememberedPortIndex(const QStringList& items, int comItemCount, const QString& line1) {
  if (line1.startsWith(QLatin1String("COM"))) {
    if (auto wanted = digitsAfterCom(line1)) {
      const int n = std::min<int>(comItemCount, items.size());
      for (int i = 0; i < n; ++i)
        if (digitsAfterCom(items[i]) == wanted) return i;
      return 0;
    }
  }
  const int exact = items.indexOf(line1);
  return line1.isEmpty() || exact < 0 ? 0 : exact;
}

bool naturalLess(const QString& a, const QString& b) {
  qsizetype i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      qsizetype ei = i, ej = j;
      while (ei < a.size() && a[ei].isDigit()) ++ei;
      while (ej < b.size() && b[ej].isDigit()) ++ej;
      // Compare by value without converting: strip leading zeros, then length, then digits.
      QStringView da = QStringView(a).mid(i, ei - i), db = QStringView(b).mid(j, ej - j);
      while (da.size() > 1 && da.front() == u'0') da = da.mid(1);
      while (db.size() > 1 && db.front() == u'0') db = db.mid(1);
      if (da.size() != db.size()) return da.size() < db.size();
      if (int c = da.compare(db); c != 0) return c < 0;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return (a.size() - i) < (b.size() - j);
}

}  // namespace lir2

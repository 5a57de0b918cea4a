#include "serial/shown_text.h"

#include <QDir>

namespace lir2 {

namespace {

bool mustEscape(char16_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

}  // namespace

QString shownText(QStringView text) {
  qsizetype i = 0;
  while (i < text.size() && !mustEscape(text[i].unicode())) ++i;
  if (i == text.size()) return text.toString();  // the usual case: nothing to replace
  QString out = text.left(i).toString();
  out.reserve(text.size() + 8);
  for (; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (!mustEscape(c))
      out += QChar(c);
    else
      out += (c <= 0xFF ? QStringLiteral("\\x") : QStringLiteral("\\u")) +
             QString::number(uint(c), 16).toUpper().rightJustified(c <= 0xFF ? 2 : 4, u'0');
  }
  return out;
}

QString shownPath(const QString& path) {
  return shownText(QDir::toNativeSeparators(path));
}

}  // namespace lir2

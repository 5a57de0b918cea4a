#include "firmware/firmware_header.h"

#include "serial/shown_text.h"
#include "serial/traffic_log.h"

namespace lir2 {

namespace {

// 1-based position of the first ch at or after position from; 0 when there is none.
qsizetype pos(QByteArrayView text, char ch, qsizetype from = 1) {
  if (from > text.size()) return 0;
  const qsizetype at = text.indexOf(ch, from - 1);
  return at < 0 ? 0 : at + 1;
}

// Positions a to b, 1-based and inclusive.
QByteArrayView span(QByteArrayView text, qsizetype a, qsizetype b) {
  return text.sliced(a - 1, b - a + 1);
}

// A decimal integer, optionally signed, as its low 8 bits; nothing when it does not convert.
std::optional<quint8> decimal(QByteArrayView field) {
  qsizetype i = 0;
  bool negative = false;
  if (!field.isEmpty() && (field[0] == '+' || field[0] == '-')) {
    negative = field[0] == '-';
    i = 1;
  }
  if (i == field.size()) return std::nullopt;
  int value = 0;
  for (; i < field.size(); ++i) {
    const char c = field[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = (value * 10 + (c - '0')) & 0xFFFF;  // fields are short; only the low bits count
  }
  return static_cast<quint8>(negative ? -value : value);
}

// Converts a field into slot, or records it as the one that stopped the decoding.
bool take(FirmwareHeader& h, std::optional<quint8>& slot, QByteArrayView field) {
  const std::optional<quint8> v = decimal(field);
  if (!v) {
    h.notANumber = field.toByteArray();
    return false;
  }
  slot = v;
  return true;
}

}  // namespace

FirmwareHeader decodeFirmwareHeader(QByteArrayView text) {
  FirmwareHeader h;
  const QByteArrayView code = text.first(std::min<qsizetype>(3, text.size()));
  const struct {
    const char* code;
    quint8 kind;
  } codes[] = {
      {"lir", kDeviceLir}, {"lXP", kDeviceLirSin}, {"orb", kDeviceOrba}, {"pel", kDevicePelix}};
  for (const auto& c : codes) {
    if (code == QByteArrayView(c.code)) {
      h.deviceKind = c.kind;
      break;
    }
  }

  // The later steps measure from pv and pu as found, also after a failed check.
  const qsizetype pv = pos(text, 'v', 4);
  if (pv == 5 || pv == 6) {
    if (!take(h, h.VerPlatPow, span(text, 4, pv - 1))) return h;
  } else {
    ++h.failedChecks;
  }

  const qsizetype pu = pos(text, '_');
  if (pu != 0) {
    if (pu - pv - 1 == 1 || pu - pv - 1 == 2) {
      if (!take(h, h.VerPOMajor, span(text, pv + 1, pu - 1))) return h;
    } else {
      ++h.failedChecks;
    }
    const qsizetype pa = pos(text, '&');
    if (pa != 0) {
      if (pa - pu - 1 == 1) {
        if (!take(h, h.VerPOMinor, span(text, pu + 1, pu + 1))) return h;
      } else {
        ++h.failedChecks;
      }
      const qsizetype ph = pos(text, '#');
      if (ph == 0) return h;  // the long form without its terminator still counts as read
      if (ph - pa - 1 == 2) {
        if (!take(h, h.VerCPU, span(text, pa + 1, pa + 1))) return h;
        if (!take(h, h.VerPlatPic, span(text, pa + 2, pa + 2))) return h;
      } else {
        ++h.failedChecks;
      }
    } else {
      const qsizetype ph = pos(text, '#');
      if (ph != 0 && ph - pu - 1 == 1) {
        if (!take(h, h.VerPOMinor, span(text, pu + 1, pu + 1))) return h;
      } else {
        ++h.failedChecks;
      }
    }
  } else {
    const qsizetype ph = pos(text, '#');
    if (ph != 0 && (ph - pv - 1 == 1 || ph - pv - 1 == 2)) {
      if (!take(h, h.VerPOMajor, span(text, pv + 1, ph - 1))) return h;
    } else {
      ++h.failedChecks;
    }
  }
  return h;
}

bool hasFirmwareExtension(const QString& fileName) {
  return fileName.contains(QLatin1String(".lir2"), Qt::CaseSensitive);
}

QByteArray withCrLfBreaks(QByteArrayView bytes) {
  QByteArray out;
  out.reserve(bytes.size() + bytes.size() / 32 + 2);
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r') {
      out.append("\r\n");
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out.append("\r\n");
    } else {
      out.append(c);
    }
  }
  return out;
}

QString fromSingleByteText(QByteArrayView bytes) {
  QString text;
  text.resize(bytes.size());
  QChar* out = text.data();
  for (qsizetype i = 0; i < bytes.size(); ++i)
    out[i] = cp1251ToUnicode(static_cast<quint8>(bytes[i]));
  return text;
}

QString deviceLabelText(quint8 deviceKind) {
  switch (deviceKind) {
    case kDeviceOrba:
      return QStringLiteral("VerDevice = Orba");
    case kDeviceLir:
      return QStringLiteral("VerDevice = ЛИР");
    case kDeviceLirSin:
      return QStringLiteral("VerDevice = LIR SIN");
    case kDevicePelix:
      return QStringLiteral("VerDevice = Pelix");
    default:
      return {};
  }
}

QString platPowLabelText(quint8 VerPlatPow) {
  return QStringLiteral("VerPlatPow = %1.x").arg(VerPlatPow);
}

QString platPicLabelText(quint8 VerPlatPic) {
  return VerPlatPic < 6 ? QStringLiteral("VerPlatPic <= 5")
                        : QStringLiteral("VerPlatPic = %1").arg(VerPlatPic);
}

QString firmwareVersionLabelText(quint8 VerPOMajor, quint8 VerPOMinor) {
  return QStringLiteral("VerPO = %1.%2").arg(VerPOMajor).arg(VerPOMinor);
}

QString cpuLabelText(quint8 VerCPU) {
  return VerCPU != 0 ? QStringLiteral("CPU 46k22") : QStringLiteral("CPU 4525");
}

QString notAnIntegerMessage(QByteArrayView field) {
  return QStringLiteral("'%1' is not a valid integer value")
      .arg(shownText(fromSingleByteText(field)));
}

QString cannotOpenFileMessage(const QString& fileName, const QString& reason) {
  return QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, reason);
}

}  // namespace lir2

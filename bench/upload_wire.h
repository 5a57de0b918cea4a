#pragma once

// What the 64 KB sample puts on the line, for the upload benchmarks' floor.
#include <QByteArray>
#include <QString>

#include "firmware/upload.h"

using namespace lir2;

inline QString samplePath() {
  return QStringLiteral(LIR2_SOURCE_DIR_BUILT "/samples/lir-64k.lir2");
}

// Bytes the transfer puts on the line, each of them echoed: the two 'U's, every ':' and every
// record byte, the reserved ones as their two-byte pairs.
inline qint64 transferWireBytes(const QByteArray& program) {
  qint64 bytes = 2;
  int high = -1;
  for (char c : program) {
    if (c == ':') {
      ++bytes;
    } else if (c != '\r' && c != '\n') {
      const int digit = c < 'A' ? c - '0' : c - 55;
      if (high < 0) {
        high = digit;
      } else {
        bytes += stuffingLetter(static_cast<quint8>(high * 16 + digit)) ? 2 : 1;
        high = -1;
      }
    }
  }
  return bytes;
}

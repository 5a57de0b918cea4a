#include "tools/firmware_writer.h"

#include <algorithm>

namespace {

void appendRecord(QByteArray& out, quint8 type, quint16 address, QByteArrayView data) {
  QByteArray bytes;
  bytes.append(static_cast<char>(data.size()));
  bytes.append(static_cast<char>(address >> 8));
  bytes.append(static_cast<char>(address & 0xFF));
  bytes.append(static_cast<char>(type));
  bytes.append(data.data(), data.size());
  quint8 sum = 0;
  for (char c : bytes) sum = static_cast<quint8>(sum + static_cast<quint8>(c));
  bytes.append(static_cast<char>(-sum));
  out += ':' + bytes.toHex().toUpper() + "\r\n";
}

}  // namespace

QByteArray firmwareHeader(const char* deviceCode, int powerBoard, int major, int minor, int cpuFlag,
                          int controllerBoard) {
  return QByteArray(deviceCode) + QByteArray::number(powerBoard) + 'v' + QByteArray::number(major) +
         '_' + QByteArray::number(minor) + '&' + QByteArray::number(cpuFlag) +
         QByteArray::number(controllerBoard) + '#';
}

QByteArray intelHexRecords(QByteArrayView image, quint32 address, int recordBytes) {
  recordBytes = std::clamp(recordBytes, 1, 255);
  QByteArray out;
  qint64 upper = -1;
  qsizetype i = 0;
  while (i < image.size()) {
    const quint32 at = address + static_cast<quint32>(i);
    if (static_cast<qint64>(at >> 16) != upper) {
      upper = at >> 16;
      const char ela[2] = {static_cast<char>(upper >> 8), static_cast<char>(upper & 0xFF)};
      appendRecord(out, 4, 0, QByteArrayView(ela, 2));
    }
    const qsizetype toBoundary = 0x10000 - (at & 0xFFFF);
    const qsizetype n =
        std::min({static_cast<qsizetype>(recordBytes), image.size() - i, toBoundary});
    appendRecord(out, 0, static_cast<quint16>(at & 0xFFFF), image.sliced(i, n));
    i += n;
  }
  appendRecord(out, 1, 0, {});
  return out;
}

QByteArray firmwareFile(QByteArrayView header, QByteArrayView image, quint32 address,
                        int recordBytes) {
  return header.toByteArray() + intelHexRecords(image, address, recordBytes);
}

QByteArray sampleImage(int size, quint32 seed) {
  QByteArray image(std::max(size, 0), Qt::Uninitialized);
  quint32 x = seed ? seed : 1;
  for (char& c : image) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x >> 24);
  }
  return image;
}

int imageBytesForText(int textBytes, int headerBytes) {
  // ":020000040000FA" and ":00000001FF", each with CR LF; a full record line is 45 characters.
  const int fixed = headerBytes + 17 + 13;
  return std::max(0, (textBytes - fixed) / 45) * 16;
}

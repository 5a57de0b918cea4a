#include "tools/firmware_writer.h"

#include <algorithm>

#include "serial/intel_hex.h"

namespace lir2 {

QByteArray firmwareHeader(const char* deviceCode, int powerBoard, int major, int minor, int cpuFlag,
                          int controllerBoard) {
  return QByteArray(deviceCode) + QByteArray::number(powerBoard) + 'v' + QByteArray::number(major) +
         '_' + QByteArray::number(minor) + '&' + QByteArray::number(cpuFlag) +
         QByteArray::number(controllerBoard) + '#';
}

QByteArray intelHexRecords(QByteArrayView image, quint32 address, int recordBytes) {
  return intel_hex::write(image, address, recordBytes);
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

}  // namespace lir2

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

namespace lir2 {

// Writes firmware files of the family: a version header, then the program image as Intel HEX
// records with CR LF line ends. For sample files and tests; the program never writes these.

// A header of the long form: code, power board, 'v', firmware major, '_', minor, '&',
// processor flag, controller board, '#'. Example: "lir3v12_4&15#".
QByteArray firmwareHeader(const char* deviceCode, int powerBoard, int major, int minor, int cpuFlag,
                          int controllerBoard);

// The image as Intel HEX: an extended linear address record in front of the first data and
// wherever the upper 16 address bits change, data records of at most recordBytes bytes that
// never cross a 64 KiB boundary, and the end-of-file record.
QByteArray intelHexRecords(QByteArrayView image, quint32 address = 0, int recordBytes = 16);

// Header and records together: a whole .lir2 file.
QByteArray firmwareFile(QByteArrayView header, QByteArrayView image, quint32 address = 0,
                        int recordBytes = 16);

// Pseudo-random program bytes, the same for the same seed; the bytes the transfer must stuff
// occur in it as in real code.
QByteArray sampleImage(int size, quint32 seed = 1);

// The image size whose file with the given header comes closest to textBytes without
// exceeding it (16-byte records from address 0).
int imageBytesForText(int textBytes, int headerBytes);

}  // namespace lir2

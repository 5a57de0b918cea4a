#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace lir2 {

// Device kinds of a firmware file; 1 means no file has been recognised yet.
enum : quint8 {
  kDeviceOrba = 0,
  kDeviceNone = 1,
  kDeviceLir = 2,
  kDeviceLirSin = 3,
  kDevicePelix = 4,
};

// What the header of a firmware file says. A value that is absent was not in the header or its
// field was malformed: the caller keeps what it had.
struct FirmwareHeader {
  std::optional<quint8> deviceKind;  // absent when the first three characters are no known code
  std::optional<quint8> VerPlatPow;
  std::optional<quint8> VerPOMajor;
  std::optional<quint8> VerPOMinor;
  std::optional<quint8> VerCPU;
  std::optional<quint8> VerPlatPic;
  // Separators missing or fields of the wrong length; each is one "Не верный файл".
  int failedChecks = 0;
  // The text of a field that is not a decimal number. Decoding stopped there: the values
  // above were taken before it, nothing after it.
  std::optional<QByteArray> notANumber;
};

// Decodes the header at the start of a firmware file's text by the position rules of the
// format: 'v' from position 4 on, '_', '&' and '#' from the start, each at its first occurrence.
FirmwareHeader decodeFirmwareHeader(QByteArrayView text);

// A file name that does not carry ".lir2" anywhere marks the file as suspect.
bool hasFirmwareExtension(const QString& fileName);

// The file's text with every line break as CR LF (a lone LF or CR becomes CR LF).
QByteArray withCrLfBreaks(QByteArrayView bytes);

// Single-byte (Windows-1251) text as the windows show it.
QString fromSingleByteText(QByteArrayView bytes);

// The texts of the main window's version labels for the values held.
QString deviceLabelText(quint8 deviceKind);  // empty for kind 1: the label keeps its text
QString platPowLabelText(quint8 VerPlatPow);
QString platPicLabelText(quint8 VerPlatPic);
QString firmwareVersionLabelText(quint8 VerPOMajor, quint8 VerPOMinor);
QString cpuLabelText(quint8 VerCPU);

// The forms framework's texts for a field that does not convert and a file it cannot read.
QString notAnIntegerMessage(QByteArrayView field);
QString cannotOpenFileMessage(const QString& fileName, const QString& reason);

}  // namespace lir2

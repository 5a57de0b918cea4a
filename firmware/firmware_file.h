#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include "firmware/firmware_header.h"

namespace lir2 {

// Far beyond any program memory of the family; a bigger file is no firmware.
inline constexpr qint64 kMaxFirmwareFileBytes = 16 * 1024 * 1024;

// A firmware file as read from disk: its text with CR LF line breaks and its decoded header.
// The window and the command-line program read files through this one reader.
struct FirmwareFile {
  enum class ReadFault {
    None,
    CannotOpen,  // missing, a folder, no permission
    TooLarge,    // larger than any firmware file can be
    ReadFailed,  // opened, but reading it failed part-way
  };

  QString fileName;
  ReadFault fault = ReadFault::None;
  QString systemReason;  // the operating system's words for a read fault
  qint64 size = 0;
  QByteArray text;           // the whole file, every line break as CR LF; the header still in it
  FirmwareHeader header;     // decoded from text; meaningless when the file was not read
  bool suspectName = false;  // the name lacks ".lir2"

  bool read() const { return fault == ReadFault::None; }
};

// Reads the file (at most maxBytes), turns its line breaks into CR LF and decodes its header.
FirmwareFile readFirmwareFile(const QString& fileName, qint64 maxBytes = kMaxFirmwareFileBytes);

// The forms framework's message for a file that was not read ("Cannot open file ...").
QString frameworkReadError(const FirmwareFile& file);

// What is wrong with a file, in Russian, for a user who cannot see the window's labels: why it
// was not read, or why it is no firmware the upload may send (an unknown device code, a header
// that breaks the format, a field that is not a number, no program behind the header). Empty
// when the file may be uploaded. The warning about the name is not among them.
QStringList firmwareFileProblems(const FirmwareFile& file);

}  // namespace lir2

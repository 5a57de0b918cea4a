#pragma once

#include <QByteArray>

#include "firmware/upload.h"
#include "serial/port_control.h"

class DeviceLink;

// What an upload needs, taken from the opened firmware file and the options when it starts.
struct UploadJob {
  QByteArray programText;  // the firmware text without its header (prepareProgramText)
  FileVersions versions;   // the versions the device must report
  bool keepSettings = true;
  PortSettings port;  // which port; the upload always runs at 19200 bit/s
};

// The bootloader's fixed line rate.
inline constexpr qint32 kUploadRate = 19200;

// A whole upload on the device line: the port reopened at 19200 bit/s and purged, the
// bootloader's handshake, the transfer. Returns the result code, which is also left in the
// exchange's ResultCode for the final report: a port that does not open ends it at once with
// Result::OpenFailed (nothing is sent into a port that is not there).
quint8 runUploadSession(DeviceLink& link, const UploadJob& job, UploadWindow& window);

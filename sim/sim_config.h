#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>
#include <utility>
#include <vector>

namespace lir2 {

// Everything that shapes one simulated device: which personality answers the line, the
// identity it reports, its timing and the faults it is told to commit. A profile name picks
// sensible values; every field can then be changed (the lir2-sim options map onto them).

enum class SimKind {
  Echo,       // returns every byte at once
  Translate,  // prints status lines, ignores input
  Boot,       // serial bootloader only
  Monitor,    // monitor firmware (text frames; binary frames on new boards)
  Modem,      // GSM modem
  Lir,        // a whole device: bootloader window after each open, then the firmware
};

struct BootConfig {
  quint8 version = 11;         // sent as '0' + value
  quint8 powerBoard = 3;       // power board version
  quint8 cpuFlag = 1;          // 0 = 4525, other = 46k22 (only sent from version 11 on)
  quint8 controllerBoard = 5;  // controller board version (only sent from version 11 on)
  QByteArray greeting = "Load\r\n";
  int greetFirstMs = 150;     // first greeting after the line opened
  int greetPeriodMs = 150;    // then again until answered
  int windowMs = 0;           // greet only this long, then start the program; 0 = forever
  int rebootMs = 500;         // pause after a completed upload before greeting again
  int recoverQuietMs = 1000;  // after a reported error: quiet line needed before greeting again

  // Faults.
  bool silent = false;  // never greets, ignores everything
  int wrongEchoAt = 0;  // transfer byte N (1 = the opening 'U') echoed wrongly
  int errorAt = 0;      // transfer byte N answered with 'Z' and errorCode + 28
  quint8 errorCode = 8;
  bool noEnd = false;                // no ')' after the closing 'U'
  std::optional<quint8> modeAnswer;  // answer to 'l'/'f' instead of 'L'/'F'
  bool noRunAck = false;             // no 'y' after "run"
};

struct FirmwareConfig {
  // Identity, written into the EEPROM image at start and by an EEPROM initialisation.
  quint8 boardType = 3;        // EEPROM 0: 2 LCD board, 3 LCD SIN board
  quint8 generation = 9;       // EEPROM 1
  quint8 firmwareByte = 0x6D;  // EEPROM 2: bits 0-4 major, bits 5-7 minor (0x6D = 13.3)
  quint8 powerIndex = 3;       // EEPROM 5: power model (3 = 3 kW)
  quint8 voltageClass = 1;     // EEPROM 6: 0 = 12 V, 1 = 24 V, 2 = 48 V
  quint8 sinVersion = 3;       // EEPROM 12: second version number of the SIN board
  quint8 netCode = 5;       // EEPROM 13: 15 = no mains board; else Net (bits 0-1) + 6, "L" from 4
  quint8 hiLowCode = 1;     // EEPROM 14: 4 and above "Low", else "Hi"
  quint8 subVersion = 2;    // EEPROM 16: board sub-version
  quint8 variantFlag = 0;   // EEPROM 59: 0 = " -Pro", else " -S"
  quint8 hybridMarker = 1;  // EEPROM 315: 255 = no hybrid option
  // Cells set once at start over the factory image (address, value). An EEPROM initialisation
  // brings back the factory image without them, as on a real device.
  std::vector<std::pair<int, quint8>> eepromAtStart;
  // RAM window cells held at a value whatever the device does (offset, value), and alarm bits
  // held set (offset of the alarm byte, bits).
  std::vector<std::pair<int, quint8>> pinnedRam;
  std::vector<std::pair<int, quint8>> pinnedAlarms;
  // Binary frames understood; unset = as the firmware version implies (generation 9 and
  // firmware 13.3 or later).
  std::optional<bool> binaryFrames;

  // Operating state at start.
  bool deviceOn = true;
  bool chargeOn = true;
  bool mainsPresent = true;
  // The device goes through its day by itself: the mains fails and returns, it charges, alarms
  // come and go, measurements move. Off: everything holds its state at 0 ms (commands still act).
  bool drift = true;

  int frameGapMs = 500;           // a pause this long inside a command drops the partial command
  int replyEchoTimeoutMs = 1000;  // a reply whose echo stalls this long is given up

  // Faults. The reply faults apply to commands counted from faultFromFrame on (1 = all).
  int silentAfterFrames = -1;  // after N answered commands: no echo, no reply; -1 = never
  int faultFromFrame = 1;
  int faultFrames = 0;        // the reply faults last this many commands; 0 = to the end
  bool badChecksum = false;   // reply checksums off by one
  bool dropReply = false;     // the command is carried out, but its reply never sent
  quint8 errorByte = 0;       // non-zero: every command answered with this error byte
  bool lowerCaseHex = false;  // text replies in lower-case hexadecimal
  bool missingLf = false;     // replies end without their LF

  bool binaryEnabled() const {
    if (binaryFrames) return *binaryFrames;
    const int firmware = (firmwareByte & 0x1F) * 10 + (firmwareByte >> 5);
    return generation >= 9 && firmware >= 133;
  }
};

struct ModemConfig {
  bool silent = false;
  int sendDelayMs = 300;  // from Ctrl-Z to the "+CMGS" answer
};

struct ChatterConfig {
  int periodMs = 1000;        // one status line per period
  int afterSilenceMs = 2000;  // lir only: host quiet this long before the firmware chats
  bool enabled = true;
};

struct SimConfig {
  QString profile;
  SimKind kind = SimKind::Echo;
  // Rate the device listens at; a host that opens at another rate hears nothing and is not
  // heard. 0 = any rate.
  qint32 lineRate = 0;
  qint32 bootRate = 0;  // the same for the bootloader (Boot and Lir)
  BootConfig boot;
  FirmwareConfig firmware;
  ModemConfig modem;
  ChatterConfig chatter;
};

// "echo", "translate", "boot", "gen5", "gen9", "modem", "lir"; nothing for other names.
std::optional<SimConfig> simConfigForProfile(const QString& name);
QStringList simProfileNames();

}  // namespace lir2

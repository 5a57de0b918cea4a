#include "sim/sim_options.h"

#include "sim/device_memory.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <functional>
#include <vector>

namespace lir2 {

namespace {

struct NumberKnob {
  QString name;
  QString help;
  qint64 min;
  qint64 max;
  std::function<void(SimProgramOptions&, qint64)> apply;
};

struct FlagKnob {
  QString name;
  QString help;
  std::function<void(SimProgramOptions&)> apply;
};

constexpr qint64 kMaxMs = 24LL * 3600 * 1000;
constexpr qint64 kMaxRate = 4000000;

const std::vector<NumberKnob>& numberKnobs() {
  static const std::vector<NumberKnob> knobs = {
      {"rate", "Emulated line rate in bit/s (default: the rate the host set).", 1, kMaxRate,
       [](SimProgramOptions& o, qint64 v) { o.fixedRate = static_cast<qint32>(v); }},
      {"device-rate", "Rate the device listens at; another rate is not heard (0 = any).", 0,
       kMaxRate,
       [](SimProgramOptions& o, qint64 v) { o.config.lineRate = static_cast<qint32>(v); }},
      {"boot-rate", "Rate the bootloader listens at (0 = any).", 0, kMaxRate,
       [](SimProgramOptions& o, qint64 v) { o.config.bootRate = static_cast<qint32>(v); }},
      // Bootloader.
      {"boot-version", "Bootloader version.", 0, 255,
       [](SimProgramOptions& o, qint64 v) { o.config.boot.version = static_cast<quint8>(v); }},
      {"power-board", "Power board version.", 0, 255,
       [](SimProgramOptions& o, qint64 v) { o.config.boot.powerBoard = static_cast<quint8>(v); }},
      {"cpu-flag", "Processor flag (0 = 4525, else 46k22).", 0, 255,
       [](SimProgramOptions& o, qint64 v) { o.config.boot.cpuFlag = static_cast<quint8>(v); }},
      {"controller-board", "Controller board version.", 0, 255,
       [](SimProgramOptions& o, qint64 v) {
         o.config.boot.controllerBoard = static_cast<quint8>(v);
       }},
      {"greet-first-ms", "First greeting this long after the line opened.", 0, kMaxMs,
       [](SimProgramOptions& o, qint64 v) { o.config.boot.greetFirstMs = static_cast<int>(v); }},
      {"greet-period-ms", "Greeting repeated this often.", 1, kMaxMs,
       [](SimProgramOptions& o, qint64 v) { o.config.boot.greetPeriodMs = static_cast<int>(v); }},
      {"boot-window-ms", "Greet only this long, then start the program (0 = forever).", 0, kMaxMs,
       [](SimProgramOptions& o, qint64 v) { o.config.boot.windowMs = static_cast<int>(v); }},
      {"reboot-ms", "Pause after a completed upload before greeting again.", 0, kMaxMs,
       [](SimProgramOptions& o, qint64 v) { o.config.boot.rebootMs = static_cast<int>(v); }},
      {"recover-ms", "Quiet line needed after a reported error before greeting again.", 0, kMaxMs,
       [](SimProgramOptions& o, qint64 v) { o.config.boot.recoverQuietMs = static_cast<int>(v); }},
      {"wrong-echo-at", "Fault: echo transfer byte N wrongly (1 = the opening U).", 1, 1LL << 30,
       [](SimProgramOptions& o, qint64 v) { o.config.boot.wrongEchoAt = static_cast<int>(v); }},
      {"error-at", "Fault: answer transfer byte N with Z and the error code + 28.", 1, 1LL << 30,
       [](SimProgramOptions& o, qint64 v) { o.config.boot.errorAt = static_cast<int>(v); }},
      {"error-code", "Code announced by --error-at (default 8).", 0, 255,
       [](SimProgramOptions& o, qint64 v) { o.config.boot.errorCode = static_cast<quint8>(v); }},
      // Monitor firmware.
      {"board-type", "EEPROM 0: 2 = LCD board, 3 = LCD SIN board.", 0, 255,
       [](SimProgramOptions& o, qint64 v) {
         o.config.firmware.boardType = static_cast<quint8>(v);
       }},
      {"generation", "EEPROM 1: board generation.", 0, 255,
       [](SimProgramOptions& o, qint64 v) {
         o.config.firmware.generation = static_cast<quint8>(v);
       }},
      {"firmware-byte", "EEPROM 2: bits 0-4 major, bits 5-7 minor (0x6D = 13.3).", 0, 255,
       [](SimProgramOptions& o, qint64 v) {
         o.config.firmware.firmwareByte = static_cast<quint8>(v);
       }},
      {"power-index", "EEPROM 5: power model index.", 0, 255,
       [](SimProgramOptions& o, qint64 v) {
         o.config.firmware.powerIndex = static_cast<quint8>(v);
       }},
      {"voltage-class", "EEPROM 6: 0 = 12 V, 1 = 24 V, 2 = 48 V.", 0, 255,
       [](SimProgramOptions& o, qint64 v) {
         o.config.firmware.voltageClass = static_cast<quint8>(v);
       }},
      {"frame-gap-ms", "A pause this long inside a command drops it.", 1, kMaxMs,
       [](SimProgramOptions& o, qint64 v) { o.config.firmware.frameGapMs = static_cast<int>(v); }},
      {"echo-timeout-ms", "A reply whose echo stalls this long is given up.", 1, kMaxMs,
       [](SimProgramOptions& o, qint64 v) {
         o.config.firmware.replyEchoTimeoutMs = static_cast<int>(v);
       }},
      {"silent-after", "Fault: after N answered commands, no echo and no reply.", 0, 1LL << 30,
       [](SimProgramOptions& o, qint64 v) {
         o.config.firmware.silentAfterFrames = static_cast<int>(v);
       }},
      {"fault-from", "Reply faults apply from the Nth command on (default 1).", 1, 1LL << 30,
       [](SimProgramOptions& o, qint64 v) {
         o.config.firmware.faultFromFrame = static_cast<int>(v);
       }},
      {"fault-frames", "Reply faults last N commands from --fault-from on (default: to the end).",
       0, 1LL << 30,
       [](SimProgramOptions& o, qint64 v) { o.config.firmware.faultFrames = static_cast<int>(v); }},
      {"error-byte", "Fault: answer every command with this error byte.", 1, 255,
       [](SimProgramOptions& o, qint64 v) {
         o.config.firmware.errorByte = static_cast<quint8>(v);
       }},
      // Modem and status lines.
      {"sms-delay-ms", "Modem: time from Ctrl-Z to the +CMGS answer.", 0, kMaxMs,
       [](SimProgramOptions& o, qint64 v) { o.config.modem.sendDelayMs = static_cast<int>(v); }},
      {"chatter-period-ms", "One status line this often.", 1, kMaxMs,
       [](SimProgramOptions& o, qint64 v) { o.config.chatter.periodMs = static_cast<int>(v); }},
      {"chatter-after-ms", "lir: status lines only after the host was quiet this long.", 0, kMaxMs,
       [](SimProgramOptions& o, qint64 v) {
         o.config.chatter.afterSilenceMs = static_cast<int>(v);
       }},
  };
  return knobs;
}

const std::vector<FlagKnob>& flagKnobs() {
  static const std::vector<FlagKnob> knobs = {
      {"emulate-rate", "Emulate the line timing: 10 bit times per byte each way.",
       [](SimProgramOptions& o) { o.emulateRate = true; }},
      {"verbose", "Report openings, rate changes and uploads on stderr.",
       [](SimProgramOptions& o) { o.verbose = true; }},
      {"boot-silent", "Fault: the bootloader never greets.",
       [](SimProgramOptions& o) { o.config.boot.silent = true; }},
      {"no-end", "Fault: no ')' after the closing U.",
       [](SimProgramOptions& o) { o.config.boot.noEnd = true; }},
      {"no-run-ack", "Fault: no 'y' after \"run\".",
       [](SimProgramOptions& o) { o.config.boot.noRunAck = true; }},
      {"binary", "The firmware understands binary frames.",
       [](SimProgramOptions& o) { o.config.firmware.binaryFrames = true; }},
      {"text-only", "The firmware understands text frames only.",
       [](SimProgramOptions& o) { o.config.firmware.binaryFrames = false; }},
      {"device-off", "The device starts switched off.",
       [](SimProgramOptions& o) { o.config.firmware.deviceOn = false; }},
      {"charge-off", "The charger starts switched off.",
       [](SimProgramOptions& o) { o.config.firmware.chargeOn = false; }},
      {"no-mains", "No mains: the device runs from its battery.",
       [](SimProgramOptions& o) { o.config.firmware.mainsPresent = false; }},
      {"no-drift",
       "The device holds still: no walk through its day, no alarms of its own, "
       "measurements at their start values.",
       [](SimProgramOptions& o) { o.config.firmware.drift = false; }},
      {"bad-checksum", "Fault: reply checksums off by one.",
       [](SimProgramOptions& o) { o.config.firmware.badChecksum = true; }},
      {"lower-hex", "Fault: text replies in lower-case hexadecimal.",
       [](SimProgramOptions& o) { o.config.firmware.lowerCaseHex = true; }},
      {"missing-lf", "Fault: replies end without their LF.",
       [](SimProgramOptions& o) { o.config.firmware.missingLf = true; }},
      {"drop-reply", "Fault: commands are carried out, but their replies never sent.",
       [](SimProgramOptions& o) { o.config.firmware.dropReply = true; }},
      {"modem-silent", "Fault: the modem never answers.",
       [](SimProgramOptions& o) { o.config.modem.silent = true; }},
      {"no-chatter", "No status lines.",
       [](SimProgramOptions& o) { o.config.chatter.enabled = false; }},
  };
  return knobs;
}

// A decimal number or a 0x hexadecimal one.
std::optional<qint64> parseNumber(const QString& text) {
  bool ok = false;
  const QString t = text.trimmed();
  const qint64 v = t.startsWith("0x", Qt::CaseInsensitive) ? t.mid(2).toLongLong(&ok, 16)
                                                           : t.toLongLong(&ok, 10);
  return ok ? std::optional<qint64>(v) : std::nullopt;
}

// "LEFT<sep>RIGHT" with the right side a number in [0, maxRight]; the left side as it stands.
std::optional<std::pair<QString, qint64>> splitPair(const QString& text, QChar sep,
                                                    qint64 maxRight) {
  const qsizetype at = text.indexOf(sep);
  if (at <= 0) return std::nullopt;
  const std::optional<qint64> right = parseNumber(text.mid(at + 1));
  if (!right || *right < 0 || *right > maxRight) return std::nullopt;
  return std::make_pair(text.left(at).trimmed(), *right);
}

// --ee ADDRESS=VALUE
std::optional<std::pair<int, quint8>> eepromCell(const QString& text) {
  const auto pair = splitPair(text, '=', 255);
  if (!pair) return std::nullopt;
  const std::optional<qint64> address = parseNumber(pair->first);
  if (!address || *address < 0 || *address >= DeviceMemory::kEepromSize) return std::nullopt;
  return std::make_pair(static_cast<int>(*address), static_cast<quint8>(pair->second));
}

// A RAM window cell by its offset (0..68) or its address (1024..1092), as an offset.
std::optional<int> ramOffset(const QString& text) {
  const std::optional<qint64> n = parseNumber(text);
  if (!n) return std::nullopt;
  if (*n >= 0 && *n < DeviceMemory::kRamSize) return static_cast<int>(*n);
  if (*n >= DeviceMemory::kRamBase && *n <= DeviceMemory::kLastAddress)
    return static_cast<int>(*n - DeviceMemory::kRamBase);
  return std::nullopt;
}

// --ram OFFSET=VALUE
std::optional<std::pair<int, quint8>> ramCell(const QString& text) {
  const auto pair = splitPair(text, '=', 255);
  if (!pair) return std::nullopt;
  const std::optional<int> offset = ramOffset(pair->first);
  if (!offset) return std::nullopt;
  return std::make_pair(*offset, static_cast<quint8>(pair->second));
}

// --alarm GROUP:BIT, the group by name or by its RAM cell; as (offset, bit mask).
std::optional<std::pair<int, quint8>> alarmBit(const QString& text) {
  static const QStringList names = {"system", "protection", "warning", "event"};
  constexpr int kFirstAlarmOffset = 42;
  const auto pair = splitPair(text, ':', 7);
  if (!pair) return std::nullopt;
  int offset = static_cast<int>(names.indexOf(pair->first.toLower()));
  if (offset >= 0) {
    offset += kFirstAlarmOffset;
  } else {
    const std::optional<int> cell = ramOffset(pair->first);
    if (!cell || *cell < kFirstAlarmOffset || *cell >= kFirstAlarmOffset + names.size())
      return std::nullopt;
    offset = *cell;
  }
  return std::make_pair(offset, static_cast<quint8>(1 << pair->second));
}

}  // namespace

std::optional<QByteArray> unescapeText(const QString& typed) {
  const QByteArray in = typed.toLatin1();
  QByteArray out;
  for (int i = 0; i < in.size(); ++i) {
    if (in[i] != '\\') {
      out.append(in[i]);
      continue;
    }
    if (++i >= in.size()) return std::nullopt;
    switch (in[i]) {
      case 'r':
        out.append('\r');
        break;
      case 'n':
        out.append('\n');
        break;
      case 't':
        out.append('\t');
        break;
      case '\\':
        out.append('\\');
        break;
      case 'x': {
        bool ok = false;
        const int v = in.mid(i + 1, 2).toInt(&ok, 16);
        if (!ok || i + 2 >= in.size()) return std::nullopt;
        out.append(static_cast<char>(v));
        i += 2;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  return out;
}

SimArgumentsOutcome parseSimArguments(const QStringList& arguments) {
  SimArgumentsOutcome result;
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Serves a simulated LIR device on a pseudo-terminal and prints the terminal's path.\n"
      "Profiles: " +
      simProfileNames().join(", ") +
      ".\n"
      "The device lives through a 15-minute day (charge, mains failure, generation, flat "
      "battery, mains back) with occasional alarms. Commands at address 0: 1/2 switch it off/on, "
      "4/5 the charger, 6 resets it (0.5 s without a word), 7 restores the factory EEPROM.");
  const QCommandLineOption help({"h", "help"}, "Show this help.");
  const QCommandLineOption profile("profile", "Device profile (default lir).", "name", "lir");
  const QCommandLineOption link("link", "Place a symlink to the terminal here.", "path");
  const QCommandLineOption dumpImage("dump-image",
                                     "At exit, write the received records as Intel HEX.", "file");
  const QCommandLineOption dumpEeprom("dump-eeprom", "At exit, write the EEPROM (1024 bytes).",
                                      "file");
  const QCommandLineOption greeting("greeting", "Bootloader greeting (\\r, \\n, \\xHH escapes).",
                                    "text");
  const QCommandLineOption modeAnswer("mode-answer",
                                      "Fault: answer the mode letter with this character.", "char");
  const QCommandLineOption ee(
      "ee",
      "Set EEPROM cell ADDRESS (0..1023) to VALUE (0..255; decimal or 0x hex) at start, over the "
      "profile's factory image; repeatable. An EEPROM initialisation brings back the factory "
      "image without these cells.",
      "address=value");
  const QCommandLineOption ram(
      "ram",
      "Hold RAM window cell OFFSET (0..68, or its address 1024..1092) at VALUE (0..255) "
      "whatever the device does; repeatable.",
      "offset=value");
  const QCommandLineOption alarm("alarm",
                                 "Hold alarm bit BIT (0..7) of GROUP set: system, protection, "
                                 "warning, event (or RAM 42, 43, 44, 45); repeatable.",
                                 "group:bit");
  parser.addOption(help);
  parser.addOption(profile);
  parser.addOption(link);
  parser.addOption(dumpImage);
  parser.addOption(dumpEeprom);
  parser.addOption(ee);
  parser.addOption(ram);
  parser.addOption(alarm);
  parser.addOption(greeting);
  parser.addOption(modeAnswer);
  std::vector<QCommandLineOption> numbers;
  for (const NumberKnob& k : numberKnobs()) {
    numbers.emplace_back(k.name, k.help, "n");
    parser.addOption(numbers.back());
  }
  std::vector<QCommandLineOption> flags;
  for (const FlagKnob& k : flagKnobs()) {
    flags.emplace_back(k.name, k.help);
    parser.addOption(flags.back());
  }

  if (!parser.parse(arguments)) {
    result.text = parser.errorText();
    return result;
  }
  if (parser.isSet(help)) {
    result.help = true;
    result.text = parser.helpText();
    return result;
  }
  if (!parser.positionalArguments().isEmpty()) {
    result.text = "Unexpected argument: " + parser.positionalArguments().first();
    return result;
  }
  const std::optional<SimConfig> cfg = simConfigForProfile(parser.value(profile));
  if (!cfg) {
    result.text = "Unknown profile: " + parser.value(profile) +
                  " (profiles: " + simProfileNames().join(", ") + ")";
    return result;
  }
  SimProgramOptions o;
  o.config = *cfg;
  o.link = parser.value(link);
  o.dumpImage = parser.value(dumpImage);
  o.dumpEeprom = parser.value(dumpEeprom);
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (!parser.isSet(numbers[i])) continue;
    const NumberKnob& k = numberKnobs()[i];
    bool ok = false;
    const qint64 v = parser.value(numbers[i]).toLongLong(&ok, 0);  // 0x.. allowed
    if (!ok || v < k.min || v > k.max) {
      result.text = QString("--%1 wants a number from %2 to %3, not \"%4\"")
                        .arg(k.name)
                        .arg(k.min)
                        .arg(k.max)
                        .arg(parser.value(numbers[i]));
      return result;
    }
    k.apply(o, v);
  }
  for (std::size_t i = 0; i < flags.size(); ++i) {
    if (parser.isSet(flags[i])) flagKnobs()[i].apply(o);
  }
  // Each repeatable cell option: every value parsed, the first bad one named.
  const auto collect = [&](const QCommandLineOption& option, auto parse, const char* wants,
                           auto& into) {
    for (const QString& v : parser.values(option)) {
      const auto cell = parse(v);
      if (!cell) {
        result.text = QString::fromUtf8(wants) + ", not \"" + v + "\"";
        return false;
      }
      into.push_back(*cell);
    }
    return true;
  };
  auto& fw = o.config.firmware;
  if (!collect(ee, eepromCell,
               "--ee wants ADDRESS=VALUE, an address from 0 to 1023 and a value from 0 to 255",
               fw.eepromAtStart) ||
      !collect(ram, ramCell,
               "--ram wants OFFSET=VALUE, an offset from 0 to 68 (or an address from 1024 to "
               "1092) and a value from 0 to 255",
               fw.pinnedRam) ||
      !collect(alarm, alarmBit,
               "--alarm wants GROUP:BIT, a group system, protection, warning or event (or 42 to "
               "45) and a bit from 0 to 7",
               fw.pinnedAlarms))
    return result;
  if (parser.isSet(greeting)) {
    const std::optional<QByteArray> text = unescapeText(parser.value(greeting));
    if (!text || text->isEmpty()) {
      result.text = "--greeting wants a text; escapes are \\r \\n \\t \\\\ \\xHH";
      return result;
    }
    o.config.boot.greeting = *text;
  }
  if (parser.isSet(modeAnswer)) {
    const std::optional<QByteArray> c = unescapeText(parser.value(modeAnswer));
    if (!c || c->size() != 1) {
      result.text = "--mode-answer wants exactly one character";
      return result;
    }
    o.config.boot.modeAnswer = static_cast<quint8>(c->at(0));
  }
  result.options = o;
  return result;
}

}  // namespace lir2

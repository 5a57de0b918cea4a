#include "sim/monitor_firmware.h"

#include <algorithm>
#include <limits>

namespace lir2 {

namespace {

constexpr quint8 kCr = 0x0D;
constexpr quint8 kLf = 0x0A;
constexpr quint8 kEsc = 0xDB;
constexpr quint8 kEscLf = 0xDC;
constexpr quint8 kEscEsc = 0xDD;
constexpr int kLongestTextCommand = 13;  // "PCWR", address, data, checksum, CR, LF
constexpr int kNoiseLimit = 40;          // a "line" this long without LF is noise

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void appendHex(QByteArray& out, quint8 v, bool lower) {
  const char* digits = lower ? "0123456789abcdef" : "0123456789ABCDEF";
  out.append(digits[v >> 4]);
  out.append(digits[v & 0x0F]);
}

void appendEscaped(QByteArray& out, quint8 v) {
  if (v == kLf) {
    out.append(static_cast<char>(kEsc));
    out.append(static_cast<char>(kEscLf));
  } else if (v == kEsc) {
    out.append(static_cast<char>(kEsc));
    out.append(static_cast<char>(kEscEsc));
  } else {
    out.append(static_cast<char>(v));
  }
}

quint8 byteSum(const QByteArray& bytes) {
  quint8 s = 0;
  for (char c : bytes) s = static_cast<quint8>(s + static_cast<quint8>(c));
  return s;
}

}  // namespace

MonitorFirmware::MonitorFirmware(const FirmwareConfig& cfg, DeviceMemory& memory)
    : cfg_(cfg), mem_(memory), binary_(cfg.binaryEnabled()) {}

void MonitorFirmware::reset() {
  rx_ = Rx::Idle;
  line_.clear();
  binFields_.clear();
  reply_.clear();
  replyPos_ = 0;
  announced_ = false;
  resetAfterReply_ = false;
}

bool MonitorFirmware::silent() const {
  // The reply that reaches the limit still goes out whole.
  return cfg_.silentAfterFrames >= 0 && answered_ >= cfg_.silentAfterFrames && reply_.isEmpty();
}

bool MonitorFirmware::idle(qint64 now) const {
  const bool replying = !reply_.isEmpty() && now - lastReplyAt_ <= cfg_.replyEchoTimeoutMs;
  const bool receiving = rx_ != Rx::Idle && now - lastRxAt_ <= cfg_.frameGapMs;
  return !replying && !receiving && now >= restartingUntil_;
}

qint64 MonitorFirmware::busyUntil() const {
  qint64 until = restartingUntil_;
  if (!reply_.isEmpty()) until = std::max(until, lastReplyAt_ + cfg_.replyEchoTimeoutMs + 1);
  if (rx_ != Rx::Idle) until = std::max(until, lastRxAt_ + cfg_.frameGapMs + 1);
  return until;
}

void MonitorFirmware::receive(quint8 byte, qint64 now, OutputQueue& out) {
  if (silent() || now < restartingUntil_) return;
  if (!reply_.isEmpty()) {
    if (now - lastReplyAt_ <= cfg_.replyEchoTimeoutMs &&
        byte == static_cast<quint8>(reply_[replyPos_ - 1])) {
      lastReplyAt_ = now;
      sendNextReplyByte(now, out);
      return;
    }
    // Not the echo: the host has moved on. The rest of the reply is dropped and the byte
    // is the start of whatever the host sends next.
    if (now - lastReplyAt_ <= cfg_.replyEchoTimeoutMs) ++echoMismatches_;
    reply_.clear();
    replyPos_ = 0;
  }
  inputByte(byte, now, out);
}

void MonitorFirmware::inputByte(quint8 byte, qint64 now, OutputQueue& out) {
  if (rx_ != Rx::Idle && now - lastRxAt_ > cfg_.frameGapMs) {
    // The host stopped in the middle of a command; start over with this byte.
    rx_ = Rx::Idle;
    line_.clear();
  }
  lastRxAt_ = now;
  out.push(now, byte);  // echo

  if (rx_ == Rx::Idle) {
    if (binary_ && (byte == 'r' || byte == 'w')) {
      rx_ = Rx::Binary;
      binLetter_ = byte;
      binSum_ = byte;
      binEscape_ = false;
      binBroken_ = false;
      binHaveChecksum_ = false;
      binFields_.clear();
      return;
    }
    rx_ = Rx::Text;
    line_.clear();
  }
  if (rx_ == Rx::Text)
    textByte(byte, now, out);
  else
    binaryByte(byte, now, out);
}

void MonitorFirmware::textByte(quint8 byte, qint64 now, OutputQueue& out) {
  line_.append(static_cast<char>(byte));
  if (byte != kLf) {
    if (line_.size() > kNoiseLimit) {
      line_.clear();
      rx_ = Rx::Idle;
    }
    return;
  }
  rx_ = Rx::Idle;
  // Lines that are not commands (a stray line end, a command of another format) get no
  // answer: the device only speaks when spoken to in its own language.
  if (!line_.startsWith("PC")) {
    line_.clear();
    return;
  }
  Outcome o = forcedError() ? Outcome{cfg_.errorByte, {}, false} : runTextLine(now);
  line_.clear();
  answer(std::move(o), false, now, out);
}

MonitorFirmware::Outcome MonitorFirmware::runTextLine(qint64 now) {
  const QByteArray cmd = line_.left(4);
  const bool write = cmd == "PCWR";
  const bool block = cmd == "PCPR";
  Outcome bad;
  if (!write && !block && cmd != "PCRD") {
    bad.error = kErrFrame;
    return bad;
  }
  const int length = write ? kLongestTextCommand : kLongestTextCommand - 2;
  if (line_.size() != length || static_cast<quint8>(line_[length - 2]) != kCr) {
    bad.error = kErrFrame;
    return bad;
  }
  const int digits = length - 6;  // between the command and CR LF
  int values[7] = {};
  for (int i = 0; i < digits; ++i) {
    values[i] = hexValue(line_[4 + i]);
    if (values[i] < 0) {
      bad.error = kErrNotHex;
      return bad;
    }
  }
  const int address = (values[0] << 8) | (values[1] << 4) | values[2];
  quint8 sum = static_cast<quint8>(line_[4] + line_[5] + line_[6]);
  quint8 data = 0;
  if (write) {
    data = static_cast<quint8>((values[3] << 4) | values[4]);
    sum = static_cast<quint8>(sum + data);
  }
  const quint8 checksum = static_cast<quint8>((values[digits - 2] << 4) | values[digits - 1]);
  if (static_cast<quint8>(sum + checksum) != 0) {
    bad.error = kErrChecksum;
    return bad;
  }
  if (write) return writeMemory(address, QByteArray(1, static_cast<char>(data)), now);
  return readMemory(address, block ? 16 : 1, now);
}

void MonitorFirmware::binaryByte(quint8 byte, qint64 now, OutputQueue& out) {
  const int wanted =
      3 + (binLetter_ == 'w' && !binFields_.isEmpty() ? static_cast<quint8>(binFields_[0]) + 1 : 0);
  if (binHaveChecksum_) {
    rx_ = Rx::Idle;
    Outcome o;
    if (forcedError())
      o.error = cfg_.errorByte;
    else if (byte != kLf)
      o.error = kErrFrame;
    else if (static_cast<quint8>(binSum_ + binChecksum_) != 0)
      o.error = kErrChecksum;
    else
      o = runBinaryFrame(now);
    answer(std::move(o), true, now, out);
    return;
  }
  if (byte == kLf && binFields_.size() < wanted) {
    // An LF never stands inside the escaped fields (not even as the second byte of a pair):
    // the command ended early, or ends here after a bad escape.
    rx_ = Rx::Idle;
    Outcome o;
    o.error = forcedError() ? cfg_.errorByte : kErrFrame;
    answer(std::move(o), true, now, out);
    return;
  }
  if (binBroken_) return;  // after a bad escape: wait for the LF that ends the command
  if (binFields_.size() >= wanted) {
    binChecksum_ = byte;
    binHaveChecksum_ = true;
    return;
  }
  binSum_ = static_cast<quint8>(binSum_ + byte);
  if (binEscape_) {
    binEscape_ = false;
    if (byte == kEscLf)
      binFields_.append(static_cast<char>(kLf));
    else if (byte == kEscEsc)
      binFields_.append(static_cast<char>(kEsc));
    else
      binBroken_ = true;
    return;
  }
  if (byte == kEsc) {
    binEscape_ = true;
    return;
  }
  binFields_.append(static_cast<char>(byte));
}

MonitorFirmware::Outcome MonitorFirmware::runBinaryFrame(qint64 now) {
  const int count = static_cast<quint8>(binFields_[0]) + 1;
  const int address =
      (static_cast<quint8>(binFields_[1]) << 8) | static_cast<quint8>(binFields_[2]);
  if (binLetter_ == 'w') return writeMemory(address, binFields_.mid(3), now);
  return readMemory(address, count, now);
}

MonitorFirmware::Outcome MonitorFirmware::readMemory(int address, int count, qint64 now) {
  Outcome o;
  if (address + count - 1 > DeviceMemory::kLastAddress) {
    o.error = kErrReserved;
    return o;
  }
  for (int i = 0; i < count; ++i) o.data.append(static_cast<char>(mem_.read(address + i, now)));
  return o;
}

MonitorFirmware::Outcome MonitorFirmware::writeMemory(int address, const QByteArray& data,
                                                      qint64 now) {
  Outcome o;
  o.write = true;
  if (address == 0) {
    // The command register takes one code at a time.
    if (data.size() != 1) {
      o.error = kErrFrame;
      return o;
    }
    const quint8 code = static_cast<quint8>(data[0]);
    if (code == 3) {
      announced_ = true;
      return o;
    }
    announced_ = false;
    if (!mem_.command(code, now))
      o.error = kErrReserved;
    else if (code == 6)
      resetAfterReply_ = true;
    return o;
  }
  // One announcement covers one write, whether or not that write succeeds.
  const bool announced = announced_;
  announced_ = false;
  if (address + data.size() - 1 > DeviceMemory::kLastAddress) {
    o.error = kErrReserved;
    return o;
  }
  if (!announced) {
    o.error = kErrNotAnnounced;
    return o;
  }
  for (int i = 0; i < data.size(); ++i) mem_.write(address + i, static_cast<quint8>(data[i]));
  return o;
}

QByteArray MonitorFirmware::textReply(const Outcome& o) const {
  const bool fault = faultActive();
  const bool lower = fault && cfg_.lowerCaseHex;
  const quint8 skew = fault && cfg_.badChecksum ? 1 : 0;
  QByteArray r;
  if (o.error != 0) {
    r = "MEr";
    appendHex(r, o.error, lower);
    appendHex(r, static_cast<quint8>(-o.error + skew), lower);
  } else {
    r = "MOk";
    if (!o.write) {
      for (char c : o.data) appendHex(r, static_cast<quint8>(c), lower);
      appendHex(r, static_cast<quint8>(-byteSum(o.data) + skew), lower);
    }
  }
  r.append("\r\n");
  return r;
}

QByteArray MonitorFirmware::binaryReply(const Outcome& o) const {
  const bool fault = faultActive();
  QByteArray r;
  if (o.error != 0) {
    r.append('e');
    appendEscaped(r, o.error);
  } else {
    r.append('o');
    for (char c : o.data) appendEscaped(r, static_cast<quint8>(c));
  }
  // The checksum makes the whole line, letter and escape pairs included, sum to zero.
  const quint8 k = static_cast<quint8>(-byteSum(r) + (fault && cfg_.badChecksum ? 1 : 0));
  r.append(static_cast<char>(k));
  r.append(static_cast<char>(kLf));
  return r;
}

void MonitorFirmware::answer(Outcome o, bool binary, qint64 now, OutputQueue& out) {
  if (faultActive() && cfg_.dropReply) {
    // Done, but not a word of it reaches the host (a reset still restarts the controller).
    ++answered_;
    if (resetAfterReply_) {
      resetAfterReply_ = false;
      restartingUntil_ = now + kResetSilenceMs;
      reset();
    }
    return;
  }
  QByteArray r = binary ? binaryReply(o) : textReply(o);
  if (faultActive() && cfg_.missingLf) r.chop(1);
  ++answered_;
  reply_ = r;
  replyPos_ = 0;
  lastReplyAt_ = now;
  sendNextReplyByte(now, out);
}

void MonitorFirmware::sendNextReplyByte(qint64 now, OutputQueue& out) {
  if (replyPos_ >= reply_.size()) {
    reply_.clear();
    replyPos_ = 0;
    return;
  }
  out.push(now, static_cast<quint8>(reply_[replyPos_]));
  ++replyPos_;
  if (replyPos_ == reply_.size() && resetAfterReply_) {
    // The acknowledgement of a reset is out: the controller restarts and forgets everything.
    resetAfterReply_ = false;
    restartingUntil_ = now + kResetSilenceMs;
    reset();
  }
}

}  // namespace lir2

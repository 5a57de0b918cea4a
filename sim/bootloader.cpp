#include "sim/bootloader.h"

#include <algorithm>

namespace lir2 {

namespace {

constexpr quint8 kFrame = 'U';
constexpr quint8 kStuff = 'K';
constexpr quint8 kError = 'Z';
constexpr quint8 kErrorOffset = 28;
constexpr int kMaxCatchUpGreetings = 64;

// The second byte of a 'K' pair and the byte it stands for.
std::optional<quint8> unstuff(quint8 second) {
  switch (second) {
    case 'L':
      return 0x55;
    case 'M':
      return 0x4B;
    case 'N':
      return 0x5A;
    case 'C':
      return 0x57;
    default:
      return std::nullopt;
  }
}

// A wrong echo that is still not the error marker.
quint8 wrongEcho(quint8 byte) {
  quint8 w = byte ^ 0x01;
  if (w == kError) w = byte ^ 0x02;
  return w;
}

}  // namespace

Bootloader::Bootloader(const BootConfig& cfg) : cfg_(cfg) {
  cfg_.greetPeriodMs = std::max(cfg_.greetPeriodMs, 1);
  cfg_.greetFirstMs = std::max(cfg_.greetFirstMs, 0);
  restart(0);
}

void Bootloader::restart(qint64 now) {
  state_ = cfg_.silent ? State::Silent : State::Greeting;
  greetStart_ = now;
  nextGreetAt_ = now + cfg_.greetFirstMs;
  runPos_ = 0;
  opened_ = false;
  pendingK_ = false;
  inRecord_ = false;
  record_.clear();
}

void Bootloader::stop(qint64 now) {
  if (state_ == State::Silent) return;
  state_ = State::Expired;
  expiredAt_ = now;
}

bool Bootloader::greetingDue(qint64 at) const {
  return cfg_.windowMs <= 0 || at < greetStart_ + cfg_.windowMs;
}

std::optional<qint64> Bootloader::windowEndsAt() const {
  if (cfg_.windowMs <= 0) return std::nullopt;
  switch (state_) {
    case State::Greeting:
      return greetStart_ + cfg_.windowMs;
    case State::Rebooting:
    case State::Failed:
      return resumeAt_ + cfg_.windowMs;
    default:
      return std::nullopt;
  }
}

std::optional<qint64> Bootloader::nextOutputAt() const {
  switch (state_) {
    case State::Greeting:
      if (greetingDue(nextGreetAt_)) return nextGreetAt_;
      return std::nullopt;
    case State::Rebooting:
    case State::Failed:
      if (cfg_.windowMs <= 0 || cfg_.greetFirstMs < cfg_.windowMs)
        return resumeAt_ + cfg_.greetFirstMs;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

void Bootloader::advance(qint64 now, OutputQueue& out) {
  for (;;) {
    if ((state_ == State::Rebooting || state_ == State::Failed) && now >= resumeAt_) {
      restart(resumeAt_);
      continue;
    }
    if (state_ != State::Greeting) return;
    if (nextGreetAt_ <= now &&
        now - nextGreetAt_ > qint64(kMaxCatchUpGreetings) * cfg_.greetPeriodMs) {
      // Nobody listened for a long time; what the line buffer would hold is plenty.
      const qint64 skip = (now - nextGreetAt_) / cfg_.greetPeriodMs - kMaxCatchUpGreetings;
      nextGreetAt_ += skip * cfg_.greetPeriodMs;
    }
    while (nextGreetAt_ <= now && greetingDue(nextGreetAt_)) {
      out.push(nextGreetAt_, cfg_.greeting);
      ++greetings_;
      nextGreetAt_ += cfg_.greetPeriodMs;
    }
    if (cfg_.windowMs > 0 && now >= greetStart_ + cfg_.windowMs) {
      state_ = State::Expired;
      expiredAt_ = greetStart_ + cfg_.windowMs;
    }
    return;
  }
}

void Bootloader::receive(quint8 byte, qint64 now, OutputQueue& out) {
  switch (state_) {
    case State::Greeting:
      // Only the two mode letters mean anything here; line noise is ignored.
      if (byte == 'l' || byte == 'f') {
        mode_ = static_cast<char>(byte);
        out.push(now, cfg_.modeAnswer ? *cfg_.modeAnswer : static_cast<quint8>(byte - 32));
        out.push(now, static_cast<quint8>('0' + cfg_.version));
        out.push(now, static_cast<quint8>('0' + cfg_.powerBoard));
        if (cfg_.version >= 11) {
          out.push(now, static_cast<quint8>('0' + cfg_.cpuFlag));
          out.push(now, static_cast<quint8>('0' + cfg_.controllerBoard));
        }
        state_ = State::AwaitRun;
        runPos_ = 0;
      }
      return;
    case State::AwaitRun:
      // "run" letter by letter, without echo; '#' or anything else abandons the load.
      if (byte == static_cast<quint8>("run"[runPos_])) {
        if (++runPos_ == 3) {
          if (!cfg_.noRunAck) out.push(now, 'y');
          // A new program begins; an abandoned dialogue leaves the last upload on record.
          upload_ = Upload{};
          upload_.mode = mode_;
          state_ = State::Transfer;
          opened_ = false;
          pendingK_ = false;
          inRecord_ = false;
          base_ = 0;
        }
      } else {
        restart(now);
      }
      return;
    case State::Transfer:
      transferByte(byte, now, out);
      return;
    case State::Failed:
      resumeAt_ = now + cfg_.recoverQuietMs;  // the rest of a broken transfer is still coming
      return;
    case State::Expired:
    case State::Rebooting:
    case State::Silent:
      return;
  }
}

void Bootloader::transferByte(quint8 byte, qint64 now, OutputQueue& out) {
  const int index = ++upload_.transferBytes;
  if (index == cfg_.errorAt) {
    fail(cfg_.errorCode, now, out);
    return;
  }
  quint8 code = 0;
  bool closing = false;
  if (!opened_) {
    if (byte == kFrame)
      opened_ = true;
    else
      code = kCodeWrongData;
  } else if (pendingK_) {
    pendingK_ = false;
    const std::optional<quint8> value = unstuff(byte);
    code = value ? takeProgramByte(*value) : kCodeWrongData;
  } else if (byte == kStuff) {
    pendingK_ = true;
  } else if (byte == kFrame) {
    closing = true;
    if (inRecord_) code = kCodeWrongData;  // the last record was cut short
  } else {
    code = takeProgramByte(byte);
  }
  if (code != 0) {
    fail(code, now, out);
    return;
  }
  out.push(now, index == cfg_.wrongEchoAt ? wrongEcho(byte) : byte);
  if (closing) {
    upload_.completed = true;
    ++completed_;
    if (!cfg_.noEnd) out.push(now, ')');
    state_ = State::Rebooting;
    resumeAt_ = now + cfg_.rebootMs;
  }
}

quint8 Bootloader::takeProgramByte(quint8 value) {
  if (!inRecord_) {
    if (value != ':') return kCodeWrongData;
    inRecord_ = true;
    record_.clear();
    return 0;
  }
  record_.append(static_cast<char>(value));
  // count, address high, address low, type, count data bytes, checksum
  if (record_.size() < static_cast<quint8>(record_[0]) + 5) return 0;
  inRecord_ = false;
  return finishRecord();
}

quint8 Bootloader::finishRecord() {
  quint8 sum = 0;
  for (char c : record_) sum = static_cast<quint8>(sum + static_cast<quint8>(c));
  if (sum != 0) return kCodeBadChecksum;
  const int count = static_cast<quint8>(record_[0]);
  const quint32 address = (static_cast<quint8>(record_[1]) << 8) | static_cast<quint8>(record_[2]);
  const quint8 type = static_cast<quint8>(record_[3]);
  const auto data = [&](int i) { return static_cast<quint8>(record_[4 + i]); };
  switch (type) {
    case 0:  // data
      for (int i = 0; i < count; ++i) upload_.image[base_ + address + i] = data(i);
      break;
    case 1:  // end of file
    case 3:  // start segment address
    case 5:  // start linear address
      break;
    case 2:  // extended segment address
    case 4:  // extended linear address
      if (count != 2) return kCodeWrongData;
      base_ = static_cast<quint32>((data(0) << 8) | data(1)) << (type == 2 ? 4 : 16);
      break;
    default:
      return kCodeReservedRecord;
  }
  upload_.records.append(record_);
  return 0;
}

void Bootloader::fail(quint8 code, qint64 now, OutputQueue& out) {
  out.push(now, kError);
  out.push(now, static_cast<quint8>(code + kErrorOffset));
  upload_.failure = code;
  state_ = State::Failed;
  resumeAt_ = now + cfg_.recoverQuietMs;
}

}  // namespace lir2

#include "frames.h"

#include <algorithm>

#include "protocol/result_messages.h"
#include "serial/exchange.h"
#include "serial/result_code.h"

namespace lir2 {

namespace {

constexpr quint8 kCr = 0x0D;
constexpr quint8 kLf = 0x0A;
constexpr quint8 kEsc = 0xDB;
constexpr quint8 kEscLf = 0xDC;
constexpr quint8 kEscEsc = 0xDD;

constexpr Result kLineFault = Result::BadReplyLine;
constexpr Result kNotHex = Result::NotHexDigit;
constexpr Result kChecksum = Result::ReplyChecksum;
constexpr Result kBadEscape = Result::DeviceBadFrame;

static_assert(Frames::kBinaryLineMax + 1 <= Exchange::kReplyBufSize,
              "the longest binary reply and its terminating zero fit the reply buffer");

bool startsWith(const std::array<quint8, Exchange::kReplyBufSize>& buf, const char (&text)[4]) {
  return buf[0] == quint8(text[0]) && buf[1] == quint8(text[1]) && buf[2] == quint8(text[2]);
}

}  // namespace

char HexDigitChar(quint8 value) {
  return static_cast<char>(value < 10 ? '0' + value : 'A' + value - 10);
}

quint16 firmwareVersionOf(quint8 cell) {
  return static_cast<quint16>((cell & 0x1F) * 10 + (cell >> 5));
}

bool binaryFramesFor(quint8 generation, quint16 firmwareVersion, bool current) {
  if (generation >= 9 && firmwareVersion >= 110) return firmwareVersion >= 133;
  return current;
}

Frames::Frames(Exchange& exchange, FrameState& state) : ex_(exchange), st_(state) {}

Result Frames::fail(Result code) {
  ex_.ResultCode = code;
  return code;
}

bool Frames::HexDigitValue(quint8 c, quint8& value) {
  // The answer is the bool; the code waits in ResultCode for the reply's parser to return.
  if (c < '0') {
    (void)fail(kNotHex);
    return false;
  }
  const int v = c >= 'A' ? c - 55 : c - 48;
  if (v > 15) {
    (void)fail(kNotHex);
    return false;
  }
  value = static_cast<quint8>(v);
  return true;
}

Result Frames::sendByte(quint8 byte) {
  ex_.TxByte = byte;
  return ex_.ExchangeByte(LogChar, false);
}

Result Frames::SendTextCommand(QByteArrayView command, quint16 address, int kind, quint8 data) {
  // Three digits reach 0xFFF; a larger address would go out as other characters and could
  // name another cell.
  if (address > 0xFFF) return fail(kRefused);
  for (char c : command)
    if (const Result r = sendByte(static_cast<quint8>(c)); r != Result::Ok) return r;
  const quint8 digits[3] = {static_cast<quint8>(HexDigitChar(address >> 8)),
                            static_cast<quint8>(HexDigitChar((address >> 4) & 15)),
                            static_cast<quint8>(HexDigitChar(address & 15))};
  quint8 sum = 0;
  for (quint8 d : digits) {
    if (const Result r = sendByte(d); r != Result::Ok) return r;
    sum = static_cast<quint8>(sum + d);
  }
  if (kind == FrameWrite) {
    if (const Result r = sendByte(HexDigitChar(data >> 4)); r != Result::Ok) return r;
    if (const Result r = sendByte(HexDigitChar(data & 15)); r != Result::Ok) return r;
    // The data byte counts with its value, the address with its characters.
    sum = static_cast<quint8>(sum + data);
  }
  const quint8 check = static_cast<quint8>(-sum);
  for (quint8 b : {static_cast<quint8>(HexDigitChar(check >> 4)),
                   static_cast<quint8>(HexDigitChar(check & 15)), kCr, kLf})
    if (const Result r = sendByte(b); r != Result::Ok) return r;
  return Result::Ok;
}

Result Frames::receiveLine(int max, bool& complete) {
  // A fresh buffer: what an earlier, longer reply left behind must never complete this one.
  ex_.ReplyBuf.fill(0);
  lineLength_ = 0;
  complete = false;
  max = std::clamp(max, 0, Exchange::kReplyBufSize - 1);
  for (int i = 0; i < max; ++i) {
    if (const Result r = ex_.ReadByte(ex_.logReads() ? LogChar : LogNone); r != Result::Ok)
      return r;
    const quint8 byte = ex_.RxByte;
    ex_.ReplyBuf[i] = byte;
    lineLength_ = i + 1;
    // The device sends its next byte only when this one has come back.
    ex_.TxByte = byte;
    if (const Result r = ex_.WriteByte(ex_.logWrites() ? LogChar : LogNone); r != Result::Ok)
      return r;
    if (byte == kLf) {
      ex_.ReplyBuf[i + 1] = 0;
      complete = true;
      return Result::Ok;
    }
  }
  return Result::Ok;
}

Result Frames::ParseHexReply(int n) {
  const auto& buf = ex_.ReplyBuf;
  // A text reply carries one byte or up to sixteen; more would not fit its line.
  if (n < 1 || n > 16) return fail(kRefused);
  quint8 sum = 0;
  for (int i = 0; i < n; ++i) {
    quint8 hi = 0, lo = 0;
    if (!HexDigitValue(buf[3 + 2 * i], hi) || !HexDigitValue(buf[4 + 2 * i], lo)) return kNotHex;
    const quint8 byte = static_cast<quint8>(16 * hi + lo);
    st_.ReplyData[i] = byte;
    sum = static_cast<quint8>(sum + byte);
  }
  quint8 hi = 0, lo = 0;
  if (!HexDigitValue(buf[3 + 2 * n], hi) || !HexDigitValue(buf[4 + 2 * n], lo)) return kNotHex;
  const quint8 check = static_cast<quint8>(16 * hi + lo);
  if (static_cast<quint8>(sum + check) != 0) return fail(kChecksum);
  st_.ReplyByte0 = st_.ReplyData[0];
  return Result::Ok;
}

Result Frames::ReadTextReply(int kind, int n) {
  if (kind == FrameRead && (n < 1 || n > 16)) return fail(kRefused);
  bool complete = false;
  if (const Result r = receiveLine(kTextLineMax, complete); r != Result::Ok) return r;
  if (!complete) return fail(kLineFault);
  const auto& buf = ex_.ReplyBuf;
  if (startsWith(buf, "MOk")) {
    if (kind == FrameWrite) return buf[3] == kCr && buf[4] == kLf ? Result::Ok : fail(kLineFault);
    if (kind != FrameRead) return fail(kLineFault);
    if (buf[5 + 2 * n] != kCr || buf[6 + 2 * n] != kLf) return fail(kLineFault);
    return ParseHexReply(n);
  }
  if (startsWith(buf, "MEr")) {
    if (buf[7] != kCr || buf[8] != kLf) return fail(kLineFault);
    if (const Result r = ParseHexReply(1); r != Result::Ok) return r;
    return fail(deviceErrorCode(st_.ReplyByte0));
  }
  return fail(kLineFault);
}

Result Frames::sendEscaped(quint8 byte, quint8& sum) {
  quint8 onLine[2] = {byte, 0};
  int count = 1;
  if (byte == kLf || byte == kEsc) {
    onLine[0] = kEsc;
    onLine[1] = byte == kLf ? kEscLf : kEscEsc;
    count = 2;
  }
  for (int i = 0; i < count; ++i) {
    if (const Result r = sendByte(onLine[i]); r != Result::Ok) return r;
    sum = static_cast<quint8>(sum + onLine[i]);
  }
  return Result::Ok;
}

Result Frames::SendBinaryCommand(quint8 letter, quint16 address, quint8 n) {
  if (const Result r = sendByte(letter); r != Result::Ok) return r;
  quint8 sum = letter;
  for (quint8 b : {n, static_cast<quint8>(address >> 8), static_cast<quint8>(address & 0xFF)})
    if (const Result r = sendEscaped(b, sum); r != Result::Ok) return r;
  if (letter == 'w') {
    for (int i = 0; i <= n; ++i)
      if (const Result r = sendEscaped(st_.TxData[i], sum); r != Result::Ok) return r;
  }
  // The checksum goes out as it is, even when it is 0x0A or 0xDB.
  if (const Result r = sendByte(static_cast<quint8>(-sum)); r != Result::Ok) return r;
  return sendByte(kLf);
}

bool Frames::takeEscaped(int& pos, quint8& sum, quint8& value) {
  const auto& buf = ex_.ReplyBuf;
  const quint8 byte = buf[pos++];
  sum = static_cast<quint8>(sum + byte);
  if (byte != kEsc) {
    value = byte;
    return true;
  }
  const quint8 second = buf[pos++];
  sum = static_cast<quint8>(sum + second);
  if (second == kEscEsc) {
    value = kEsc;
    return true;
  }
  if (second == kEscLf) {
    value = kLf;
    return true;
  }
  return false;
}

Result Frames::ReadBinaryReply(int kind, quint8 n) {
  bool complete = false;
  if (const Result r = receiveLine(kBinaryLineMax, complete); r != Result::Ok) return r;
  // A line longer than any reply: the buffer holds no more, and nothing of it can be trusted.
  if (!complete) return fail(kLineFault);
  const auto& buf = ex_.ReplyBuf;
  // Positions below stay within the buffer: at most 1 + 2 × 256 + 2 bytes are looked at, and
  // bytes past the line read as the zeros of the fresh buffer.
  if (buf[0] == 'o') {
    if (kind == FrameWrite)
      return static_cast<quint8>('o' + buf[1]) == 0 && buf[2] == kLf ? Result::Ok
                                                                     : fail(kLineFault);
    if (kind != FrameRead) return fail(kLineFault);
    quint8 sum = 'o';
    int pos = 1;
    for (int i = 0; i <= n; ++i) {
      quint8 value = 0;
      if (!takeEscaped(pos, sum, value)) return fail(kBadEscape);
      st_.ReplyData[i] = value;
    }
    st_.ReplyByte0 = st_.ReplyData[0];
    const quint8 check = buf[pos++];
    if (static_cast<quint8>(sum + check) != 0) return fail(kChecksum);
    if (buf[pos] != kLf) return fail(kLineFault);
    return Result::Ok;
  }
  if (buf[0] == 'e') {
    ex_.ResultCode = Result::Ok;
    quint8 sum = 'e';
    int pos = 1;
    quint8 error = 0;
    if (!takeEscaped(pos, sum, error)) return fail(kBadEscape);
    st_.ReplyByte0 = error;
    const quint8 check = buf[pos++];
    if (static_cast<quint8>(sum + check) != 0) return fail(kChecksum);
    if (buf[pos] != kLf) return fail(kLineFault);
    return fail(deviceErrorCode(error));
  }
  return fail(kLineFault);
}

Result Frames::ReadDeviceMemory(quint16 address, quint8 last) {
  if (st_.BinaryFrames) {
    if (const Result r = SendBinaryCommand('r', address, last); r != Result::Ok) return r;
    return ReadBinaryReply(FrameRead, last);
  }
  const quint8 n = static_cast<quint8>(last + 1);
  if (n == 16) {
    if (const Result r = SendTextCommand("PCPR", address, FrameRead, 0); r != Result::Ok) return r;
    return ReadTextReply(FrameRead, 16);
  }
  // Several "PCRD" in a row would be answered in a way nobody defined; nothing asks for it.
  if (n != 1) return fail(kRefused);
  if (const Result r = SendTextCommand("PCRD", address, FrameRead, 0); r != Result::Ok) return r;
  return ReadTextReply(FrameRead, 1);
}

}  // namespace lir2

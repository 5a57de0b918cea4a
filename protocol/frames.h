#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <array>

#include "serial/result_code.h"

namespace lir2 {

class Exchange;

// What the memory commands leave behind: the decoded reply, the data of a write frame, and
// which of the two frame formats the device is spoken to in.
struct FrameState {
  static constexpr int kReplyDataSize = 256;
  static constexpr int kTxDataSize = 260;

  std::array<quint8, kReplyDataSize> ReplyData{};  // decoded data bytes of the last reply
  quint8 ReplyByte0 = 0;  // first decoded byte: a single read's value, or the device's error byte
  std::array<quint8, kTxDataSize> TxData{};  // data bytes of a binary write frame
  bool BinaryFrames = false;                 // false: text frames ("PC.." / "M.."); true: binary
};

// The kind argument of the frame operations.
enum FrameKind : int {
  FrameRead = 1,
  FrameWrite = 2,
};

// Upper-case hexadecimal digit of a value 0..15.
char HexDigitChar(quint8 value);

// The device's firmware version from its EEPROM cell: major (bits 0-4) × 10 + minor (bits 5-7);
// 0x6D is 13.3, i.e. 133.
quint16 firmwareVersionOf(quint8 cell);
// The frame format after the device identified itself (generation, firmware version): boards of
// generation 9 on with firmware 11.0 on speak binary frames from 13.3 on and text before; for
// older boards nothing is known, so the format stays as it was.
bool binaryFramesFor(quint8 generation, quint16 firmwareVersion, bool current);

// The monitor's memory commands on the exchange: text frames "PCRD"/"PCPR"/"PCWR" answered
// "MOk"/"MEr", and binary frames "r"/"w" answered "o"/"e". Every byte sent must come back as its
// echo; every reply byte is echoed to the device. Each operation returns 0 or the code of its
// failure, which is then also in the exchange's ResultCode.
class Frames {
 public:
  // The longest text reply ("MOk", sixteen bytes as hex, checksum, CR, LF).
  static constexpr int kTextLineMax = 39;
  // The longest binary reply (letter, 256 data bytes each escaped to two, checksum, LF); the
  // reply buffer keeps one byte more for the zero behind the line.
  static constexpr int kBinaryLineMax = 515;
  // The refusal of a read no frame of the format can ask for ("Не известная операция").
  static constexpr Result kRefused = Result::Unknown;

  Frames(Exchange& exchange, FrameState& state);

  // Sends command (four letters), the address as three hex digits, for a write the data byte
  // as two, the checksum as two, CR, LF. An address above 0xFFF does not fit a text frame and
  // is refused without sending anything.
  Result SendTextCommand(QByteArrayView command, quint16 address, int kind, quint8 data);
  // Receives and checks a text reply: a write acknowledgement (kind 2) or n data bytes (kind 1,
  // n from 1 to 16). An "MEr" reply gives the code of the device's error byte.
  Result ReadTextReply(int kind, int n);
  // Decodes n data bytes and the checksum of the text reply in ReplyBuf.
  Result ParseHexReply(int n);
  // Sends letter, count n, address high and low, for 'w' the first n + 1 bytes of TxData (all
  // escaped), the checksum (not escaped) and LF.
  Result SendBinaryCommand(quint8 letter, quint16 address, quint8 n);
  // Receives and checks a binary reply: a write acknowledgement (kind 2) or n + 1 data bytes
  // (kind 1). An "e" reply gives the code of the device's error byte.
  Result ReadBinaryReply(int kind, quint8 n);
  // Reads last + 1 bytes from the address into ReplyData (the first also into ReplyByte0) in
  // the current format. Text frames carry one byte or sixteen: other lengths are refused.
  Result ReadDeviceMemory(quint16 address, quint8 last);

  // Value of a hex digit of a reply. '0'..'9', 'A'..'F' and the six characters after '9'
  // (':'..'?' read as 10..15) are digits; anything else fails with 18.
  bool HexDigitValue(quint8 c, quint8& value);

  // Bytes of the last reply line as received (LF included when it came).
  int lineLength() const { return lineLength_; }

 private:
  Result fail(Result code);
  // One byte on the line under the echo discipline.
  Result sendByte(quint8 byte);
  // One byte of a binary frame's fields, escaped; adds what went on the line to sum.
  Result sendEscaped(quint8 byte, quint8& sum);
  // The reply line into ReplyBuf, each byte echoed, up to LF or max bytes; true when the LF
  // came. A zero follows the line in the buffer.
  Result receiveLine(int max, bool& complete);
  // The next data byte of a binary reply at pos, unescaped; adds the line bytes to sum.
  bool takeEscaped(int& pos, quint8& sum, quint8& value);

  Exchange& ex_;
  FrameState& st_;
  int lineLength_ = 0;
};

}  // namespace lir2

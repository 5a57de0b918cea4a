#pragma once

#include <QtGlobal>

namespace lir2 {

// The outcome of an exchange with the device: Ok is success, every other value names one
// failure. The values are the device family's own numbering (the messages in
// protocol/result_messages.h, exit statuses and saved reports follow it), so every layer passes
// the code up unchanged; a discarded result is a failure nobody looked at.
// (clang-format 14 reads the attribute as the start of an initializer.)
// clang-format off
enum class [[nodiscard]] Result : quint8 {
  Ok = 0,
  Interrupted = 1,  // the user stopped the run
  OpenFailed = 2,   // the port did not open
  ReadFailed = 3,
  WriteFailed = 4,         // a byte was not written
  WrongEcho = 5,           // the device echoed another byte
  NoCommandAck = 6,        // the bootloader did not confirm "run"
  WrongBootloader = 7,     // the bootloader answered the mode character wrongly
  ProgramWriteFailed = 8,  // codes 8 to 16: the bootloader's own, announced with 'Z'
  BadChecksum = 9,
  NoEndAck = 10,  // no ')' after the program
  BadStartAddress = 11,
  ReservedCommand = 12,
  WrongData = 13,
  WrongBoard = 14,
  WrongCpu = 15,
  SpiLoadFailed = 16,
  BadReplyLine = 17,  // a reply of the wrong shape
  NotHexDigit = 18,
  ReplyChecksum = 19,
  NoReply = 20,         // no byte within the time-out
  DeviceChecksum = 21,  // 21 to 26: the device's error byte, by its lowest set bit
  DeviceNoEcho = 22,
  DeviceBadFrame = 23,
  DeviceNotHex = 24,
  DeviceNotAnnounced = 25,
  DeviceReserved = 26,
  Unknown = 27,  // and every code above it
};
// clang-format on

// The number of a result, where a number is what is wanted: messages, exit statuses, reports.
constexpr quint8 codeOf(Result result) {
  return static_cast<quint8>(result);
}
// A code as a number came (the device's announced error, a stored report). Values above 27 are
// kept as they are: they read as Unknown's message but still print as their own number.
constexpr Result resultFromCode(quint8 code) {
  return static_cast<Result>(code);
}

}  // namespace lir2

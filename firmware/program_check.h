#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace lir2 {

// What is wrong with a firmware file's program, and where: the line as an editor numbers it
// (from 1, the header's lines counted) and the reason in words the user can act on.
struct ProgramFault {
  int line = 0;
  QString reason;
};

// Checks the Intel HEX records of a firmware text from position `from` on (behind the header)
// before anything is sent, exactly as written (intel_hex::Strictness::Exact): every line that is
// not empty is one record of ':' and an even number of upper-case hexadecimal digits, its byte
// count matches the line, its checksum is right and its type is one of 00 to 05; an end-of-file
// record (01) comes last, followed by nothing but line ends. A text without any record is
// refused too. Line numbers count from the start of `text`.
std::optional<ProgramFault> checkIntelHexProgram(QByteArrayView text, qsizetype from = 0);

// The error bar's text for a refused file: "Не верный файл", then the line and the reason.
QString wrongFileText(const ProgramFault& fault);

}  // namespace lir2

#include "firmware/program_check.h"

#include "serial/intel_hex.h"

namespace lir2 {

std::optional<ProgramFault> checkIntelHexProgram(QByteArrayView text, qsizetype from) {
  // Exact: the upload sends the text character by character, so a lower-case digit or a
  // stray blank would reach the device as a wrong byte.
  const intel_hex::Parsed parsed =
      intel_hex::parse(text, {.strictness = intel_hex::Strictness::Exact, .from = from});
  if (parsed.ok()) return std::nullopt;
  const intel_hex::Fault& fault = *parsed.fault;
  if (fault.kind == intel_hex::Fault::Kind::NoRecords)
    return ProgramFault{fault.line, QStringLiteral("в файле нет программы: после "
                                                   "заголовка нет ни одной записи")};
  return ProgramFault{fault.line, fault.reason};
}

QString wrongFileText(const ProgramFault& fault) {
  return QStringLiteral("Не верный файл, строка %1: %2")
      .arg(QString::number(fault.line), fault.reason);
}

}  // namespace lir2

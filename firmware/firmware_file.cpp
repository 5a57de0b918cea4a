#include "firmware/firmware_file.h"

#include <QFile>
#include <QFileInfo>

#include "firmware/upload.h"
#include "serial/shown_text.h"

namespace lir2 {

FirmwareFile readFirmwareFile(const QString& fileName, qint64 maxBytes) {
  FirmwareFile f;
  f.fileName = fileName;
  f.suspectName = !hasFirmwareExtension(fileName);
  // A FIFO would hold the reader until something writes into it, a device never ends.
  if (const QFileInfo info(fileName); info.exists() && !info.isFile() && !info.isDir()) {
    f.fault = FirmwareFile::ReadFault::CannotOpen;
    f.systemReason = QStringLiteral("не обычный файл (устройство или канал)");
    return f;
  }
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {  // a folder is refused here too
    f.fault = FirmwareFile::ReadFault::CannotOpen;
    f.systemReason = file.errorString();
    return f;
  }
  f.size = file.size();
  if (f.size > maxBytes) {
    f.fault = FirmwareFile::ReadFault::TooLarge;
    return f;
  }
  const QByteArray bytes = file.read(maxBytes + 1);
  if (file.error() != QFileDevice::NoError) {
    f.fault = FirmwareFile::ReadFault::ReadFailed;
    f.systemReason = file.errorString();
    return f;
  }
  // A file that grows while it is read (or a device posing as a file) is refused the same way.
  if (bytes.size() > maxBytes) {
    f.size = bytes.size();
    f.fault = FirmwareFile::ReadFault::TooLarge;
    return f;
  }
  f.size = bytes.size();
  f.text = withCrLfBreaks(bytes);
  f.header = decodeFirmwareHeader(f.text);
  return f;
}

QString frameworkReadError(const FirmwareFile& file) {
  if (file.fault == FirmwareFile::ReadFault::TooLarge)
    return cannotOpenFileMessage(
        shownPath(file.fileName),
        QStringLiteral("The file is too large for a firmware file (%1 bytes).").arg(file.size));
  return cannotOpenFileMessage(shownPath(file.fileName), file.systemReason);
}

namespace {

// The header as the file has it: up to its '#', at most the longest header's 14 characters.
QString headerShown(const QByteArray& text) {
  const qsizetype hash = text.left(14).indexOf('#');
  return shownText(fromSingleByteText(text.left(hash < 0 ? 14 : hash + 1)));
}

}  // namespace

QStringList firmwareFileProblems(const FirmwareFile& f) {
  const QString name = shownPath(f.fileName);
  switch (f.fault) {
    case FirmwareFile::ReadFault::None:
      break;
    case FirmwareFile::ReadFault::CannotOpen:
      if (!QFileInfo::exists(f.fileName)) return {QStringLiteral("Файл %1 не найден.").arg(name)};
      if (QFileInfo(f.fileName).isDir())
        return {QStringLiteral("%1 — это папка, а не файл прошивки.").arg(name)};
      return {QStringLiteral("Файл %1 не открывается для чтения (%2). Проверьте права на файл.")
                  .arg(name, f.systemReason)};
    case FirmwareFile::ReadFault::TooLarge:
      return {QStringLiteral("Файл %1 слишком велик для прошивки (%2 байт): это не файл прошивки.")
                  .arg(name)
                  .arg(f.size)};
    case FirmwareFile::ReadFault::ReadFailed:
      return {QStringLiteral("Файл %1 не прочитан до конца (%2).").arg(name, f.systemReason)};
  }

  QStringList problems;
  const FirmwareHeader& h = f.header;
  const QString wrong = QStringLiteral("Не верный файл: ");
  if (!h.deviceKind)
    problems << wrong + QStringLiteral("код устройства «%1» не известен (lir, lXP, orb или pel).")
                            .arg(shownText(fromSingleByteText(f.text.left(3))));
  if (h.notANumber)
    problems << wrong + QStringLiteral("в заголовке «%1» поле «%2» не число.")
                            .arg(headerShown(f.text), shownText(fromSingleByteText(*h.notANumber)));
  else if (h.failedChecks > 0)
    problems << wrong + QStringLiteral("заголовок «%1» не по формату (пример: lir3v12_4&15#).")
                            .arg(headerShown(f.text));
  // The program is checked whole, record by record, as the upload checks it before sending.
  if (const PreparedProgram p = prepareProgramText(f.text); !p.ok())
    problems << wrongFileText(p.fault);
  return problems;
}

}  // namespace lir2

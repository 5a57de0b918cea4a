#include "firmware/upload.h"

#include <QTime>

#include "serial/clock.h"
#include "serial/exchange.h"
#include "serial/result_code.h"

namespace lir2 {

namespace {

constexpr int kHeaderScan = 19;
constexpr char kFrame = 'U';
constexpr char kStuff = 'K';

}  // namespace

PreparedProgram prepareProgramText(QByteArrayView firmwareText) {
  PreparedProgram p;
  const qsizetype scan = std::min<qsizetype>(kHeaderScan, firmwareText.size());
  const qsizetype hash = firmwareText.first(scan).indexOf('#');
  if (hash < 0 && firmwareText.size() < kHeaderScan) {
    p.problem = PreparedProgram::Problem::TooShort;
    p.fault = {1, QStringLiteral("файл короче заголовка, и в нём нет «#»")};
    return p;
  }
  const qsizetype strip = std::min(hash < 0 ? kHeaderScan + 1 : hash + 1, firmwareText.size());
  p.text = firmwareText.sliced(strip).toByteArray();
  // A wrong character would go out as a wrong byte, a cut file as a part of the program: the
  // device might store either.
  if (auto fault = checkIntelHexProgram(firmwareText, strip)) {
    p.problem = PreparedProgram::Problem::BadRecord;
    p.fault = std::move(*fault);
  }
  return p;
}

char stuffingLetter(quint8 byte) {
  switch (byte) {
    case 0x55:
      return 'L';
    case 0x4B:
      return 'M';
    case 0x5A:
      return 'N';
    case 0x57:
      return 'C';
    default:
      return 0;
  }
}

QString elapsedTimeText(qint64 ms, const QLocale& locale) {
  QString format = locale.timeFormat(QLocale::LongFormat);
  // A duration has no zone and no half of the day: drop those parts and count 24 hours.
  format.remove(QLatin1Char('t'));
  format.remove(QLatin1String("AP"), Qt::CaseInsensitive);
  format.replace(QLatin1Char('h'), QLatin1Char('H'));
  format = format.trimmed();
  const QTime time = QTime(0, 0).addMSecs(ms < 0 ? 0 : ms % (24LL * 3600 * 1000));
  return locale.toString(time, format);
}

QString mismatchText(quint8 device, quint8 file, const QString& part) {
  return QStringLiteral("у устройства %1, файл для %2 (%3)").arg(device).arg(file).arg(part);
}

BootUpload::BootUpload(Exchange& exchange, UploadWindow& window, FileVersions file,
                       bool keepSettings)
    : ex_(exchange), window_(window), file_(file), keepSettings_(keepSettings) {}

Result BootUpload::fail(Result code) {
  // A stop explains every failure that follows it.
  ex_.ResultCode = ex_.stopped() ? Result::Interrupted : code;
  return ex_.ResultCode;
}

void BootUpload::abandon() {
  // Its result does not matter: the upload ends with the mismatch either way.
  ex_.TxByte = '#';
  (void)ex_.WriteByte(LogChar);
}

bool BootUpload::readVersion(quint8& value) {
  if (ex_.ReadByte(LogChar) != Result::Ok) return false;
  value = static_cast<quint8>(ex_.RxByte - '0');
  return true;
}

// The bootloader greets until it hears the mode character. Greetings that arrived while the
// matched one was read are still waiting: read after the mode character, the 'L' of "Load"
// would pass for the answer and "oa" for the versions. What is waiting is taken, and a greeting
// caught in the middle is read to its line feed, so the next byte is the bootloader's answer.
Result BootUpload::skipLateGreetings(qint64 start) {
  Clock& clock = ex_.clock();
  while (ex_.readReceived(LogChar, kLineBufSize) > 0) {
    for (;;) {
      if (clock.nowMs() - start > kGreetingTimeoutMs) return fail(Result::NoReply);
      if (ex_.RxByte == '\n') break;
      if (ex_.ReadByte(LogChar) != Result::Ok) return ex_.ResultCode;
    }
  }
  return Result::Ok;  // a stop meanwhile ends the write of the mode character
}

Result BootUpload::BootHandshake(char mode) {
  Clock& clock = ex_.clock();
  const qint64 start = clock.nowMs();
  static const QByteArray kGreeting("Load\r\n");
  window_.failureDetail.clear();

  // Lines are taken in pieces of at most 19 characters until one is exactly the greeting.
  QByteArray line;
  line.reserve(kLineBufSize);
  for (;;) {
    line.clear();
    do {
      if (ex_.ReadByte(LogChar) != Result::Ok) return ex_.ResultCode;
      line.append(static_cast<char>(ex_.RxByte));
    } while (ex_.RxByte != '\n' && line.size() < kLineBufSize - 1);
    if (line == kGreeting) break;
    if (clock.nowMs() - start > kGreetingTimeoutMs) return fail(Result::NoReply);
  }
  if (skipLateGreetings(start) != Result::Ok) return ex_.ResultCode;

  const char sent = keepSettings_ ? mode : 'f';
  ex_.TxByte = static_cast<quint8>(sent);
  if (ex_.WriteByte(LogChar) != Result::Ok) return ex_.ResultCode;
  if (ex_.ReadByte(LogChar) != Result::Ok) return ex_.ResultCode;
  if (ex_.RxByte != static_cast<quint8>(sent - 32)) return fail(Result::WrongBootloader);

  if (!readVersion(VerBoot)) return ex_.ResultCode;
  window_.setBootVersionText(QStringLiteral("VerBoot = %1").arg(VerBoot));
  if (!readVersion(DevVerPlatPow)) return ex_.ResultCode;
  if (DevVerPlatPow != file_.VerPlatPow) {
    abandon();
    window_.appendPowerBoardText(QStringLiteral(" != %1").arg(DevVerPlatPow));
    window_.failureDetail =
        mismatchText(DevVerPlatPow, file_.VerPlatPow, QStringLiteral("силовая плата"));
    return fail(Result::WrongBoard);
  }
  if (VerBoot >= 11) {
    if (!readVersion(DevVerCPU)) return ex_.ResultCode;
    if (DevVerCPU != file_.VerCPU) {
      abandon();
      window_.failureDetail = mismatchText(DevVerCPU, file_.VerCPU, QStringLiteral("процессор"));
      return fail(Result::WrongCpu);
    }
    if (!readVersion(DevVerPlatPic)) return ex_.ResultCode;
    if (DevVerPlatPic != file_.VerPlatPic) {
      abandon();
      window_.failureDetail =
          mismatchText(DevVerPlatPic, file_.VerPlatPic, QStringLiteral("плата контроллера"));
      return fail(Result::WrongBoard);
    }
  }

  for (char c : {'r', 'u', 'n'}) {
    ex_.TxByte = static_cast<quint8>(c);
    if (ex_.WriteByte(LogChar) != Result::Ok) return ex_.ResultCode;
  }
  // No answer at all is no 'y' either; RxByte would still hold the last version character.
  if (ex_.ReadByte(LogChar) != Result::Ok || ex_.RxByte != 'y') return fail(Result::NoCommandAck);
  ex_.appendRead('\r', LogChar);
  ex_.appendRead('\n', LogChar);
  ex_.appendWrite('\r', LogChar);
  ex_.appendWrite('\n', LogChar);
  return Result::Ok;
}

Result BootUpload::exchange(quint8 byte, int logMode) {
  ex_.TxByte = byte;
  return ex_.ExchangeByte(logMode, true);
}

Result BootUpload::sendStuffed(quint8 byte) {
  const char letter = stuffingLetter(byte);
  if (letter == 0) return exchange(byte, LogHex);
  if (const Result code = exchange(kStuff, LogChar); code != Result::Ok) return code;
  return exchange(static_cast<quint8>(letter), LogChar);
}

Result BootUpload::TransferProgram(QByteArrayView text) {
  if (const Result code = exchange(kFrame, LogChar); code != Result::Ok) return code;
  Clock& clock = ex_.clock();
  const qint64 start = clock.nowMs();
  bool highDigitNext = true;
  quint8 high = 0;
  qint64 shownSecond = -1;
  for (qsizetype i = 1; i <= text.size(); ++i) {
    // Stop and the closing of the window close the port: it must not be touched again.
    if (ex_.stopped()) return fail(Result::Interrupted);
    window_.setProgress(i);
    // The text changes once a second; formatting it for every character would be waste.
    if (const qint64 second = (clock.nowMs() - start) / 1000; second != shownSecond) {
      shownSecond = second;
      window_.setElapsedText(elapsedTimeText(second * 1000));
    }
    const char c = text[i - 1];
    if (c == '\r' || c == '\n') {
      if (ex_.logReads()) ex_.appendRead(static_cast<quint8>(c), LogChar);
      if (ex_.logWrites()) ex_.appendWrite(static_cast<quint8>(c), LogChar);
      continue;
    }
    quint8 byte = ':';
    if (c != ':') {
      const int digit = c < 'A' ? c - '0' : c - 55;
      if (highDigitNext) {
        high = static_cast<quint8>(16 * digit);
        highDigitNext = false;
        continue;
      }
      byte = static_cast<quint8>(high + digit);
      highDigitNext = true;
    }
    if (const Result code = sendStuffed(byte); code != Result::Ok) return code;
  }
  if (const Result code = exchange(kFrame, LogChar); code != Result::Ok) return code;
  // A silent device is no confirmation; RxByte would still hold the echo of the 'U'.
  if (ex_.ReadByte(LogChar) != Result::Ok || ex_.RxByte != ')') return fail(Result::NoEndAck);
  window_.setStateText(QStringLiteral("Файл Загружен"));
  return Result::Ok;
}

QString partialProgramText() {
  return QStringLiteral(
      "в устройстве осталась неполная программа: загрузите программу снова, до этого "
      "устройство не будет работать");
}

}  // namespace lir2

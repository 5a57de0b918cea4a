// lir2-cli upload: the firmware upload as the main window's LoadProg runs it.
#include "cli/cli_commands.h"
#include "cli/cli_line.h"
#include "cli/progress.h"
#include "cli/terminal.h"
#include "firmware/firmware_file.h"
#include "firmware/upload.h"
#include "firmware/upload_session.h"
#include "protocol/device_link.h"
#include "protocol/result_messages.h"
#include "serial/result_code.h"
#include "serial/run_stop.h"
#include "serial/shown_text.h"

namespace lir2 {

namespace {

const QString kKeep = QStringLiteral("--keep-settings");
const QString kReserve = QStringLiteral("--reserve");
const QString kErase = QStringLiteral("--erase-settings");

// What the window shows of an upload in its labels and status bars, as lines on the terminal, and
// its gauge as a progress bar.
class TerminalUpload {
 public:
  TerminalUpload(UploadSession& session, Clock& clock, QByteArrayView program, quint8 VerPlatPow)
      : clock_(clock),
        VerPlatPow_(VerPlatPow),
        progress_(program, terminalWidth(), [](const QString& text) { printOut(text); }) {
    // The session runs on this thread: each signal comes at once, while the upload runs.
    QObject::connect(&session, &UploadSession::bootVersionShown,
                     [](const QString& text) { printOut(text + QLatin1Char('\n')); });
    // A board mismatch: the window appends the device's version to the file's label.
    QObject::connect(&session, &UploadSession::powerBoardAppended, [this](const QString& text) {
      printOut(platPowLabelText(VerPlatPow_) + text + QLatin1Char('\n'));
    });
    QObject::connect(&session, &UploadSession::progressed,
                     [this](qint64 value) { progress_.update(value, clock_.nowMs()); });
    QObject::connect(&session, &UploadSession::stateShown, [this](const QString& text) {
      progress_.finish();
      printOut(text + QLatin1Char('\n'));
    });
    QObject::connect(&session, &UploadSession::finished,
                     [this](RunId, Result code, const QString& reason, bool partial) {
                       code_ = code;
                       reason_ = reason;
                       partial_ = partial;
                     });
  }

  UploadProgress& progress() { return progress_; }
  Result code() const { return code_; }
  bool partial() const { return partial_; }
  const QString& reason() const { return reason_; }

 private:
  Clock& clock_;
  quint8 VerPlatPow_;
  UploadProgress progress_;
  Result code_ = Result::Interrupted;  // a run that never began: stopped before its start
  bool partial_ = false;
  QString reason_;
};

int runUpload(const Invocation& inv) {
  if (inv.has(kErase) && (inv.has(kKeep) || inv.has(kReserve))) {
    printError(QStringLiteral("%1 и %2 исключают друг друга").arg(kErase, kKeep));
    return Exit::Usage;
  }
  QString error;
  const std::optional<LineChoice> choice = lineChoice(inv, error);
  if (!choice) {
    printError(shownText(error));
    return Exit::Usage;
  }

  // The file as the window's FileOpen1 reads it; what the window would refuse or flag as
  // "Не верный файл" is refused here before the port is touched.
  const FirmwareFile file = readFirmwareFile(inv.args.constFirst());
  const QStringList problems = firmwareFileProblems(file);
  if (!problems.isEmpty()) {
    for (const QString& p : problems) printError(p);
    // Too large to be firmware is no firmware, whether or not the rest of it could be read.
    return file.read() || file.fault == FirmwareFile::ReadFault::TooLarge ? Exit::NotFirmware
                                                                          : Exit::FileUnreadable;
  }
  if (file.suspectName) printError(QStringLiteral("предупреждение: в имени файла нет «.lir2»"));
  const FirmwareHeader& h = file.header;
  // Values a shorter header lacks stay as the window has them after its start: 0.
  const FileVersions versions{h.VerPlatPow.value_or(0), h.VerCPU.value_or(0),
                              h.VerPlatPic.value_or(0)};
  printOut(QStringLiteral("Файл: %1\n%2  %3  %4  %5  %6\n")
               .arg(shownPath(file.fileName), deviceLabelText(*h.deviceKind),
                    platPowLabelText(versions.VerPlatPow), platPicLabelText(versions.VerPlatPic),
                    firmwareVersionLabelText(h.VerPOMajor.value_or(0), h.VerPOMinor.value_or(0)),
                    cpuLabelText(versions.VerCPU)));

  CliLine line(*choice);
  UploadJob job;
  job.programText = prepareProgramText(file.text).text;
  job.versions = versions;
  job.keepSettings = !inv.has(kErase);
  job.port = line.settings(kUploadRate);
  printOut(QStringLiteral("Порт: %1, %2 бит/с, %3\nЗагрузка Файла\n")
               .arg(line.portText())
               .arg(kUploadRate)
               .arg(job.keepSettings ? QStringLiteral("настройки сохраняются")
                                     : QStringLiteral("настройки стираются")));

  DeviceLink& link = line.link();
  UploadSession session(link);
  TerminalUpload window(session, link.clock(), job.programText, versions.VerPlatPow);
  Interrupt::watch(&link);
  session.start(job);
  const Result code = window.code();
  window.progress().finish();
  if (code == Result::Ok) {
    printOut(QStringLiteral("Нет ошибок\n"));
  } else if (window.partial()) {
    printErr(QStringLiteral("Передано %1 из %2 байт программы: %3.\n")
                 .arg(window.progress().bytesSent())
                 .arg(window.progress().bytesTotal())
                 .arg(partialProgramText()));
  }
  // A mismatch names both versions, as the window's error bar does; a port that went away or did
  // not open is told by finish().
  if (code != Result::Ok && code != Result::OpenFailed && !link.port().lineLost() &&
      !window.reason().isEmpty()) {
    printError(resultMessage(code) + QStringLiteral(": ") + window.reason());
    return line.finish(code, true);
  }
  return line.finish(code);
}

}  // namespace

Subcommand uploadCommand() {
  Subcommand c;
  c.words = {QStringLiteral("upload")};
  c.synopsis =
      QStringLiteral("ФАЙЛ (--port ПУТЬ | --simulated [--sim-profile ИМЯ]) [--keep-settings]");
  c.summary = QStringLiteral("загрузка прошивки из файла *.lir2 (как «Загрузка Файла» в окне)");
  c.help = QStringLiteral(
      "Загружает прошивку из ФАЙЛА в устройство через его загрузчик — так же, как окно:\n"
      "заголовок файла проверяется до открытия порта, затем порт открывается на 19200 бит/с\n"
      "(всегда, какая бы скорость ни стояла в «Железо»), программа ждёт «Load» от\n"
      "загрузчика, сверяет версии силовой платы, процессора и платы контроллера с\n"
      "заголовком и передаёт записи Intel HEX с подтверждением каждого байта.\n"
      "На терминале идёт полоса загрузки (процент, байты, прошедшее и оставшееся время);\n"
      "если вывод не терминал — по строке на каждые 10 %. В конце — сообщение результата,\n"
      "как в строке ошибок окна; код завершения 0 при успехе, иначе код результата\n"
      "(см. lir2-cli --help).\n\n"
      "Настройки устройства. Окно загружает с включённым «Не стирать настройки » (CB_Reserv):\n"
      "устройство сохраняет свои настройки и калибровку (символ режима 'l'). Так же\n"
      "загружает и lir2-cli, с ключами и без них. Снять этот флажок (как в сервисном режиме\n"
      "окна) — --erase-settings: после загрузки у устройства заводские настройки ('f').");
  c.options =
      lineOptions() +
      QList<OptionSpec>{
          {kKeep, QString(),
           QStringLiteral("«Не стирать настройки »: сохранить настройки (так и по умолчанию)")},
          {kReserve, QString(), QStringLiteral("то же, по имени флажка окна CB_Reserv")},
          {kErase, QString(),
           QStringLiteral("стереть настройки: флажок снят, символ режима 'f' (сервис)")},
      };
  c.minArgs = c.maxArgs = 1;
  c.run = runUpload;
  return c;
}

}  // namespace lir2

// lir2-cli eeprom dump, diff and restore: the EEPROM map's backup, its comparison with a saved
// file and the restore of the differing cells, through the same monitor session that serves the
// window's "Load EEProm", "Сохранить...", "Сравнить с файлом..." and "Записать выбранные".
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

#include "cli/cli_commands.h"
#include "cli/cli_line.h"
#include "cli/terminal.h"
#include "monitor/device_data.h"
#include "monitor/eeprom_backup.h"
#include "monitor/eeprom_cells.h"
#include "monitor/monitor_session.h"
#include "monitor/restore_plan.h"
#include "protocol/device_link.h"
#include "serial/result_code.h"
#include "serial/safe_save.h"
#include "serial/shown_text.h"

namespace lir2 {

namespace {

const QString kOut = QStringLiteral("-o");
const QString kYes = QStringLiteral("--yes");
const QString kForce = QStringLiteral("--force-other-device");

QString native(const QString& path) {
  return shownPath(path);
}

// The monitor session on the command line's line, reading and writing the EEPROM as the
// window's map does. The session is the line's child: it goes before the line.
class EepromLine {
 public:
  EepromLine(const LineChoice& choice, qint32 rate)
      : line_(choice), rate_(rate), session_(line_.link(), nullptr) {}
  ~EepromLine() { Interrupt::watchRestore(nullptr); }

  // The whole EEPROM into the session's image: the parameter list in text frames as the run's
  // first tick reads it, the frame format its identification decides on, then the map's dump
  // (blocks of 16 or single cells, by the board). Ok or the code of the failure.
  Result read() {
    DeviceLink& link = line_.link();
    Interrupt::watch(&link);
    if (const Result code = startMonitorRun(line_, session_, rate_); code != Result::Ok)
      return code;
    if (const Result code = session_.readParameterList(); code != Result::Ok) {
      line_.noteAnsweringRate(session_.answeringRate());
      return code;
    }
    // The identification decides the frame format of the dump.
    learnIdentification(identifyDevice(eeprom()), session_.context(),
                        link.frameState().BinaryFrames);
    return session_.DumpEeprom(0, DeviceImages::kEepromSize - 1);
  }

  const DeviceImages::Eeprom& eeprom() { return session_.images().EepromImage; }
  MonitorSession& session() { return session_; }
  CliLine& line() { return line_; }
  int finish(Result code, bool told = false) { return line_.finish(code, told); }

 private:
  CliLine line_;
  qint32 rate_;
  MonitorSession session_;
};

// A saved EEPROM file as the comparison reads it; nothing, told, with the exit status in status
// when it is missing, unreadable or no EEPROM file.
std::optional<EepromHexFile> readBackup(const QString& path, int& status) {
  const QFileInfo info(path);
  status = Exit::FileUnreadable;
  if (!info.exists()) {
    printError(QStringLiteral("файл «%1» не найден").arg(native(path)));
    return std::nullopt;
  }
  if (info.isDir()) {
    printError(QStringLiteral("«%1» — папка, а не файл").arg(native(path)));
    return std::nullopt;
  }
  // A FIFO would hold the program until something writes into it; a device is no backup.
  if (!info.isFile()) {
    printError(QStringLiteral("«%1» — не обычный файл (устройство или канал)").arg(native(path)));
    return std::nullopt;
  }
  QFile probe(path);
  if (!probe.open(QIODevice::ReadOnly)) {
    printError(QStringLiteral("файл «%1» не читается: %2").arg(native(path), probe.errorString()));
    return std::nullopt;
  }
  EepromHexRead read = readEepromHexFile(path);
  if (!read.file) {
    status = Exit::NotEepromFile;
    printError(QStringLiteral("файл «%1» не принят: %2.").arg(native(path), read.error));
  }
  return std::move(read.file);
}

// The comparison as its window shows it: the file, both devices, a row per differing cell, the
// count. Returns the differences.
QList<CellDifference> showComparison(const QString& path, const EepromHexFile& file,
                                     const DeviceImages::Eeprom& device) {
  const QList<CellDifference> differences = compareEeprom(device, file);
  const auto fileDevice = file.deviceIdentity();
  QString text =
      QStringLiteral("Файл: %1 (%2 ячеек%3)\nУстройство в файле: %4\nУстройство на линии: %5\n")
          .arg(native(path))
          .arg(file.present.count())
          .arg(file.savedText.isEmpty() ? QString()
                                        : QStringLiteral(", сохранён ") + file.savedText)
          .arg(fileDevice ? fileDevice->describe() : QStringLiteral("не указано"))
          .arg(identityOf(device).describe());
  if (!differences.isEmpty()) {
    text += QStringLiteral("\n%1  %2  %3  %4\n")
                .arg(QStringLiteral("Адрес"), -12)
                .arg(QStringLiteral("В устройстве"), -12)
                .arg(QStringLiteral("В файле"), -12)
                .arg(QStringLiteral("Значение ячейки"));
    for (const CellDifference& d : differences) {
      QString meaning = d.meaning;
      if (!isRestorable(d.address))
        meaning += QStringLiteral("%1(не записывается: команда и идентификация)")
                       .arg(meaning.isEmpty() ? QString() : QStringLiteral(" "));
      text += QStringLiteral("%1  %2  %3  %4\n")
                  .arg(cellAddressText(d.address), -12)
                  .arg(cellValueText(d.device), -12)
                  .arg(cellValueText(d.file), -12)
                  .arg(meaning);
    }
    text += QLatin1Char('\n');
  }
  text += differences.isEmpty()
              ? QStringLiteral("EEPROM устройства совпадает с файлом.\n")
              : QStringLiteral("Различаются ячеек: %1.\n").arg(differences.size());
  printOut(text);
  return differences;
}

int runDump(const Invocation& inv) {
  qint32 rate = 0;
  const std::optional<LineChoice> choice = monitorLine(inv, rate);
  if (!choice) return Exit::Usage;
  const QString path = inv.value(kOut);
  if (path.isEmpty()) {
    printError(QStringLiteral("укажите файл копии: -o ФАЙЛ (или -o - для стандартного вывода)"));
    return Exit::Usage;
  }
  const bool toStdout = path == QLatin1String("-");
  // Looked at first, so a folder that is not there or a device named as the file costs no
  // reading; the file itself is written only when the whole EEPROM has been read.
  if (!toStdout) {
    if (const QString problem = saveTargetProblem(path); !problem.isEmpty()) {
      printError(QStringLiteral("файл «%1» не создаётся: %2").arg(native(path), problem));
      return Exit::FileUnwritable;
    }
  }

  EepromLine line(*choice, rate);
  if (const Result code = line.read(); code != Result::Ok) return line.finish(code);
  line.finish(Result::Ok);
  const QByteArray bytes = writeEepromHex(line.eeprom(), QDateTime::currentDateTime(),
                                          QCoreApplication::applicationVersion());
  const QString said = QStringLiteral("EEPROM (%1 байт) устройства %2")
                           .arg(DeviceImages::kEepromSize)
                           .arg(identityOf(line.eeprom()).describe());
  QString reason;
  if (!saveFile(path, bytes, &reason, SaveTo::DashIsStandardOutput)) {
    printError(toStdout ? QStringLiteral("стандартный вывод не записывается: %1").arg(reason)
                        : QStringLiteral("файл «%1» не сохранён: %2").arg(native(path), reason));
    return Exit::FileUnwritable;
  }
  if (toStdout)
    printErr(said + QStringLiteral(" выведена\n"));
  else
    printOut(said + QStringLiteral(" сохранена в %1\n").arg(native(path)));
  return Exit::Ok;
}

int runDiff(const Invocation& inv) {
  qint32 rate = 0;
  const std::optional<LineChoice> choice = monitorLine(inv, rate);
  if (!choice) return Exit::Usage;
  const QString path = inv.args.constFirst();
  int status = Exit::Ok;
  const std::optional<EepromHexFile> file = readBackup(path, status);
  if (!file) return status;

  EepromLine line(*choice, rate);
  if (const Result code = line.read(); code != Result::Ok) return line.finish(code);
  line.finish(Result::Ok);
  return showComparison(path, *file, line.eeprom()).isEmpty() ? Exit::Ok : Exit::Differs;
}

// A yes from the terminal; a signal or the end of the input is a no.
bool confirmed(const QString& question) {
  printOut(question + QStringLiteral(" [да/нет] "));
  const std::optional<QString> answer = readInputLine();
  if (!answer) {
    printOut(QStringLiteral("\n"));
    return false;
  }
  const QString a = answer->trimmed().toLower();
  return a == QStringLiteral("да") || a == QStringLiteral("д") || a == QLatin1String("y") ||
         a == QLatin1String("yes");
}

int runRestore(const Invocation& inv) {
  qint32 rate = 0;
  const std::optional<LineChoice> choice = monitorLine(inv, rate);
  if (!choice) return Exit::Usage;
  const bool yes = inv.has(kYes);
  if (!yes && !inputIsTerminal()) {
    printError(
        QStringLiteral("запись спрашивает подтверждения с терминала; в сценарии добавьте --yes"));
    return Exit::Usage;
  }
  const QString path = inv.args.constFirst();
  int status = Exit::Ok;
  const std::optional<EepromHexFile> file = readBackup(path, status);
  if (!file) return status;

  EepromLine line(*choice, rate);
  if (const Result code = line.read(); code != Result::Ok) return line.finish(code);
  const DeviceImages::Eeprom device = line.eeprom();
  showComparison(path, *file, device);

  // The plan the window follows too: the cells it would let the user choose (never the command
  // register and the identification), whose file it is, whether it is another kind of device.
  const RestorePlan plan = planRestore(*file, device);
  const QList<EepromWrite>& cells = plan.cells;
  if (!plan.kept.isEmpty())
    printOut(QStringLiteral("Ячейки 0–4 (команда и идентификация) не записываются: %1.\n")
                 .arg(cellList(plan.kept)));
  if (cells.isEmpty()) {
    printOut(QStringLiteral("Записывать нечего.\n"));
    return line.finish(Result::Ok);
  }

  // A file of another device: its settings and calibration may not suit this one.
  if (plan.origin == RestorePlan::Origin::Unknown)
    printError(QStringLiteral("предупреждение: ") + kUnknownOriginText);
  else if (plan.origin == RestorePlan::Origin::OtherDevice)
    printError(QStringLiteral("предупреждение: Файл сохранён с другого устройства (%1). ")
                   .arg(plan.fileDevice->describe()) +
               kOtherSettingsText);
  // Another board, generation, voltage or power: the restore would make this device another
  // model. Only an explicit option of its own lets that through, never --yes alone.
  if (!plan.otherKind.isEmpty()) {
    if (!inv.has(kForce)) {
      printError(QStringLiteral("файл сохранён с устройства другого типа (%1). Запись его ячеек "
                                "сделала бы из этого устройства другую модель; ничего не "
                                "записано. Если это и нужно, добавьте %2.")
                     .arg(plan.otherKind, kForce));
      line.finish(Result::Ok);
      return Exit::Differs;
    }
    printError(QStringLiteral("предупреждение: устройство другого типа (%1), запись по %2")
                   .arg(plan.otherKind, kForce));
  }

  if (!yes) {
    QString list;
    for (const QString& change : restoreChangeLines(cells, device))
      list += QStringLiteral("  ") + change + QLatin1Char('\n');
    printOut(QStringLiteral("\n") + list);
    if (!confirmed(QStringLiteral("Записать в EEPROM устройства ячеек: %1?").arg(cells.size()))) {
      if (Interrupt::caught()) return line.finish(Result::Interrupted);
      printOut(QStringLiteral("Ничего не записано.\n"));
      line.finish(Result::Ok);
      return Exit::Differs;
    }
  }
  if (Interrupt::caught()) return line.finish(Result::Interrupted);

  MonitorSession& session = line.session();
  EepromRestoreResult result;
  // The session tells on the calling thread, while it writes.
  QObject::connect(&session, &MonitorSession::restoreProgress, [&cells](int written, int total) {
    if (written == 0) return;
    const EepromWrite& w = cells[written - 1];
    printOut(QStringLiteral("  %1 из %2: %3 = %4\n")
                 .arg(written)
                 .arg(total)
                 .arg(cellAddressText(w.address), cellValueText(w.value)));
  });
  QObject::connect(&session, &MonitorSession::restoreFinished,
                   [&result](const EepromRestoreResult& r) { result = r; });
  printOut(QStringLiteral("Запись…\n"));
  Interrupt::watchRestore(&session);
  session.restoreEeprom(cells);
  Interrupt::watchRestore(nullptr);

  const RestoreOutcome outcome = describeRestore(result, *file);
  if (outcome.failure)
    printError(outcome.text);
  else
    printOut(outcome.text + QLatin1Char('\n'));
  if (outcome.remaining && !outcome.remaining->isEmpty()) {
    QString rest = QStringLiteral("Отличаются от файла:\n");
    for (const CellDifference& d : *outcome.remaining)
      rest += QStringLiteral("  %1: в устройстве %2, в файле %3%4\n")
                  .arg(cellAddressText(d.address), cellValueText(d.device), cellValueText(d.file),
                       d.meaning.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(d.meaning));
    printOut(rest);
  }
  if (result.failed || !result.refusal.isEmpty() || !result.readBack)
    return line.finish(result.code != Result::Ok ? result.code : Result::Unknown, true);
  if (result.stopped) return line.finish(Result::Interrupted);
  line.finish(Result::Ok);
  return outcome.failure ? Exit::Differs : Exit::Ok;
}

QString lineSynopsis() {
  return QStringLiteral("(--port ПУТЬ | --simulated [--sim-profile ИМЯ]) [--rate N]");
}

}  // namespace

Subcommand eepromDumpCommand() {
  Subcommand c;
  c.words = {QStringLiteral("eeprom"), QStringLiteral("dump")};
  c.synopsis = QStringLiteral("-o ФАЙЛ ") + lineSynopsis();
  c.summary = QStringLiteral("копия EEPROM в файл Intel HEX (как «Сохранить...» карты EEProm)");
  c.help = QStringLiteral(
      "Читает всю EEPROM устройства (1024 байта) так же, как кнопка «Load EEProm» монитора:\n"
      "список параметров текстовыми кадрами, затем карта блоками по 16 байт или по одной\n"
      "ячейке, смотря по плате. Сохраняет её в ФАЙЛ в формате Intel HEX, как «Сохранить...»\n"
      "окна EEProm: строка-комментарий с платой, версией ПО, мощностью, напряжением и\n"
      "временем, 64 записи по 16 байт, запись конца. Файл пишется рядом, сбрасывается на\n"
      "диск и только тогда ставится на место целиком: при ошибке (и на полном диске)\n"
      "прежний файл остаётся как был. Устройство, канал или папка вместо файла не\n"
      "принимаются. -o - выводит копию на стандартный вывод.\n"
      "Код завершения 0, 73 — файл не создаётся или не записывается, иначе код результата\n"
      "обмена (см. lir2-cli --help).");
  c.options = QList<OptionSpec>{{kOut, QStringLiteral("ФАЙЛ"),
                                 QStringLiteral("куда сохранить копию (*.hex); - — на вывод")}} +
              lineOptions() + QList<OptionSpec>{rateOption()};
  c.run = runDump;
  return c;
}

Subcommand eepromDiffCommand() {
  Subcommand c;
  c.words = {QStringLiteral("eeprom"), QStringLiteral("diff")};
  c.synopsis = QStringLiteral("ФАЙЛ ") + lineSynopsis();
  c.summary = QStringLiteral("сравнение EEPROM устройства с файлом («Сравнить с файлом...»)");
  c.help = QStringLiteral(
      "Читает EEPROM устройства заново и сравнивает с ФАЙЛОМ (копией Intel HEX), как окно\n"
      "«Сравнение EEPROM с файлом»: устройство, с которого сохранён файл, устройство на линии\n"
      "и по строке на каждую ячейку, которая в них различается: адрес, значение в\n"
      "устройстве, в файле и что ячейка значит. Ячейки 0–4 (команда и идентификация)\n"
      "помечены: их восстановление не записывает.\n"
      "Код завершения 0 — совпадает, 1 — различаются, 65 — файл не принят (строка и\n"
      "причина в сообщении), 66 — файл не найден или не читается, иначе код результата.");
  c.options = lineOptions() + QList<OptionSpec>{rateOption()};
  c.minArgs = c.maxArgs = 1;
  c.run = runDiff;
  return c;
}

Subcommand eepromRestoreCommand() {
  Subcommand c;
  c.words = {QStringLiteral("eeprom"), QStringLiteral("restore")};
  c.synopsis =
      QStringLiteral("ФАЙЛ ") + lineSynopsis() + QStringLiteral(" [--yes] [--force-other-device]");
  c.summary = QStringLiteral("запись в EEPROM ячеек из файла («Записать выбранные»)");
  c.help = QStringLiteral(
      "Сравнивает EEPROM устройства с ФАЙЛОМ, как eeprom diff, и записывает в устройство\n"
      "все различающиеся ячейки со значениями из файла — так же, как «Записать выбранные»\n"
      "в окне сравнения: по одной ячейке, каждая обычной записью параметра с командой 3\n"
      "перед ней; ячейки 0–4 (команда и идентификация) не записываются никогда. Перед\n"
      "записью показывает список изменений и спрашивает подтверждения; --yes записывает\n"
      "без вопроса (без терминала вопрос задать нельзя, и без --yes ничего не пишется).\n"
      "Файл с другого устройства или без сведений о нём — предупреждение; файл с\n"
      "устройства другого типа (другая плата, поколение, напряжение или мощность) не\n"
      "записывается вовсе, пока не указан --force-other-device (--yes этого не разрешает).\n"
      "После записи EEPROM читается заново и сравнивается с файлом; при сбое сказано,\n"
      "какие ячейки уже записаны. Ячейка, ответ на запись которой искажён или потерян,\n"
      "читается заново; если прочитать её не удалось, она названа «возможно записана».\n"
      "Ctrl-C останавливает запись после текущей ячейки.\n"
      "Код завершения 0 — записано и прочитано обратно, 1 — не подтверждено (или файл с\n"
      "устройства другого типа без --force-other-device) или ячейка не держит записанное,\n"
      "65/66 — файл не принят (ничего не записано), 74 — связь с портом потеряна,\n"
      "130 — остановлено, иначе код результата обмена.");
  c.options = lineOptions() +
              QList<OptionSpec>{
                  rateOption(),
                  {kYes, QString(), QStringLiteral("записать без подтверждения")},
                  {kForce, QString(), QStringLiteral("записать и файл с устройства другого типа")}};
  c.minArgs = c.maxArgs = 1;
  c.run = runRestore;
  return c;
}

}  // namespace lir2

// lir2-cli record: the monitor window's "Запись..." without the window. The monitor session polls
// on this thread's event loop as it does on the line's thread in the program; its values go to
// the same CSV recording, its alarm lines to standard error.
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "cli/cli_commands.h"
#include "cli/cli_line.h"
#include "monitor/csv_recording.h"
#include "monitor/monitor_session.h"
#include "protocol/device_link.h"
#include "protocol/report.h"
#include "protocol/result_messages.h"
#include "protocol/sound.h"
#include "serial/exchange.h"
#include "serial/result_code.h"
#include "serial/shown_text.h"

namespace lir2 {

namespace {

const QString kOut = QStringLiteral("-o");
const QString kSeconds = QStringLiteral("--seconds");

// The monitor's final report, which in the window fills the error bar and plays a sound: here it
// keeps the code the run ended with. The report clears the code after telling it, so it is taken
// while the report tells.
class RunEnd final : public StatusBars, public SoundPlayer {
 public:
  explicit RunEnd(const Exchange& ex) : ex_(ex) {}
  void setErrorText(const QString&) override { code = ex_.ResultCode; }
  void setStateText(const QString&) override {}
  void setFileNameText(const QString&) override {}
  void play(Sound) override {}
  Result code = Result::Ok;

 private:
  const Exchange& ex_;
};

int runRecord(const Invocation& inv) {
  qint32 rate = 0;
  const std::optional<LineChoice> choice = monitorLine(inv, rate);
  if (!choice) return Exit::Usage;
  const QString path = inv.value(kOut);
  if (path.isEmpty()) {
    printError(QStringLiteral("укажите файл записи: -o ФАЙЛ.csv"));
    return Exit::Usage;
  }
  double seconds = 0;
  if (inv.has(kSeconds)) {
    bool ok = false;
    seconds = inv.value(kSeconds).toDouble(&ok);
    // Up to a year: the timer's milliseconds stay within range.
    if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > 366.0 * 24 * 3600) {
      printError(QStringLiteral("--seconds: «%1» — не положительное число секунд")
                     .arg(inv.value(kSeconds)));
      return Exit::Usage;
    }
  }

  CliLine line(*choice);
  DeviceLink& link = line.link();
  RunEnd end(link.exchange());
  FinalReport report(end, end, [] { return false; });
  MonitorSession session(link, &report);
  session.setRateAdvice({});  // finish() tells it, with the option to use
  CsvRecording recording;
  QEventLoop loop;
  QString fileError;

  // Every signal below comes on this thread, at once: the session runs here.
  QObject::connect(
      &session, &MonitorSession::ramMeasured,
      [&recording](const RamValues& values, const QDateTime& at) { recording.record(values, at); });
  QObject::connect(&session, &MonitorSession::ramDecoded, [](const MonitorView& view) {
    for (QString text : view.alarmLines) {
      if (text.endsWith(QLatin1String("\r\n"))) text.chop(2);
      printErr(text + QLatin1Char('\n'));
    }
  });
  QObject::connect(&recording, &CsvRecording::stopped,
                   [&](const QString&, qint64, const QString& error) {
                     if (error.isEmpty()) return;
                     fileError = error;
                     loop.quit();
                   });
  QObject::connect(&session, &MonitorSession::runEnded, &loop, &QEventLoop::quit);
  Interrupt::quitOnSignal(loop);
  QTimer limit;
  limit.setSingleShot(true);
  limit.setTimerType(Qt::PreciseTimer);
  QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);

  Interrupt::watch(&link);
  if (const Result code = startMonitorRun(line, session, rate); code != Result::Ok)
    return line.finish(code);
  recording.start(path);
  if (!fileError.isEmpty()) {
    line.finish(Result::Ok);
    printError(fileError);
    return Exit::FileUnwritable;
  }
  printOut(QStringLiteral("Запись: %1 (%2, %3 бит/с)%4\n")
               .arg(shownPath(path), line.portText())
               .arg(rate)
               .arg(seconds > 0 ? QStringLiteral(", %1 с").arg(seconds)
                                : QStringLiteral(", до Ctrl-C")));
  if (seconds > 0) limit.start(static_cast<int>(std::min(seconds * 1000, 2147483647.0)));
  if (!Interrupt::caught()) loop.exec();

  session.stop();
  // The recording ends with its last whole row; the port closes in finish().
  recording.stop();
  if (!fileError.isEmpty()) {
    line.finish(Result::Ok);
    printError(fileError);
    return Exit::FileUnwritable;
  }
  printOut(QStringLiteral("Записано в %1: строк %2\n").arg(shownPath(path)).arg(recording.rows()));
  if (Interrupt::caught()) return line.finish(Result::Interrupted);
  if (end.code != Result::Ok) line.noteAnsweringRate(session.answeringRate());
  return line.finish(end.code);
}

}  // namespace

Subcommand recordCommand() {
  Subcommand c;
  c.words = {QStringLiteral("record")};
  c.synopsis = QStringLiteral(
      "-o ФАЙЛ.csv (--port ПУТЬ | --simulated [--sim-profile ИМЯ]) [--rate N] [--seconds N]");
  c.summary = QStringLiteral("запись значений монитора в CSV (как «Запись...» монитора)");
  c.help = QStringLiteral(
      "Опрашивает устройство, как окно «Монитор», и записывает его значения в ФАЙЛ.csv —\n"
      "тот же файл, что пишет кнопка «Запись...»: строка заголовка, строка значений на\n"
      "каждый прочитанный проход по ОЗУ (около 1,5 с на 19200 бит/с), даже если ничего не\n"
      "изменилось, — так неподвижное устройство не спутать с пропавшей линией, — ещё строка\n"
      "на каждое изменение между проходами и строка на каждую появившуюся тревогу (UTF-8,\n"
      "запятые, время ISO 8601, числа с точкой); каждая строка сразу уходит на диск.\n"
      "Заголовок пишется так же, как любой сохраняемый файл: прежний файл заменяется, только\n"
      "когда заголовок уже на диске; устройство, канал или папка вместо файла не\n"
      "принимаются. Тревоги, как они появляются в журнале монитора, выводятся на стандартный\n"
      "вывод ошибок. Запись идёт --seconds N секунд или до Ctrl-C (SIGTERM): файл кончается\n"
      "целой строкой, порт закрывается. Сбои линии монитор переживает, как в окне\n"
      "(переподключение без сообщения, пока сбоев немного); ошибка записи в файл\n"
      "останавливает запись с причиной от системы.\n"
      "Код завершения 0 — записано N секунд, 130 (143) — остановлено Ctrl-C (SIGTERM),\n"
      "73 — файл не создаётся или не записывается, 74 — связь с портом потеряна, иначе код\n"
      "результата обмена.");
  c.options =
      QList<OptionSpec>{{kOut, QStringLiteral("ФАЙЛ"),
                         QStringLiteral("файл записи (*.csv); существующий заменяется")}} +
      lineOptions() +
      QList<OptionSpec>{rateOption(),
                        {kSeconds, QStringLiteral("N"),
                         QStringLiteral("сколько секунд записывать (без него — до Ctrl-C)")}};
  c.run = runRecord;
  return c;
}

}  // namespace lir2

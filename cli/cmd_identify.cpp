// lir2-cli identify: what the monitor's first tick learns of the device, as its window shows it.
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/cli_commands.h"
#include "cli/cli_line.h"
#include "monitor/device_data.h"
#include "monitor/monitor_session.h"
#include "protocol/device_link.h"
#include "serial/result_code.h"

namespace lir2 {

namespace {

const QString kJson = QStringLiteral("--json");

// The rows of the monitor's group box "Версия Платы:" ... "Напряжение:": caption, JSON key and
// the value; a voltage the device does not say (another device) is none.
struct Row {
  const char* caption;
  const char* key;
  std::optional<QString> value;
};

int runIdentify(const Invocation& inv) {
  qint32 rate = 0;
  const std::optional<LineChoice> choice = monitorLine(inv, rate);
  if (!choice) return Exit::Usage;

  CliLine line(*choice);
  MonitorSession session(line.link(), nullptr);
  Interrupt::watch(&line.link());
  Result code = startMonitorRun(line, session, rate);
  if (code == Result::Ok) code = session.readParameterList();
  if (code != Result::Ok) {
    line.noteAnsweringRate(session.answeringRate());
    return line.finish(code);
  }
  line.finish(code);
  const DeviceImages& images = session.images();

  // What the window's first decode learns: the identification, and the context it leaves.
  const DeviceIdentification id = identifyDevice(images.EepromImage);
  DecodeContext ctx;
  bool binaryFrames = false;
  learnIdentification(id, ctx, binaryFrames);
  const Row rows[] = {
      {"Версия Платы:", "board", id.boardText()},
      {"Версия ПО:", "firmware", id.firmwareText()},
      {"Мощность:", "power", id.powerText()},
      {"Напряжение:", "voltage", id.voltageText()},
  };
  if (inv.has(kJson)) {
    QJsonObject o;
    for (const Row& row : rows)
      o[QLatin1String(row.key)] = row.value ? QJsonValue(*row.value) : QJsonValue();
    o[QStringLiteral("hybrid")] = id.hybridMark();
    o[QStringLiteral("boardType")] = ctx.BoardType;
    o[QStringLiteral("generation")] = ctx.BoardGeneration;
    o[QStringLiteral("firmwareVersion")] = ctx.FirmwareVersion;
    o[QStringLiteral("powerRating")] = ctx.PowerRating;
    o[QStringLiteral("voltageClass")] = ctx.VoltageClass;
    o[QStringLiteral("binaryFrames")] = binaryFrames;
    o[QStringLiteral("port")] = line.portText();
    o[QStringLiteral("rate")] = rate;
    printOut(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)));
    return Exit::Ok;
  }
  for (const Row& row : rows) {
    // A value the device does not say (another device's voltage) is shown empty, as the window
    // leaves its label.
    QString text = row.value.value_or(QString());
    // The window shows the hybrid mark beside the board text.
    if (qstrcmp(row.key, "board") == 0 && id.hybridMark())
      text += QStringLiteral("  ") + id.hybridText();
    printOut(QStringLiteral("%1 %2\n").arg(QString::fromUtf8(row.caption), -13).arg(text));
  }
  return Exit::Ok;
}

}  // namespace

Subcommand identifyCommand() {
  Subcommand c;
  c.words = {QStringLiteral("identify")};
  c.synopsis =
      QStringLiteral("(--port ПУТЬ | --simulated [--sim-profile ИМЯ]) [--rate N] [--json]");
  c.summary = QStringLiteral("версия платы и ПО, мощность, напряжение (как в «Монитор»)");
  c.help = QStringLiteral(
      "Читает список параметров устройства (46 ячеек EEPROM, как первый опрос «Монитор»,\n"
      "текстовыми кадрами на скорости --rate) и выводит то, что монитор показывает в своей\n"
      "рамке: «Версия Платы:» (с пометкой HYBRID у гибридных), «Версия ПО:», «Мощность:»,\n"
      "«Напряжение:». С --json — то же в JSON вместе с числами: тип платы, поколение,\n"
      "версия ПО (F), мощность (в сотнях Вт), класс напряжения, формат кадров.\n"
      "Код завершения 0, иначе код результата (например, 20 — устройство не ответило).");
  c.options = lineOptions() + QList<OptionSpec>{
                                  rateOption(),
                                  {kJson, QString(), QStringLiteral("вывод в JSON")},
                              };
  c.run = runIdentify;
  return c;
}

}  // namespace lir2

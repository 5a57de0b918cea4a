// lir2-cli identify: what the monitor's first tick learns of the device, as its window shows it.
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/cli_commands.h"
#include "cli/cli_line.h"
#include "monitor/decoders.h"
#include "monitor/monitor_session.h"
#include "protocol/device_link.h"
#include "serial/result_code.h"

namespace {

const QString kJson = QStringLiteral("--json");

// The rows of the monitor's group box "Версия Платы:" ... "Напряжение:", by control.
const struct {
  const char* control;
  const char* caption;
  const char* key;
} kRows[] = {
    {"Lb_VerPl", "Версия Платы:", "board"},
    {"Lb_VerPO", "Версия ПО:", "firmware"},
    {"Lb_Plir", "Мощность:", "power"},
    {"Lb_Ulir", "Напряжение:", "voltage"},
};

int runIdentify(const Invocation& inv) {
  qint32 rate = 0;
  const std::optional<LineChoice> choice = monitorLine(inv, rate);
  if (!choice) return Exit::Usage;

  CliLine line(*choice);
  MonitorSession session(line.link(), nullptr);
  Interrupt::watch(&line.link());
  quint8 code = startMonitorRun(line, session, rate);
  if (code == Result::Ok) code = session.readParameterList();
  if (code != Result::Ok) {
    line.noteAnsweringRate(session.answeringRate());
    return line.finish(code);
  }
  line.finish(code);
  const DeviceImages& images = session.images();

  DecodeContext ctx;
  bool binaryFrames = false;
  const MonitorView view = DecodeIdentification(images, ctx, binaryFrames);
  const QString hybrid = view.textOf(QStringLiteral("L_hybrid"));
  if (inv.has(kJson)) {
    QJsonObject o;
    for (const auto& row : kRows) {
      const ControlView* c = view.find(QLatin1String(row.control));
      o[QLatin1String(row.key)] = c && c->text ? QJsonValue(*c->text) : QJsonValue();
    }
    o[QStringLiteral("hybrid")] = !hybrid.isEmpty();
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
  for (const auto& row : kRows) {
    // A control the decode leaves alone (another device's voltage) keeps the window's empty text.
    QString text = view.textOf(QLatin1String(row.control));
    // The window shows the hybrid mark beside the board text.
    if (QLatin1String(row.control) == QLatin1String("Lb_VerPl") && !hybrid.isEmpty())
      text += QStringLiteral("  ") + hybrid;
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

// lir2-cli serve: the devices in the home's dashboard. Each device is polled by the monitor's
// session on a line of its own, exactly as the monitor window polls it, and published to an
// MQTT broker with Home Assistant's discovery, until SIGTERM or Ctrl-C.
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cmath>
#include <memory>

#include <signal.h>
#include <sys/stat.h>

#include "cli/cli_commands.h"
#include "cli/cli_line.h"
#include "mqtt/serve_hub.h"
#include "serial/port_reason.h"
#include "serial/qt_serial_device.h"
#include "serial/shown_text.h"
#include "sim/device_model.h"
#include "sim/sim_config.h"
#include "sim/simulated_device.h"

namespace lir2 {

namespace {

const QString kConfig = QStringLiteral("--config");
const QString kMqtt = QStringLiteral("--mqtt");
const QString kPort = QStringLiteral("--port");
const QString kSimulated = QStringLiteral("--simulated");
const QString kSimProfile = QStringLiteral("--sim-profile");
const QString kRate = QStringLiteral("--rate");
const QString kAllowCommands = QStringLiteral("--allow-commands");
const QString kMinInterval = QStringLiteral("--min-interval");

// A configuration file is a few lines; anything much larger is not one.
constexpr qint64 kMaxConfigBytes = 64 * 1024;

// Reads --config into config: 0, or the exit status with its message told.
int readConfigFile(const QString& path, ServeConfig& config) {
  const QFileInfo info(path);
  if (!info.exists()) {
    printError(QStringLiteral("файл настройки %1 не найден").arg(shownPath(path)));
    return Exit::FileUnreadable;
  }
  QFile file(path);
  if (!info.isFile() || info.size() > kMaxConfigBytes || !file.open(QIODevice::ReadOnly)) {
    printError(QStringLiteral("файл настройки %1 не читается или это не файл настройки")
                   .arg(shownPath(path)));
    return Exit::FileUnreadable;
  }
  QString error;
  if (!readServeConfig(file.readAll(), shownPath(path), config, error)) {
    printError(shownText(error));
    return Exit::Usage;
  }
  struct stat st {};
  if (!config.password.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0 &&
      (st.st_mode & S_IROTH))
    printError(QStringLiteral("предупреждение: файл %1 с паролем брокера читают все "
                              "пользователи; chmod 600 %1")
                   .arg(shownPath(path)));
  return 0;
}

// The device line of one served device: a port path, or the built-in simulated device.
ServeHub::Line lineFor(const ServedDeviceConfig& d, Clock& clock) {
  ServeHub::Line line;
  if (d.simulated) {
    auto model = std::make_shared<DeviceModel>(*simConfigForProfile(d.simProfile));
    line.entry = {QStringLiteral("Симулятор LIR"), QString(), PortEntry::Kind::Simulated};
    line.factory = [model, &clock](const PortEntry&) -> std::unique_ptr<SerialDevice> {
      return std::make_unique<SimulatedSerialDevice>(model, clock);
    };
  } else {
    line.entry = {d.port, d.port, PortEntry::Kind::Path};
    line.factory = [](const PortEntry& e) -> std::unique_ptr<SerialDevice> {
      return std::make_unique<QtSerialDevice>(e.path);
    };
  }
  return line;
}

int runServe(const Invocation& inv) {
  ServeConfig config;
  if (inv.has(kConfig))
    if (const int status = readConfigFile(inv.value(kConfig), config)) return status;
  applyServeEnvironment(QProcessEnvironment::systemEnvironment(), config);

  QString error;
  if (inv.has(kMqtt)) {
    config.broker = parseBrokerUrl(inv.value(kMqtt), error);
    if (!config.broker) {
      printError(shownText(error));
      return Exit::Usage;
    }
  }
  if (inv.has(kAllowCommands)) config.allowCommands = true;
  if (inv.has(kMinInterval)) {
    bool ok = false;
    const double s = inv.value(kMinInterval).toDouble(&ok);
    if (!ok || !std::isfinite(s) || s < 0 || s > 3600) {
      printError(QStringLiteral("--min-interval: «%1» — не число секунд от 0 до 3600")
                     .arg(shownText(inv.value(kMinInterval))));
      return Exit::Usage;
    }
    config.minIntervalSeconds = s;
  }
  const qint32 rate = monitorRate(inv);
  if (rate == 0) {
    printError(shownText(QStringLiteral("скорость «%1» не из списка «Железо»: 2400, 9600, 19200, "
                                        "57600, 115200")
                             .arg(inv.value(kRate))));
    return Exit::Usage;
  }
  if (inv.has(kSimProfile) && !inv.has(kSimulated)) {
    printError(QStringLiteral("--sim-profile действует только вместе с --simulated"));
    return Exit::Usage;
  }
  for (const QString& typed : inv.valuesOf(kPort)) {
    if (typed.isEmpty()) {
      printError(QStringLiteral("пустой путь порта в --port"));
      return Exit::Usage;
    }
    ServedDeviceConfig d;
    d.port = resolvePortArgument(typed).path;
    d.rate = rate;
    d.where = QStringLiteral("--port %1").arg(typed);
    config.devices.append(d);
  }
  if (inv.has(kSimulated)) {
    ServedDeviceConfig d;
    d.simulated = true;
    d.simProfile = inv.has(kSimProfile) ? inv.value(kSimProfile) : QStringLiteral("lir");
    if (!simConfigForProfile(d.simProfile)) {
      printError(shownText(QStringLiteral("неизвестный профиль симулятора «%1» (есть: %2)")
                               .arg(d.simProfile, simProfileNames().join(QStringLiteral(", ")))));
      return Exit::Usage;
    }
    d.rate = rate;
    d.where = kSimulated;
    config.devices.append(d);
  }
  if (!finishServeConfig(config, QSysInfo::machineHostName(), error)) {
    printError(shownText(error));
    return Exit::Usage;
  }

  // A broker that closes the connection under a write must not end the program.
  ::signal(SIGPIPE, SIG_IGN);
  SteadyClock simClock;
  QList<ServeHub::Line> lines;
  for (const ServedDeviceConfig& d : config.devices) lines.append(lineFor(d, simClock));
  const BrokerAddress broker = *config.broker;
  const int devices = static_cast<int>(config.devices.size());
  ServeHub hub(std::move(config), QStringLiteral(LIR2_VERSION),
               [](const QString& text) { printErr(shownText(text) + QLatin1Char('\n')); });
  QEventLoop loop;
  Interrupt::quitOnSignal(loop);
  bool busy = false;
  if (!hub.start(lines, error, busy)) {
    printError(shownText(error));
    hub.stop();
    return busy ? Exit::PortUnavailable : Exit::FileUnreadable;
  }
  printOut(QStringLiteral("serve: устройств %1, брокер %2; SIGTERM или Ctrl-C — выход\n")
               .arg(devices)
               .arg(broker.text()));
  if (!Interrupt::caught()) loop.exec();
  // serve is a service: ending on request is its normal end.
  printErr(QStringLiteral("serve: остановка, устройства показаны недоступными\n"));
  hub.stop();
  return Exit::Ok;
}

}  // namespace

Subcommand serveCommand() {
  Subcommand c;
  c.words = {QStringLiteral("serve")};
  c.synopsis = QStringLiteral(
      "--mqtt mqtt://УЗЕЛ[:ПОРТ] (--port ПУТЬ... | --config ФАЙЛ | --simulated) [--rate N] "
      "[--allow-commands] [--min-interval С]");
  c.summary = QStringLiteral("устройства в MQTT и Home Assistant (служба)");
  c.help = QStringLiteral(
      "Опрашивает одно или несколько устройств, каждое на своём порту, как окно «Монитор»\n"
      "(те же такты, переподключения без сообщений, записи), и публикует их на брокере MQTT\n"
      "с обнаружением Home Assistant: одно устройство в Home Assistant на каждый ЛИР, его\n"
      "показания, тревоги (датчик на каждый бит и событие при каждом появлении) и\n"
      "идентификация. Показания уходят при изменении (не чаще --min-interval) и целиком\n"
      "раз в минуту. Доступность — с «последней волей» брокера: убитый serve показывается\n"
      "недоступным; молчащее или отключённое устройство — тоже, остальные работают дальше,\n"
      "а его опрос возобновляется с растущей паузой, пока serve работает. Брокер, который\n"
      "пропал, подключается снова; затем публикуется текущее состояние и тревоги, что\n"
      "появились без него.\n"
      "Файл настройки (--config): строки КЛЮЧ = ЗНАЧЕНИЕ, # — комментарий; в начале mqtt,\n"
      "mqtt_user, mqtt_password, mqtt_ca, mqtt_cert, mqtt_key, node, topic_prefix,\n"
      "discovery_prefix, allow_commands, allow_eeprom, min_interval; затем по разделу\n"
      "[device] на устройство: port, rate, name, allow_eeprom. Имя, пароль и пути\n"
      "сертификатов — только из файла или окружения (LIR2_MQTT_USER, LIR2_MQTT_PASSWORD,\n"
      "LIR2_MQTT_CA, LIR2_MQTT_CERT, LIR2_MQTT_KEY), не из командной строки.\n"
      "Управление выключено: команды (lir_on, lir_off, charge_on, charge_off, reset) — только\n"
      "с --allow-commands; ячейки EEPROM — только перечисленные в allow_eeprom файла и в\n"
      "пределах правил их полей. Отказ публикуется с причиной и пишется в журнал.\n"
      "Код завершения 0 — остановлен SIGTERM или Ctrl-C; 2 — неверная командная строка или\n"
      "файл настройки; 66 — файл настройки или сертификата не читается; 69 — порт держит\n"
      "другая программа (она названа).");
  c.options = QList<OptionSpec>{
      {kMqtt, QStringLiteral("URL"),
       QStringLiteral("брокер: mqtt://УЗЕЛ[:1883] или mqtts://УЗЕЛ[:8883] (TLS)")},
      {kConfig, QStringLiteral("ФАЙЛ"),
       QStringLiteral("файл настройки: брокер, учётные данные, устройства, allow_eeprom")},
      {kPort, QStringLiteral("ПУТЬ"), QStringLiteral("порт устройства; можно несколько раз")},
      {kSimulated, QString(), QStringLiteral("ещё и встроенный симулятор устройства")},
      {kSimProfile, QStringLiteral("ИМЯ"),
       QStringLiteral("профиль симулятора, по умолчанию lir (%1)")
           .arg(simProfileNames().join(QStringLiteral(", ")))},
      rateOption(),
      {kAllowCommands, QString(),
       QStringLiteral("разрешить команды ЛИР вкл/выкл, заряд вкл/выкл, Reset")},
      {kMinInterval, QStringLiteral("С"),
       QStringLiteral("не чаще одного сообщения состояния за С секунд (по умолчанию 1)")},
  };
  c.run = runServe;
  return c;
}

}  // namespace lir2

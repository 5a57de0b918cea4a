// Renders the program's windows to PNG files, to look at them without a screen:
//   lir2-window-shots OUTDIR [-s] [--monitor PROFILE] [--size WxH]... [--error TEXT]
// Each window is shown offscreen, with the built-in simulated device selected. With --monitor
// the monitor runs on the simulated device of that profile (its line on its own thread, as in
// the program) until it has decoded the device, then the monitor window and the EEPROM map are
// rendered as FormMonitor-PROFILE[-s].png and FormEEProm-PROFILE.png, then the map's comparison
// with its saved file after two cells changed on the device (FormEEPromDiff-PROFILE.png) and the
// trend chart (FormTrend-PROFILE.png). Each --size renders the monitor (or, without --monitor,
// the main window) once more at that size, as NAME-WxH.png. OUTDIR receives pictures only: the
// configuration and the saved EEPROM live in a work folder whose path names nothing of the
// machine, since the comparison window shows it.
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <optional>

#include "app/app_windows.h"
#include "app/form_file.h"
#include "app/form_main.h"
#include "app/form_opt_hard.h"
#include "app/form_opt_soft.h"
#include "app/form_port_log.h"
#include "host/form_sms_modem.h"
#include "monitor/form_eeprom.h"
#include "monitor/form_eeprom_diff.h"
#include "monitor/form_monitor.h"
#include "monitor/form_trend.h"
#include "protocol/device_link.h"
#include "protocol/sound.h"
#include "serial/clock.h"
#include "serial/safe_save.h"
#include "serial/shown_text.h"
#include "sim/device_model.h"
#include "sim/simulated_device.h"

namespace lir2 {

namespace {

// A picture saved as every file of the project is saved; a failure is told, not passed over.
bool savePng(const QPixmap& picture, const QString& path) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QString reason = QStringLiteral("the picture could not be encoded");
  if (picture.save(&buffer, "PNG") && saveFile(path, bytes, &reason)) return true;
  std::fprintf(stderr, "lir2-window-shots: %s: %s\n", shownPath(path).toUtf8().constData(),
               reason.toUtf8().constData());
  return false;
}

struct Silence final : SoundPlayer {
  void play(Sound) override {}
};

// The folder for the files the windows write. A fixed, plain path where it can be had, so the
// pictures show it and nothing else; else a temporary folder of its own.
class WorkFolder {
 public:
  WorkFolder() {
#ifdef Q_OS_UNIX
    const QString fixed = QStringLiteral("/tmp/LIR2");
    made_ = !QDir(fixed).exists() && QDir().mkpath(fixed);
    if (QFileInfo(fixed).isWritable() && !QFileInfo::exists(fixed + kConfig) &&
        !QFileInfo::exists(fixed + kEeprom)) {
      path_ = fixed;
      return;
    }
#endif
    path_ = temporary_.path();
  }
  ~WorkFolder() {
    if (path_ == temporary_.path()) return;
    QFile::remove(path_ + kConfig);
    QFile::remove(path_ + kEeprom);
    if (made_) QDir().rmdir(path_);
  }
  QString config() const {
    return path_ + kConfig;
  }
  QString eeprom() const {
    return path_ + kEeprom;
  }

 private:
  static inline const QString kConfig = QStringLiteral("/config.txt");
  static inline const QString kEeprom = QStringLiteral("/eeprom.hex");
  QTemporaryDir temporary_;
  QString path_;
  bool made_ = false;
};

std::optional<QSize> parseSize(const QString& text) {
  const QStringList parts = text.split(QLatin1Char('x'));
  bool w = false, h = false;
  const QSize size(parts.value(0).toInt(&w), parts.value(1).toInt(&h));
  if (parts.size() != 2 || !w || !h || size.width() < 100 || size.height() < 100) return {};
  return size;
}

bool savePicture(QWidget* window, const QString& path) {
  return savePng(window->grab(), path);
}
}  // namespace

}  // namespace lir2

using namespace lir2;

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("lir2-window-shots"));
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Renders the windows of lir2gui to PNG files in OUTDIR, offscreen, on the built-in "
      "simulated device. OUTDIR receives pictures only."));
  const QCommandLineOption helpOption = parser.addHelpOption();
  parser.addPositionalArgument(QStringLiteral("OUTDIR"), QStringLiteral("where the pictures go"));
  const QCommandLineOption serviceOption(QStringLiteral("s"),
                                         QStringLiteral("the service controls, as lir2gui -s"));
  const QCommandLineOption monitorOption(
      QStringLiteral("monitor"),
      QStringLiteral("run the monitor on the simulated device of PROFILE and render it"),
      QStringLiteral("PROFILE"));
  const QCommandLineOption sizeOption(
      QStringLiteral("size"),
      QStringLiteral("render the monitor (or the main window) also at this size, e.g. 1024x700"),
      QStringLiteral("WxH"));
  const QCommandLineOption errorOption(QStringLiteral("error"),
                                       QStringLiteral("a message for the main window's error bar"),
                                       QStringLiteral("TEXT"));
  parser.addOptions({serviceOption, monitorOption, sizeOption, errorOption});
  if (!parser.parse(QApplication::arguments())) {
    std::fprintf(stderr, "lir2-window-shots: %s\n\n%s", qPrintable(parser.errorText()),
                 qPrintable(parser.helpText()));
    return 2;
  }
  if (parser.isSet(helpOption)) parser.showHelp(0);
  const QStringList positional = parser.positionalArguments();
  if (positional.size() != 1) {
    std::fprintf(stderr, "%s", qPrintable(parser.helpText()));
    return 2;
  }
  const QString out = positional.front();
  // "lir2-window-shots -- --help" would otherwise make a folder of that name.
  if (out.startsWith(QLatin1Char('-'))) {
    qCritical("OUTDIR %s looks like an option; name the folder as ./%s if you mean it",
              qPrintable(out), qPrintable(out));
    return 2;
  }
  QList<QSize> sizes;
  for (const QString& text : parser.values(sizeOption)) {
    const auto size = parseSize(text);
    if (!size) {
      qCritical("--size %s: expected WIDTHxHEIGHT, e.g. 1366x700", qPrintable(text));
      return 2;
    }
    sizes << *size;
  }
  const bool service = parser.isSet(serviceOption);
  const bool monitor = parser.isSet(monitorOption);
  const QString profile = monitor ? parser.value(monitorOption) : QStringLiteral("lir");
  if (!QDir().mkpath(out)) {
    qCritical("cannot make %s", qPrintable(out));
    return 1;
  }
  const WorkFolder work;

  SteadyClock clock;
  Silence silence;
  const auto config = simConfigForProfile(profile);
  if (!config) {
    qCritical("unknown profile %s", qPrintable(profile));
    return 2;
  }
  auto model = std::make_shared<DeviceModel>(*config);
  AppOptions options;
  options.serviceMode = service;
  options.selectSimulated = true;
  options.lineThread = true;
  options.configPath = work.config();
  options.simulatedDevice = [&](const PortEntry&) -> std::unique_ptr<SerialDevice> {
    return std::make_unique<SimulatedSerialDevice>(model, clock);
  };
  AppWindows w(options, clock, silence);
  auto runFor = [](int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
  };
  if (parser.isSet(errorOption)) w.FormMain->setErrorText(parser.value(errorOption));
  const auto sizeName = [](const QSize& size) {
    return QStringLiteral("-%1x%2").arg(size.width()).arg(size.height());
  };
  bool saved = true;
  if (monitor) {
    const QString suffix = profile + (service ? QStringLiteral("-s") : QString());
    w.FormMain->show();
    w.FormMain->findChild<QAction*>(QStringLiteral("Monitor"))->trigger();
    runFor(6000);  // the parameters, two whole passes over the RAM window
    // As it opens on a screen that has room for it (the offscreen screen is small).
    w.FormMonitor->resize(w.FormMonitor->sizeHint());
    runFor(200);
    const QString name = out + QStringLiteral("/FormMonitor-") + suffix;
    saved &= savePicture(w.FormMonitor.get(), name + QStringLiteral(".png"));
    const QSize natural = w.FormMonitor->size();
    for (const QSize& size : sizes) {
      w.FormMonitor->resize(size);
      runFor(200);
      saved &= savePicture(w.FormMonitor.get(), name + sizeName(size) + QStringLiteral(".png"));
    }
    w.FormMonitor->resize(natural);
    if (auto* map = w.FormMonitor->findChild<QAbstractButton*>(QStringLiteral("SB_EEPromMap"))) {
      map->click();
      runFor(profile == QStringLiteral("gen5") ? 9000 : 4000);
      saved &= savePicture(w.FormEEProm.get(),
                           out + QStringLiteral("/FormEEProm-") + profile + QStringLiteral(".png"));
    }
    // The comparison with the map just saved, after two cells changed on the device.
    w.FormEEProm->dialogs.savePath = [&](auto&&...) { return work.eeprom(); };
    w.FormEEProm->dialogs.openPath = [&](auto&&...) { return work.eeprom(); };
    w.FormEEProm->B_SaveMapClick();
    QMetaObject::invokeMethod(
        w.link.get(),
        [&] {  // the device belongs to the line's thread
          model->memory().write(64, 100);
          model->memory().write(389, 120);
        },
        Qt::BlockingQueuedConnection);
    w.FormEEProm->B_CompareMapClick();
    runFor(profile == QStringLiteral("gen5") ? 9000 : 4000);
    w.FormEEProm->diffWindow()->B_SelectAllClick();
    saved &= savePicture(w.FormEEProm->diffWindow(), out + QStringLiteral("/FormEEPromDiff-") +
                                                         profile + QStringLiteral(".png"));
    if (auto* trend = w.FormMonitor->findChild<QAbstractButton*>(QStringLiteral("B_Trend"))) {
      trend->click();
      runFor(1000);
      saved &= savePicture(&w.FormMonitor->trendWindow(),
                           out + QStringLiteral("/FormTrend-") + profile + QStringLiteral(".png"));
    }
    return saved ? 0 : 1;
  }
  const std::pair<QWidget*, const char*> windows[] = {
      {w.FormMain.get(), "FormMain"},           {w.FormReadPort.get(), "FormReadPort"},
      {w.FormWritePort.get(), "FormWritePort"}, {w.FormFile.get(), "FormFile"},
      {w.FormOptHard.get(), "FormOptHard"},     {w.FormOptSoft.get(), "FormOptSoft"},
      {w.FormMonitor.get(), "FormMonitor"},     {w.FormEEProm.get(), "FormEEProm"},
      {w.FormSmsModem.get(), "FormSmsModem"}};
  for (auto [window, name] : windows) {
    window->show();
    QApplication::processEvents();
    const QString path = out + QLatin1Char('/') + QLatin1String(name);
    saved &= savePicture(window, path + QStringLiteral(".png"));
    if (window == w.FormMain.get()) {
      for (const QSize& size : sizes) {
        window->resize(size);
        QApplication::processEvents();
        saved &= savePicture(window, path + sizeName(size) + QStringLiteral(".png"));
      }
    }
    window->hide();
  }
  return saved ? 0 : 1;
}

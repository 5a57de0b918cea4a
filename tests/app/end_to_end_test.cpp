// The real windows and the real serial code path against lir2-sim on a pseudo-terminal.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>

#include <QSerialPort>
#include "app/app_windows.h"
#include "app/form_main.h"
#include "app/form_port_log.h"
#include "app/log_view.h"

#include "app/form_opt_hard.h"
#include "common/on_line.h"
#include "common/recorders.h"
#include "common/sim_process.h"
#include "monitor/form_monitor.h"
#include "serial/clock.h"
#include "serial/window_timer.h"

namespace {

struct EndToEnd {
  QTemporaryDir dir;
  SimProcess sim;
  SteadyClock clock;
  SoundRecorder sounds;
  std::unique_ptr<AppWindows> w;
  QString path;

  explicit EndToEnd(const QStringList& simArgs) {
    path = sim.start(simArgs);
    AppOptions options;
    options.portPath = path;
    options.configPath = dir.filePath("data/config.txt");
    options.lineThread = true;
    w = std::make_unique<AppWindows>(options, clock, sounds);
    w->FormMain->show();
  }
};

TEST(EndToEnd, TranslationShowsTheSimulatorsLinesAndStopClosesThePort) {
  EndToEnd e({"--profile", "translate", "--chatter-period-ms", "200"});
  ASSERT_FALSE(e.path.isEmpty()) << e.sim.errors().toStdString();
  EXPECT_EQ(e.w->FormOptHard->settings().PortName, e.path);
  e.w->FormMain->Translate->trigger();
  LogView* log = e.w->FormReadPort->log();
  // Two whole lines from the device, through the line's own thread.
  EXPECT_TRUE(runUntil([&] { return log->logText().count(QStringLiteral("\r\n")) >= 2; }))
      << log->logText().toStdString() << e.w->FormMain->errorText().toStdString();
  e.w->FormMain->StopExec->trigger();
  bool open = true, ticking = true;
  onLine(*e.w->link, [&] {
    open = e.w->link->port().PortOpen;
    ticking = e.w->link->TranslationTimer->isActive();
  });
  EXPECT_FALSE(open);
  EXPECT_FALSE(ticking);
  // The port is free again: another program can open it.
  QSerialPort other(e.path);
  EXPECT_TRUE(other.open(QIODevice::ReadWrite)) << other.errorString().toStdString();
  other.close();
  EXPECT_TRUE(e.sim.stop());
}

}  // namespace

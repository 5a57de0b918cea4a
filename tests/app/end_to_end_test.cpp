// The real windows and the real serial code path against lir2-sim on a pseudo-terminal.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>

#include "app/app_windows.h"
#include "app/form_main.h"
#include "app/form_port_log.h"
#include "app/log_view.h"
#include "common/recorders.h"
#include "common/sim_process.h"
#include "monitor/form_monitor.h"
#include "serial/clock.h"
#include "serial/form_opt_hard.h"
#include "serial/window_timer.h"

namespace {

// Lets the program run its event loop until the condition holds or the patience runs out.
template <typename Condition>
bool runUntil(Condition done, int ms = SimProcess::kPatienceMs) {
  QDeadlineTimer deadline(ms);
  while (!done() && !deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

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
    w = std::make_unique<AppWindows>(options, clock, sounds);
    w->FormMain->show();
  }
};

TEST(EndToEnd, TranslationShowsTheSimulatorsLinesAndStopClosesThePort) {
  EndToEnd e({"--profile", "translate", "--chatter-period-ms", "200"});
  ASSERT_FALSE(e.path.isEmpty()) << e.sim.errors().toStdString();
  EXPECT_EQ(e.w->FormOptHard->port().PortName, e.path);
  e.w->FormMain->Translate->trigger();
  ASSERT_TRUE(e.w->FormOptHard->port().PortOpen) << e.w->FormMain->errorText().toStdString();
  LogView* log = e.w->FormReadPort->log();
  // Two whole lines from the device.
  EXPECT_TRUE(runUntil([&] { return log->logText().count(QStringLiteral("\r\n")) >= 2; }))
      << log->logText().toStdString();
  e.w->FormMain->StopExec->trigger();
  EXPECT_FALSE(e.w->FormOptHard->port().PortOpen);
  EXPECT_FALSE(e.w->FormMonitor->Timer1->isActive());
  // The port is free again: another program can open it.
  EXPECT_EQ(e.w->FormOptHard->port().OpenPort(19200), 0);
  e.w->FormOptHard->port().ClosePort();
  EXPECT_TRUE(e.sim.stop());
}

}  // namespace

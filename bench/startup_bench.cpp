// Start-up of the real program: from starting the process to its main window being up (the
// program says so when LIR2_STARTUP_PROBE is set), and its resident memory at that moment.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

namespace {

void BM_StartToMainWindow(benchmark::State& state) {
  QTemporaryDir home;
  double insideMs = 0, rssKb = 0;
  for (auto _ : state) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LIR2_STARTUP_PROBE", "1");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", home.path());
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(home.path());  // a folder without data/: the program makes it
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(LIR2GUI_BUILT), {});
    p.waitForStarted();
    while (!p.canReadLine() && p.state() == QProcess::Running) p.waitForReadyRead(1000);
    const double ms = t.nsecsElapsed() / 1e6;
    const QString line = QString::fromLocal8Bit(p.readLine());
    p.waitForFinished(5000);
    state.SetIterationTime(ms / 1000);
    for (const QString& field : line.split(' ')) {
      if (field.startsWith("main_window_ms=")) insideMs += field.mid(15).toDouble();
      if (field.startsWith("rss_kb=")) rssKb += field.mid(7).toDouble();
    }
  }
  state.counters["in_program_ms"] = insideMs / state.iterations();
  state.counters["rss_MB"] = rssKb / 1024 / state.iterations();
}
BENCHMARK(BM_StartToMainWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

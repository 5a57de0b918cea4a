// SIGTERM and SIGINT ending the program as its window's closing does (POSIX).
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <signal.h>

#include "common/signal_process.h"

namespace {

// Whether the process has its own handler for the signal (SigCgt in /proc/PID/status).
bool catches(qint64 pid, int signal) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("SigCgt:"))
      return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
  return false;
}

// SIGTERM and SIGINT end the program as its window's closing does, with exit code 0, rather
// than killing it where it stands.
TEST(UnixSignals, TerminationEndsTheProgramNormally) {
#ifndef LIR2GUI_BUILT
  GTEST_SKIP() << "lir2gui is not built";
#else
  const QString program = QStringLiteral(LIR2GUI_BUILT);
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    QTemporaryDir work;
    ASSERT_TRUE(QDir(work.path()).mkpath("data"));
    QProcess gui;  // offscreen, with a home of its own, as every test runs
    gui.setWorkingDirectory(work.path());
    gui.start(program, {"--simulated"});
    ASSERT_TRUE(gui.waitForStarted(5000));
    QDeadlineTimer deadline(10000);
    while (!catches(gui.processId(), signal) && !deadline.hasExpired()) QThread::msleep(10);
    ASSERT_TRUE(catches(gui.processId(), signal)) << "no handler installed";
    signalProcess(gui, signal);
    ASSERT_TRUE(gui.waitForFinished(10000));
    EXPECT_EQ(gui.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(gui.exitCode(), 0);
  }
#endif
}

}  // namespace

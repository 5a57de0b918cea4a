#pragma once

// lir2-sim in a process of its own, serving the simulated device on a pseudo-terminal.
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

class SimProcess {
 public:
  static constexpr int kPatienceMs = 5000;  // generous: nothing here measures speed

  static QString program() {
    const QString fromEnvironment = qEnvironmentVariable("LIR2_SIM");
#ifdef LIR2_SIM_BUILT
    if (fromEnvironment.isEmpty()) return QStringLiteral(LIR2_SIM_BUILT);
#endif
    return fromEnvironment;
  }

  ~SimProcess() {
    if (proc_.state() != QProcess::NotRunning) {
      proc_.kill();
      proc_.waitForFinished(kPatienceMs);
    }
  }
  // Starts lir2-sim and returns the terminal path it prints, or an empty string.
  QString start(const QStringList& args) {
    proc_.setProgram(program());
    proc_.setArguments(args);
    proc_.setProcessChannelMode(QProcess::SeparateChannels);
    proc_.start();
    if (!proc_.waitForStarted(kPatienceMs)) return {};
    QDeadlineTimer deadline(kPatienceMs);
    while (!proc_.canReadLine() && !deadline.hasExpired())
      proc_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    return QString::fromLocal8Bit(proc_.readLine()).trimmed();
  }
  // SIGTERM; true when the program ended by itself with exit code 0.
  bool stop() {
    proc_.terminate();
    return proc_.waitForFinished(kPatienceMs) && proc_.exitStatus() == QProcess::NormalExit &&
           proc_.exitCode() == 0;
  }
  // The running program's process id (0 when it is not running), for its processor time.
  qint64 pid() const {
    return proc_.processId();
  }
  QString errors() {
    return QString::fromLocal8Bit(proc_.readAllStandardError());
  }

 private:
  QProcess proc_;
};

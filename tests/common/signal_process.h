#pragma once

// A signal to a program a test started, and to nothing else. A QProcess that has ended reports
// process id 0, and kill(0, ...) would signal the whole process group: the test runner and every
// test running beside this one.
#include <QProcess>

#include <signal.h>

inline void signalProcess(qint64 pid, int sig) {
  if (pid > 0) ::kill(static_cast<pid_t>(pid), sig);
}

inline void signalProcess(const QProcess& process, int sig) {
  signalProcess(process.processId(), sig);
}

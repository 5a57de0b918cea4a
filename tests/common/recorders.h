#pragma once

// Recording stand-ins for the windows' small interfaces.
#include <QString>
#include <QStringList>

#include <vector>

#include "protocol/sound.h"
#include "serial/status.h"
#include "serial/traffic_log.h"

using namespace lir2;

struct StatusRecorder final : StatusBars {
  QString error, state, fileName;
  QStringList errors;  // every error text, in order
  void setErrorText(const QString& t) override {
    error = t;
    errors.append(t);
  }
  void setStateText(const QString& t) override { state = t; }
  void setFileNameText(const QString& t) override { fileName = t; }
};

struct SoundRecorder final : SoundPlayer {
  std::vector<Sound> played;
  void play(Sound s) override { played.push_back(s); }
};

struct LogRecorder final : TrafficLog {
  QString read, write;
  void appendRead(QStringView t, RunId) override { read += t; }
  void appendWrite(QStringView t, RunId) override { write += t; }
  void clearLogs(RunId) override {
    read.clear();
    write.clear();
  }
};

struct Switches final : LogSwitches {
  bool reads = false, writes = false;
  bool logReads() const override { return reads; }
  bool logWrites() const override { return writes; }
};

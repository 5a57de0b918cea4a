#pragma once

// The upload's window remembered, the upload dialogue alone on a line, and what the device
// should hold afterwards.
#include <gtest/gtest.h>

#include <map>
#include <ostream>

#include "common/sim_rig.h"
#include "firmware/upload.h"
#include "tools/firmware_writer.h"

inline void PrintTo(const QString& s, std::ostream* os) {
  *os << '"' << s.toStdString() << '"';
}

// The versions lir2-sim's boot profile reports, and the header of a file made for them.
inline const QByteArray kBootHeader = "lir3v12_4&15#";

struct WindowRecorder final : UploadWindow {
  QString bootVersion, powerBoardAppended, elapsed, state, error;
  QStringList elapsedTexts;
  qint64 progress = 0;
  int progressSteps = 0;
  bool keep = true;
  std::function<void(int step)> onProgress;  // runs at the n-th step of the gauge

  void setBootVersionText(const QString& t) override { bootVersion = t; }
  void appendPowerBoardText(const QString& t) override { powerBoardAppended += t; }
  void setProgress(qint64 v) override {
    progress = v;
    if (onProgress) onProgress(++progressSteps);
  }
  void setElapsedText(const QString& t) override { elapsedTexts.append(elapsed = t); }
  void setStateText(const QString& t) override { state = t; }
  void setErrorText(const QString& t) override { error = t; }
};

// Handshake, then the transfer when the handshake went through, as the upload runs them.
inline quint8 runUpload(Exchange& ex, WindowRecorder& window, const QByteArray& programText,
                        FileVersions file = {3, 1, 5}) {
  BootUpload u(ex, window, file, window.keep);
  const quint8 code = u.BootHandshake('l');
  return code != 0 ? code : u.TransferProgram(programText);
}

// A committed sample file.
inline QString sample(const char* name) {
  return qEnvironmentVariable("LIR2_SOURCE_DIR", QStringLiteral(LIR2_SOURCE_DIR_BUILT)) +
         "/samples/" + name;
}

inline const Bootloader::Upload& received(const SimWire& rig) {
  return rig.model->bootloader()->upload();
}

// The records of a firmware text (everything from the first ':'), as the device stores them.
inline QList<QByteArray> hexRecordsOf(const QByteArray& text) {
  QList<QByteArray> records;
  for (QByteArray line : text.mid(text.indexOf(':')).split('\n')) {
    line = line.trimmed();
    if (line.startsWith(':')) records.append(QByteArray::fromHex(line.mid(1)));
  }
  return records;
}

// The image a run of bytes at an address becomes in the device.
inline std::map<quint32, quint8> imageOf(const QByteArray& bytes, quint32 address = 0) {
  std::map<quint32, quint8> image;
  for (int i = 0; i < bytes.size(); ++i) image[address + i] = static_cast<quint8>(bytes[i]);
  return image;
}

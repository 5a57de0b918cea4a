#pragma once

// What the upload's tests share: the sample files, and what the simulated device received.
#include <gtest/gtest.h>

#include <ostream>

#include "common/samples.h"
#include "common/sim_rig.h"
#include "tools/firmware_writer.h"

using namespace lir2;

inline void PrintTo(const QString& s, std::ostream* os) {
  *os << '"' << s.toStdString() << '"';
}

// The versions lir2-sim's boot profile reports, and the header of a file made for them.
inline const QByteArray kBootHeader = "lir3v12_4&15#";

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

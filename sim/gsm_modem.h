#pragma once

#include "sim/output_queue.h"
#include "sim/sim_config.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

namespace lir2 {

// A GSM modem in text mode: AT commands ending in LF (a CR before it is dropped), echo on
// until "ate0", "OK"/"ERROR" answer lines ending in CR LF, "at+cmgs" with its "> " prompt and
// the message text up to Ctrl-Z, "at+cmgr" reading from a small inbox.
class GsmModem {
 public:
  struct Sms {
    QByteArray number;
    QByteArray text;
  };

  explicit GsmModem(const ModemConfig& cfg);

  // The host reopened the line: a half-typed command or message is dropped. The modem's own
  // settings (echo, text mode) stay, as they do in a modem that stays powered.
  void reset();
  void receive(quint8 byte, qint64 now, OutputQueue& out);

  const QList<Sms>& sent() const { return sent_; }
  bool echoOn() const { return echo_; }
  bool textMode() const { return textMode_; }

 private:
  void runCommand(const QByteArray& line, qint64 now, OutputQueue& out);

  struct Stored {
    QByteArray number;
    QByteArray stamp;
    QByteArray text;
    bool read = false;
  };

  ModemConfig cfg_;
  bool echo_ = true;
  bool textMode_ = false;
  bool composing_ = false;
  bool overflow_ = false;
  QByteArray line_;
  QByteArray number_;
  QByteArray message_;
  QList<Sms> sent_;
  QList<Stored> inbox_;
  int reference_ = 0;
};

}  // namespace lir2

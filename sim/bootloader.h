#pragma once

#include "sim/output_queue.h"
#include "sim/sim_config.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <map>
#include <optional>

namespace lir2 {

// The device's serial bootloader.
//
// It greets with "Load\r\n" until the host answers 'l' (keep settings) or 'f'; answers with
// the upper-case letter and its version characters; waits for "run" (or '#', abandon) and
// answers 'y'; then takes the program between two 'U's: ':' and the binary bytes of each
// Intel HEX record, with 'K' pairs standing for the four reserved bytes. Every transfer byte
// is echoed, or answered with 'Z' and (code + 28) when something is wrong; the closing 'U'
// is confirmed with ')'.
class Bootloader {
 public:
  enum class State {
    Greeting,   // sending the greeting until answered (or until its window ends)
    Expired,    // window over or handed over: the program runs, the bootloader is quiet
    AwaitRun,   // versions sent, waiting for "run" or '#'
    Transfer,   // receiving the program
    Rebooting,  // upload confirmed; greets again after rebootMs
    Failed,     // reported an error; greets again after a quiet line
    Silent,     // the silence fault: never says a word
  };

  // Codes announced with 'Z'.
  static constexpr quint8 kCodeBadChecksum = 9;
  static constexpr quint8 kCodeReservedRecord = 12;
  static constexpr quint8 kCodeWrongData = 13;

  // The last transfer (from "run" on), complete or not.
  struct Upload {
    char mode = 0;                    // 'l' or 'f'
    QList<QByteArray> records;        // count, address high, address low, type, data, checksum
    std::map<quint32, quint8> image;  // program bytes by absolute address
    int transferBytes = 0;            // wire bytes of the transfer, both 'U's included
    bool completed = false;           // the closing 'U' was accepted
    std::optional<quint8> failure;    // code announced with 'Z'
  };

  explicit Bootloader(const BootConfig& cfg);

  // Start greeting (the device was reset or the line reopened).
  void restart(qint64 now);
  // The program took the line over before the window ended.
  void stop(qint64 now);
  void receive(quint8 byte, qint64 now, OutputQueue& out);
  // Sends the greetings due by now and moves through the timed states.
  void advance(qint64 now, OutputQueue& out);

  std::optional<qint64> nextOutputAt() const;
  // When the greeting window will end (nothing when it never ends or is not running).
  std::optional<qint64> windowEndsAt() const;
  State state() const { return state_; }
  qint64 expiredAt() const { return expiredAt_; }
  const Upload& upload() const { return upload_; }
  int completedUploads() const { return completed_; }
  int greetingsSent() const { return greetings_; }

 private:
  void transferByte(quint8 byte, qint64 now, OutputQueue& out);
  // Takes one decoded program byte; returns a code to announce, or 0.
  quint8 takeProgramByte(quint8 value);
  quint8 finishRecord();
  void fail(quint8 code, qint64 now, OutputQueue& out);
  bool greetingDue(qint64 at) const;

  BootConfig cfg_;
  State state_ = State::Greeting;
  qint64 greetStart_ = 0;
  qint64 nextGreetAt_ = 0;
  qint64 expiredAt_ = 0;
  qint64 resumeAt_ = 0;  // Rebooting / Failed: when greeting starts again
  int runPos_ = 0;
  char mode_ = 0;

  // Transfer state.
  bool opened_ = false;
  bool pendingK_ = false;
  bool inRecord_ = false;
  QByteArray record_;
  quint32 base_ = 0;

  Upload upload_;
  int completed_ = 0;
  int greetings_ = 0;
};

}  // namespace lir2

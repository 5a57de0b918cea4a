#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

#include "monitor/decode_context.h"
#include "monitor/device_images.h"
#include "monitor/eeprom_backup.h"
#include "monitor/monitor_run.h"
#include "monitor/monitor_view.h"
#include "monitor/ram_values.h"
#include "protocol/line_session.h"
#include "serial/result_code.h"

namespace lir2 {

class DeviceLink;
class FinalReport;
struct PortSettings;
class WindowTimer;

// The monitor on the device line's thread: the poll timer, the two images, the decode context,
// the pending write and the EEPROM map. The monitor window starts and stops its run through it,
// asks it for work (a write, a map) and learns what the device shows through its signals, which
// are emitted in the windows' thread; it never waits for the device.
class MonitorSession : public LineSession, private MonitorSurface {
  Q_OBJECT
 public:
  // A child of the line, so it lives on the line's thread.
  MonitorSession(DeviceLink& link, FinalReport* report);
  ~MonitorSession() override;

  // From the windows' thread: the run's start, through the line: the port reopened at the
  // configured rate, a full refresh in text frames, the first tick 10 ms later. The window's
  // close stops it with stop(): polling ends; the port stays open.
  RunId start(const PortSettings& settings);

  // Everything below runs on the line's thread.

  // The run was stopped (the window closed) or another run took the line: polling stops.
  void halted() override;
  // The other rate the device was found answering at, when the first tick's probe ended the run
  // for it; 0 otherwise. Read on the line's side after the run.
  qint32 answeringRate() const { return answeringRate_; }
  // What the error bar adds after "Устройство отвечает на скорости N — " (%1 is the rate);
  // empty: the probe leaves the error bar alone and the caller tells it from answeringRate().
  void setRateAdvice(const QString& format) { rateAdvice_ = format; }
  // The text of the watched-address field, as the user types it.
  void setWatchedAddressText(const QString& text) { watchedText_ = text; }
  // The EEPROM map: served by the next tick.
  void requestDump() { poll_.DumpRequest = true; }
  // The user set or cleared the external ambient sensor's check mark.
  void setTempOkrChecked(bool checked) { context_.TempOkrChecked = checked; }
  void setServiceMode(bool on) { context_.ServiceMode = on; }

  // A command into the device's command register; writeFinished tells how it went.
  void sendCommand(quint8 code);
  // Parameter writes in order, each only after the one before succeeded; writeFinished tells
  // the code of the last one tried.
  void writeEeprom(const QList<EepromWrite>& writes);

  // A restore: the cells written one at a time, each announced, while no tick runs; then the
  // whole EEPROM read back. Refused whole, before anything is written, when a cell is the
  // command register, the identification (0 to 4) or beyond the EEPROM, or when the monitor is
  // not polling. restoreProgress follows every cell, restoreFinished tells the end.
  void restoreEeprom(const QList<EepromWrite>& cells);
  // From any thread: the restore stops before its next cell; the monitor goes on.
  void requestRestoreStop() { restoreStop_.store(true, std::memory_order_relaxed); }

  // The writes themselves, on the pending members below; a failure ends through ReportResult.
  Result WriteCommandByte();
  Result WriteEepromByte(quint8 n);
  // The parameter list into the image, one cell at a time in text frames, as the first tick of a
  // run reads it: 0 or the code of the first failed read. A first read met by silence or garbage
  // looks for the device at the other rates (answeringRate() tells what it found).
  Result readParameterList();
  // The whole EEPROM into the image, in blocks of 16 or in single bytes by the device's kind,
  // the activity bar stepping; 0 or the code of the first failed read.
  Result DumpEeprom(quint16 first, quint16 last);
  // Blocks of 16 for LCD SIN boards, and for LCD boards of generation 5 from firmware 7.0 on.
  static bool dumpsInBlocks(const DeviceImages::Eeprom& eeprom);

  // One poll tick (the poll timer's handler).
  void Timer3Timer() { run_->PollTick(); }

  quint8 PendingCommand = 0;
  quint16 EepromAddress = 0;
  quint8 EepromValue = 0;
  WindowTimer* Timer3 = nullptr;

  DeviceImages& images() { return images_; }
  PollState& poll() { return poll_; }
  DecodeContext& context() { return context_; }
  MonitorRun& run() { return *run_; }

 signals:
  // An EEPROM decode: what to show, and the context and images it decoded (the settings
  // controls compute their bytes from them).
  void eepromDecoded(const MonitorView& view, const DecodeContext& context,
                     const DeviceImages& images);
  // A RAM decode: what to show, alarm lines included, and the context it left (the switches'
  // state).
  void ramDecoded(const MonitorView& view, const DecodeContext& context,
                  const DeviceImages& images);
  // The numbers of the same RAM decode, and when it was made: for the recording and the chart.
  // Emitted right after ramDecoded.
  void ramMeasured(const RamValues& values, const QDateTime& at);
  void watchedValueShown(const QString& text);
  void activityShown(int position);
  // The EEPROM map was read whole.
  void eepromDumped(const DeviceImages::Eeprom& eeprom);
  // The run ended by a final report: the window goes, the main window comes back.
  void runEnded();
  // A command (code 1 to 7) or parameter writes (code 0) ended with this result.
  void writeFinished(Result result, quint8 command);
  // A restore has written `written` of `total` cells (0 of total when it starts).
  void restoreProgress(int written, int total);
  void restoreFinished(const EepromRestoreResult& result);

 private:
  // MonitorSurface.
  QString watchedAddressText() const override { return watchedText_; }
  void showWatchedValue(const QString& text) override;
  void showActivity(int position) override;
  void DecodeEeprom() override;
  void DecodeRam() override;
  void FormClose() override;
  void ramPassRead() override;
  // What the failed cell of a restore holds now, read back while the line still answers.
  EepromRestoreResult::FailedCell readBackCell(const EepromWrite& cell);

  // Common end of both writes.
  Result finishWrite(Result code);
  // The run's first tick found no device, or one it could not understand: a device set to
  // another rate answers garbage or nothing. Tries a parameter read at each other rate of the
  // options; when one answers, the run ends at once and the error bar names that rate. The
  // configured rate is never changed here.
  void probeOtherRates();

  void begin(RunId run, const PortSettings& settings);

  DeviceLink& link_;
  RunId running_ = 0;  // the run the poll timer ticks for, on the line's thread
  DeviceImages images_;
  PollState poll_;
  DecodeContext context_;
  std::unique_ptr<MonitorRun> run_;
  QString watchedText_ = QStringLiteral("0");
  std::atomic<bool> restoreStop_{false};
  qint32 answeringRate_ = 0;
  bool measuredInPass_ = false;     // the current RAM pass has given its values
  bool valueFrameStarted_ = false;  // the last EEPROM write sent (part of) its value frame
  QString rateAdvice_ = QStringLiteral("выберите её в «Железо»");
};

}  // namespace lir2

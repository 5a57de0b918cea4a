#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <functional>

#include "monitor/device_images.h"
#include "serial/result_code.h"

namespace lir2 {

class DeviceLink;
class Exchange;
class FinalReport;
struct FrameState;
class Frames;
class WindowTimer;

// What the poll cycle touches in the monitor window.
class MonitorSurface {
 public:
  virtual ~MonitorSurface() = default;
  // The text of the watched-address field.
  virtual QString watchedAddressText() const = 0;
  // The value read at the watched address, as its label shows it.
  virtual void showWatchedValue(const QString& text) = 0;
  // Position of the activity bar, 0 to 15.
  virtual void showActivity(int position) = 0;
  // The decoders: they read the images and fill the window. The EEPROM decode may change the
  // frame format.
  virtual void DecodeEeprom() = 0;
  virtual void DecodeRam() = 0;
  // Ends the monitor run: polling stops, the window hides, the main window returns.
  virtual void FormClose() = 0;
  // A whole pass over the RAM window has been read (and decoded, when it changed).
  virtual void ramPassRead() {}
};

// The monitor run: a poll tick on the window's timer that keeps the two images up to date and
// hands them to the decoders, and the end of every failed exchange, which reconnects silently
// while failures are rare and otherwise reports and ends the run.
class MonitorRun {
 public:
  // The EEPROM cells a refresh reads, in this order.
  static constexpr std::array<quint16, 46> kEepromParamList = {
      2,   1,   0,   5,   16,  12,  14, 13, 59, 6,  19,  82, 17, 56,  30,  23,
      24,  251, 253, 250, 249, 64,  70, 65, 20, 21, 29,  28, 22, 384, 389, 96,
      390, 391, 71,  108, 105, 111, 94, 32, 33, 61, 295, 34, 62, 315};
  // A cell the device changes when its settings change; every tick looks at it.
  static constexpr quint16 kPolledAddress = 80;
  static constexpr int kFirstTickMs = 10;
  static constexpr int kTickPauseMs = 300;
  // Silent reconnects that may stand unpaid before a failure ends the run.
  static constexpr quint8 kReconnectLimit = 5;

  MonitorRun(DeviceLink& link, DeviceImages& images, PollState& poll, WindowTimer& timer3,
             MonitorSurface& surface);

  // The final report of a failure that is not taken silently; without one, the failure only
  // ends the run.
  void setFinalReport(FinalReport* report) { report_ = report; }
  // Serves an EEPROM map request inside a tick and returns its code; while nothing serves
  // them, requests wait.
  std::function<Result()> dumpEeprom;
  // Runs when the first tick of a run fails, before the failure takes its usual path; it may
  // look into why (a device set to another rate, say).
  std::function<void()> firstTickFailed;

  // Leaves the run ready for its first tick: a full refresh in text frames, 10 ms from now.
  void prepareRun();
  // One tick of the poll timer.
  void PollTick();
  // Ends an exchange with the code in ResultCode: a silent reconnect while fewer than five are
  // unpaid and the exchange failed; otherwise the final report, and with close the end of the
  // run.
  void ReportResult(bool close);
  // A run the user ended (the window closed, the program ends): nothing is reported and nothing
  // reconnects. True when the run has been stopped; the code is then cleared.
  bool endedByUser();

  // The RAM image holds a whole pass read from the device: until then (the program's first
  // passes) part of it is still the zeros it started with.
  bool ramWindowFilled() const { return ramWindowFilled_; }

  // The watched address of the field's text: a whole number (decimal, or hexadecimal after "$"
  // or "0x"), taken as 16 bits; 0 when the text is not a number.
  static quint16 WatchedAddress(const QString& text);
  // "123 / 0x7B".
  static QString watchedValueText(quint8 value);

 private:
  // Steps of a tick after the activity bar; false when a read failed.
  bool pollDevice(quint16 watched);
  bool readWatched(quint16 watched);
  bool readRamSlice();

  DeviceLink& link_;
  Exchange& ex_;
  Frames& frames_;
  FrameState& frameState_;
  DeviceImages& images_;
  PollState& poll_;
  WindowTimer& timer3_;
  MonitorSurface& surface_;
  FinalReport* report_ = nullptr;
  bool firstTick_ = false;  // the next tick is the run's first
  bool ramWindowFilled_ = false;
  bool ramPassEnded_ = false;  // the slice just read ended a pass
  // The run has had its line open: a port that is gone or does not open again later is the
  // line lost mid-run, not a port that never opened.
  bool lineHeld_ = false;
};

}  // namespace lir2

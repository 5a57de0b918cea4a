#include "monitor_run.h"

#include "protocol/device_link.h"
#include "protocol/frames.h"
#include "protocol/report.h"
#include "serial/exchange.h"
#include "serial/port_control.h"
#include "serial/result_code.h"
#include "serial/window_timer.h"

namespace lir2 {

MonitorRun::MonitorRun(DeviceLink& link, DeviceImages& images, PollState& poll, WindowTimer& timer3,
                       MonitorSurface& surface)
    : link_(link),
      ex_(link.exchange()),
      frames_(link.frames()),
      frameState_(link.frameState()),
      images_(images),
      poll_(poll),
      timer3_(timer3),
      surface_(surface) {}

quint16 MonitorRun::WatchedAddress(const QString& text) {
  const QString t = text.trimmed();
  bool ok = false;
  int value = 0;
  if (t.startsWith(QLatin1Char('$')))
    value = t.mid(1).toInt(&ok, 16);
  else if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
    value = t.mid(2).toInt(&ok, 16);
  else
    value = t.toInt(&ok, 10);
  // A negative number becomes an address at the top of the 16-bit range.
  return ok ? static_cast<quint16>(value) : 0;
}

QString MonitorRun::watchedValueText(quint8 value) {
  return QStringLiteral("%1 / 0x%2")
      .arg(value)
      .arg(QString::number(value, 16).toUpper().rightJustified(2, QLatin1Char('0')));
}

void MonitorRun::prepareRun() {
  poll_.RamOffset = 0;
  poll_.RamSingles = 0;
  // Every run starts in text frames: the device's identification decides on binary.
  frameState_.BinaryFrames = false;
  poll_.RamChanged = true;
  poll_.EepromRefresh = true;
  firstTick_ = true;
  lineHeld_ = ex_.port().PortOpen;
  timer3_.setInterval(kFirstTickMs);
  timer3_.setEnabled(true);
}

void MonitorRun::PollTick() {
  const quint16 watched = WatchedAddress(surface_.watchedAddressText());
  // No tick may start while this one waits for the device.
  timer3_.setInterval(0);
  ++poll_.ActivityCount;
  surface_.showActivity(poll_.ActivityCount % 16);

  if (poll_.DumpRequest && dumpEeprom) {
    poll_.DumpRequest = false;
    ex_.ResultCode = dumpEeprom();
  } else {
    pollDevice(watched);
  }
  // The user ended the run while the tick waited: the window is gone, no tick follows.
  if (endedByUser()) return;

  if (ex_.ResultCode != Result::Ok && firstTick_ && firstTickFailed) {
    firstTick_ = false;
    firstTickFailed();
    // The probe waits too: a close meanwhile is the user's, whatever the probe found.
    if (endedByUser()) return;
  }
  firstTick_ = false;
  if (ex_.ResultCode != Result::Ok)
    ReportResult(true);
  else if (ex_.ReconnectCount > 0)
    --ex_.ReconnectCount;
  // Re-arms the timer unless the run ended meanwhile.
  timer3_.setInterval(kTickPauseMs);
}

bool MonitorRun::pollDevice(quint16 watched) {
  if (poll_.EepromRefresh) {
    for (quint16 address : kEepromParamList) {
      if (frames_.ReadDeviceMemory(address, 0) != Result::Ok) return false;
      images_.EepromImage[address] = frameState_.ReplyByte0;
    }
    surface_.DecodeEeprom();
    poll_.EepromRefresh = false;
  }

  if (frames_.ReadDeviceMemory(kPolledAddress, 0) != Result::Ok) return false;
  if (frameState_.ReplyByte0 != images_.EepromImage[kPolledAddress]) {
    images_.EepromImage[kPolledAddress] = frameState_.ReplyByte0;
    surface_.DecodeEeprom();
  }

  if (!readWatched(watched)) return false;
  if (poll_.EepromRefresh) {
    surface_.DecodeEeprom();
    poll_.EepromRefresh = false;
  }

  if (!readRamSlice()) return false;
  if (poll_.RamChanged) {
    surface_.DecodeRam();
    poll_.RamChanged = false;
  }
  if (ramPassEnded_) {
    ramPassEnded_ = false;
    surface_.ramPassRead();
  }
  return true;
}

bool MonitorRun::readWatched(quint16 watched) {
  if (frames_.ReadDeviceMemory(watched, 0) != Result::Ok) return false;
  const quint8 value = frameState_.ReplyByte0;
  if (watched < DeviceImages::kEepromSize) {
    if (value != images_.EepromImage[watched]) {
      images_.EepromImage[watched] = value;
      poll_.EepromRefresh = true;
    }
  } else if (watched <= DeviceImages::kLastAddress) {
    quint8& cell = images_.RamImage[watched - DeviceImages::kRamBase];
    if (value != cell) {
      cell = value;
      poll_.EepromRefresh = true;
      // The RAM pass compares with the image, which now already holds this value: without
      // this the change would never reach the RAM decode.
      poll_.RamChanged = true;
    }
  }
  // Beyond the RAM window there is no image to keep it in: it is only shown.
  surface_.showWatchedValue(watchedValueText(value));
  return true;
}

bool MonitorRun::readRamSlice() {
  constexpr int kBlock = 16;
  constexpr int kSize = DeviceImages::kRamSize;
  auto& ram = images_.RamImage;
  // A pass that stopped somewhere no pass can stand starts again.
  if (poll_.RamOffset >= kSize || poll_.RamOffset + poll_.RamSingles > kSize) {
    poll_.RamOffset = 0;
    poll_.RamSingles = 0;
  }
  if (poll_.RamSingles == 0) {
    if (frames_.ReadDeviceMemory(DeviceImages::kRamBase + poll_.RamOffset, kBlock - 1) !=
        Result::Ok)
      return false;
    for (int i = 0; i < kBlock; ++i) {
      if (ram[poll_.RamOffset + i] != frameState_.ReplyData[i]) poll_.RamChanged = true;
      ram[poll_.RamOffset + i] = frameState_.ReplyData[i];
    }
    poll_.RamOffset += kBlock;
    if (poll_.RamOffset + kBlock >= kSize) poll_.RamSingles = kSize - poll_.RamOffset;
    return true;
  }
  for (int i = 0; i < poll_.RamSingles; ++i) {
    if (frames_.ReadDeviceMemory(DeviceImages::kRamBase + poll_.RamOffset, 0) != Result::Ok)
      return false;
    if (ram[poll_.RamOffset] != frameState_.ReplyByte0) poll_.RamChanged = true;
    ram[poll_.RamOffset] = frameState_.ReplyByte0;
    ++poll_.RamOffset;
  }
  poll_.RamOffset = 0;
  poll_.RamSingles = 0;
  ramWindowFilled_ = true;
  ramPassEnded_ = true;
  return true;
}

bool MonitorRun::endedByUser() {
  // Whatever failed once the run was stopped failed because of the stop, or no longer matters.
  if (!link_.stopRequested()) return false;
  ex_.ResultCode = Result::Ok;
  return true;
}

void MonitorRun::ReportResult(bool close) {
  if (ex_.ResultCode != Result::Ok && ex_.ReconnectCount < kReconnectLimit) {
    // A silent reconnect: the line starts afresh and the next tick reads everything again.
    // A port that does not reopen fails the next tick, which counts as the next reconnect.
    (void)link_.reopen();
    lineHeld_ = lineHeld_ || ex_.port().PortOpen;
    poll_.RamOffset = 0;
    poll_.RamSingles = 0;
    poll_.RamChanged = true;
    poll_.EepromRefresh = true;
    timer3_.setInterval(kFirstTickMs);
    timer3_.setEnabled(true);
    ex_.ResultCode = Result::Ok;
    ++ex_.ReconnectCount;
    return;
  }
  // A port that has stopped opening, or an adapter that has gone, is what ended the run,
  // whatever the exchange that noticed it says. A line the run had and lost is that, whether a
  // read met the loss or the reconnect's open could not bring it back.
  const PortControl& port = ex_.port();
  QString reason;
  if (ex_.ResultCode != Result::Ok && !port.PortOpen) {
    if (lineHeld_) {
      reason = port.lostLineReason();
    } else if (!port.problem().isEmpty()) {
      reason = port.problem();
      if (port.openFailed()) ex_.ResultCode = Result::OpenFailed;
    }
  }
  if (report_) {
    report_->run(
        ex_.ResultCode, close, [this] { surface_.FormClose(); }, reason);
  } else {
    ex_.ResultCode = Result::Ok;
    if (close) surface_.FormClose();
  }
}

}  // namespace lir2

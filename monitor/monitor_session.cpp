#include "monitor/monitor_session.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QPointer>

#include "monitor/decoders.h"
#include "monitor/eeprom_backup.h"
#include "protocol/device_link.h"
#include "protocol/frames.h"
#include "protocol/result_messages.h"
#include "serial/exchange.h"
#include "serial/result_code.h"
#include "serial/status.h"
#include "serial/window_timer.h"

namespace lir2 {

MonitorSession::MonitorSession(DeviceLink& link, FinalReport* report)
    : LineSession(link), link_(link) {
  setObjectName(QStringLiteral("MonitorSession"));
  Timer3 = new WindowTimer(this);
  Timer3->setObjectName(QStringLiteral("Timer3"));
  run_ = std::make_unique<MonitorRun>(link_, images_, poll_, *Timer3,
                                      static_cast<MonitorSurface&>(*this));
  run_->setFinalReport(report);
  run_->dumpEeprom = [this] { return DumpEeprom(0, DeviceImages::kEepromSize - 1); };
  run_->firstTickFailed = [this] { probeOtherRates(); };
  connect(Timer3, &WindowTimer::timeout, this, &MonitorSession::Timer3Timer);
}

MonitorSession::~MonitorSession() = default;

RunId MonitorSession::start(const PortSettings& settings) {
  return startRun([this, settings](RunId run) { begin(run, settings); });
}

void MonitorSession::begin(RunId run, const PortSettings& settings) {
  running_ = run;
  answeringRate_ = 0;
  // A port that does not open fails the first tick, which reports it.
  (void)link_.reopen(settings, settings.BaudRate);
  run_->prepareRun();
}

void MonitorSession::halted() {
  Timer3->setInterval(0);
  Timer3->setEnabled(false);
}

void MonitorSession::showWatchedValue(const QString& text) {
  toWindows([this, text] { emit watchedValueShown(text); });
}

void MonitorSession::showActivity(int position) {
  toWindows([this, position] { emit activityShown(position); });
}

void MonitorSession::DecodeEeprom() {
  // The identification may change the frame format for the rest of the run.
  const MonitorView view = lir2::DecodeEeprom(images_, context_, link_.frameState().BinaryFrames);
  toWindows([this, view, context = context_, images = images_] {
    emit eepromDecoded(view, context, images);
  });
}

void MonitorSession::DecodeRam() {
  const QDateTime now = QDateTime::currentDateTime();
  const RamValues values = measureRam(images_, context_);
  const MonitorView view = lir2::DecodeRam(values, context_, now);
  // Recordings and the chart take only values the device gave: the labels may show a pass
  // that is still partly the image's first zeros, a file should not keep it.
  const bool measured = run_->ramWindowFilled();
  measuredInPass_ = measuredInPass_ || measured;
  toWindows([this, view, context = context_, images = images_, values, now, measured] {
    emit ramDecoded(view, context, images);
    if (measured) emit ramMeasured(values, now);
  });
}

void MonitorSession::ramPassRead() {
  // A pass that changed nothing still gives its values once: a recording then shows the device
  // answering, so a still device is never mistaken for a dead line.
  if (!measuredInPass_ && run_->ramWindowFilled()) {
    const QDateTime now = QDateTime::currentDateTime();
    const RamValues values = measureRam(images_, context_);
    toWindows([this, values, now] { emit ramMeasured(values, now); });
  }
  measuredInPass_ = false;
}

void MonitorSession::FormClose() {
  halted();
  link_.endRun(running_);
  toWindows([this] { emit runEnded(); });
}

void MonitorSession::sendCommand(quint8 code) {
  // A click that arrives after the run ended (the window closing) writes nothing.
  if (!holdsLine()) return;
  PendingCommand = code;
  const Result result = WriteCommandByte();
  toWindows([this, result, code] { emit writeFinished(result, code); });
}

void MonitorSession::writeEeprom(const QList<EepromWrite>& writes) {
  if (!holdsLine()) return;
  Result code = Result::Ok;
  for (const EepromWrite& w : writes) {
    EepromAddress = w.address;
    EepromValue = w.value;
    code = WriteEepromByte(0);
    if (code != Result::Ok) break;
  }
  toWindows([this, code] { emit writeFinished(code, 0); });
}

void MonitorSession::restoreEeprom(const QList<EepromWrite>& cells) {
  EepromRestoreResult result;
  restoreStop_.store(false, std::memory_order_relaxed);
  for (const EepromWrite& cell : cells) {
    if (!isRestorable(cell.address)) {
      result.refusal = QStringLiteral(
                           "ячейка %1 не записывается: адреса 0–4 — команда и "
                           "идентификация устройства, EEPROM кончается на 1023")
                           .arg(cell.address);
      toWindows([this, result] { emit restoreFinished(result); });
      return;
    }
  }
  // Only a polling run has the line (and a write re-arms the poll timer).
  if (!Timer3->isEnabled()) {
    result.refusal = QStringLiteral("монитор не опрашивает устройство");
    toWindows([this, result] { emit restoreFinished(result); });
    return;
  }
  const int total = static_cast<int>(cells.size());
  toWindows([this, total] { emit restoreProgress(0, total); });
  for (const EepromWrite& cell : cells) {
    if (restoreStop_.load(std::memory_order_relaxed)) {
      result.stopped = true;
      break;
    }
    EepromAddress = cell.address;
    EepromValue = cell.value;
    // A failure has been reported (or reconnected) by the write itself.
    if (const Result code = WriteEepromByte(0); code != Result::Ok) {
      result.failed = cell;
      result.code = code;
      if (valueFrameStarted_) result.failedCell = readBackCell(cell);
      break;
    }
    result.written.append(cell);
    toWindows([this, written = static_cast<int>(result.written.size()), total] {
      emit restoreProgress(written, total);
    });
  }
  if (!result.failed) {
    const Result code = DumpEeprom(0, DeviceImages::kEepromSize - 1);
    if (code == Result::Ok) {
      result.readBack = true;
      result.eeprom = images_.EepromImage;
    } else {
      result.code = code;
      link_.exchange().ResultCode = code;
      if (!run_->endedByUser()) run_->ReportResult(true);
    }
  }
  toWindows([this, result] { emit restoreFinished(result); });
}

EepromRestoreResult::FailedCell MonitorSession::readBackCell(const EepromWrite& cell) {
  using Cell = EepromRestoreResult::FailedCell;
  // The user ended the run: the line is no longer the restore's.
  if (link_.stopRequested()) return Cell::Unknown;
  Exchange& ex = link_.exchange();
  const Result code = link_.frames().ReadDeviceMemory(cell.address, 0);
  // The write's failure has been told; a read-back that fails too only leaves the doubt.
  ex.ResultCode = Result::Ok;
  if (code != Result::Ok) return Cell::Unknown;
  const quint8 value = link_.frameState().ReplyByte0;
  images_.EepromImage[cell.address] = value;
  return value == cell.value ? Cell::Written : Cell::Unchanged;
}

Result MonitorSession::WriteCommandByte() {
  // No tick may run while the write has the line.
  Timer3->setEnabled(false);
  Frames& frames = link_.frames();
  Result code = Result::Ok;
  if (link_.frameState().BinaryFrames) {
    link_.frameState().TxData[0] = PendingCommand;
    code = frames.SendBinaryCommand('w', 0, 0);
    if (code == Result::Ok) code = frames.ReadBinaryReply(FrameWrite, 0);
  } else {
    code = frames.SendTextCommand("PCWR", 0, FrameWrite, PendingCommand);
    if (code == Result::Ok) code = frames.ReadTextReply(FrameWrite, 0);
  }
  PendingCommand = 0;
  return finishWrite(code);
}

Result MonitorSession::WriteEepromByte(quint8 n) {
  Timer3->setEnabled(false);
  Frames& frames = link_.frames();
  FrameState& state = link_.frameState();
  // The announcing command 3 first; the parameter frame only after the device took it.
  Result code = Result::Ok;
  valueFrameStarted_ = false;
  if (state.BinaryFrames) {
    state.TxData[0] = 3;
    code = frames.SendBinaryCommand('w', 0, 0);
    if (code == Result::Ok) code = frames.ReadBinaryReply(FrameWrite, 0);
    if (code == Result::Ok) {
      state.TxData[0] = EepromValue;
      valueFrameStarted_ = true;
      code = frames.SendBinaryCommand('w', EepromAddress, n);
    }
    if (code == Result::Ok) code = frames.ReadBinaryReply(FrameWrite, n);
  } else {
    code = frames.SendTextCommand("PCWR", 0, FrameWrite, 3);
    if (code == Result::Ok) code = frames.ReadTextReply(FrameWrite, 0);
    if (code == Result::Ok) {
      valueFrameStarted_ = true;
      code = frames.SendTextCommand("PCWR", EepromAddress, FrameWrite, EepromValue);
    }
    if (code == Result::Ok) code = frames.ReadTextReply(FrameWrite, 0);
  }
  PendingCommand = 0;
  if (code == Result::Ok) {
    EepromAddress = 0;
    EepromValue = 0;
  }
  // A failed write keeps the attempt in EepromAddress and EepromValue.
  return finishWrite(code);
}

Result MonitorSession::finishWrite(Result code) {
  if (code == Result::Ok) {
    poll_.EepromRefresh = true;
    Timer3->setEnabled(true);
    return code;
  }
  // The user closed the window during the write: nothing more to say.
  if (run_->endedByUser()) return code;
  // The failure is reported (or reconnected) here, once; the next tick finds no code left.
  run_->ReportResult(true);
  return code;
}

void MonitorSession::probeOtherRates() {
  Exchange& ex = link_.exchange();
  const Result code = ex.ResultCode;
  if (!DeviceLink::isGarbledLine(code)) return;
  const qint32 answering = link_.findAnsweringRate();
  if (answering == 0 || link_.stopRequested()) return;
  answeringRate_ = answering;
  // Polling on at a rate the device does not speak only repeats the failure: the run ends now,
  // and the error bar says what to do.
  ex.ReconnectCount = MonitorRun::kReconnectLimit;
  run_->ReportResult(true);
  StatusBars* status = link_.port().status();
  if (status && !rateAdvice_.isEmpty())
    status->setErrorText(
        resultMessage(code) +
        QStringLiteral(". Устройство отвечает на скорости %1 — ").arg(answering) +
        (rateAdvice_.contains(QLatin1String("%1")) ? rateAdvice_.arg(answering) : rateAdvice_));
}

Result MonitorSession::readParameterList() {
  link_.frameState().BinaryFrames = false;
  for (const quint16 address : MonitorRun::kEepromParamList) {
    if (const Result code = link_.frames().ReadDeviceMemory(address, 0); code != Result::Ok) {
      if (address == MonitorRun::kEepromParamList[0] && DeviceLink::isGarbledLine(code))
        answeringRate_ = link_.findAnsweringRate();
      return code;
    }
    images_.EepromImage[address] = link_.frameState().ReplyByte0;
  }
  return Result::Ok;
}

bool MonitorSession::dumpsInBlocks(const DeviceImages::Eeprom& eeprom) {
  const quint8 type = eeprom[0];
  return type == 3 || (type == 2 && eeprom[1] == 5 && firmwareVersionOf(eeprom[2]) >= 70);
}

Result MonitorSession::DumpEeprom(quint16 first, quint16 last) {
  Frames& frames = link_.frames();
  const FrameState& state = link_.frameState();
  auto& eeprom = images_.EepromImage;
  if (dumpsInBlocks(eeprom)) {
    for (int a = first; a + 15 <= last; a += 16) {
      if (const Result code = frames.ReadDeviceMemory(static_cast<quint16>(a), 15);
          code != Result::Ok)
        return code;
      std::copy_n(state.ReplyData.begin(), 16, eeprom.begin() + a);
      showActivity((a / 16) % 16);
    }
  } else {
    for (int a = first; a <= last; ++a) {
      if (const Result code = frames.ReadDeviceMemory(static_cast<quint16>(a), 0);
          code != Result::Ok)
        return code;
      eeprom[a] = state.ReplyByte0;
      if (a % 16 == 15) showActivity((a / 16) % 16);
    }
  }
  toWindows([this, eeprom] { emit eepromDumped(eeprom); });
  return Result::Ok;
}

}  // namespace lir2

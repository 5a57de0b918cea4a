#pragma once

#include <QDateTime>
#include <QString>

#include "monitor/decode_context.h"
#include "monitor/device_data.h"
#include "monitor/device_images.h"
#include "monitor/monitor_view.h"
#include "monitor/number_format.h"
#include "monitor/ram_values.h"

namespace lir2 {

// The monitor's decoders: plain functions from the device's memory images and the decode
// context to what the monitor window must show. They read the images, update the context (the
// identity they learn, the state carried from one pass to the next) and return a view; they never
// touch a window. Any bytes decode safely: no table is indexed out of range and nothing divides
// by zero.

// What the device is (identifyDevice, learnIdentification, showIdentification of
// device_data.h): output frequency, firmware version, power model, board text, hybrid mark,
// voltage class, the controls that exist for this board and generation, and (generation 9 on,
// firmware 11.0 on) the frame format, which `binaryFrames` receives; it is left as it was for
// devices that do not decide it.
MonitorView DecodeIdentification(const DeviceImages& images, DecodeContext& ctx,
                                 bool& binaryFrames);

// The settings and calibration the EEPROM holds, as the identification left the context
// (readDeviceSettings, learnSettings, showSettings): measuring transistors, overload addition,
// dead time, transformer and temperature/BMS selections, temperature limits (into the context),
// correction coefficients, battery type, charge voltages, sine coefficient, short-circuit
// thresholds, under-load current. It also forgets the alarms already logged, so the next RAM
// pass logs the standing ones once more.
MonitorView DecodeSettings(const DeviceImages& images, DecodeContext& ctx);

// The whole EEPROM decode: the identification, then the settings, in one view.
MonitorView DecodeEeprom(const DeviceImages& images, DecodeContext& ctx, bool& binaryFrames);

// The numbers behind the RAM window's labels, with the device's scaling, and the alarms that
// appeared since the last pass (the context's PreviousAlarms). Changes nothing.
RamValues measureRam(const DeviceImages& images, const DecodeContext& ctx);

// The labels of a RAM pass from its numbers; the context learns the device's on and charging
// state, its absent sensors and this pass's alarm bytes.
MonitorView DecodeRam(const RamValues& values, DecodeContext& ctx, const QDateTime& now);

// The operating mode as its label writes it: "Включен, Пропускаем сеть, Идет заряд".
QString modeText(const RamValues& values);
// The mains current as its label writes it, without the unit: "-2,5", "17".
QString mainsCurrentText(const RamValues& values, Separator separator = Separator::Locale);

// The RAM window (measureRam, then the labels from its numbers): operating state and charging,
// measurements, temperatures, winding offsets, short-circuit counters, and the alarm lines of
// alarms that appeared since the last pass, each stamped with `now` in local time.
MonitorView DecodeRam(const DeviceImages& images, DecodeContext& ctx, const QDateTime& now);

// The stamp in front of every alarm line of one pass: the local date in the Russian short
// format, a blank, the time in its long format without a time-zone part, then four blanks
// ("05.03.2024 14:07:09    "), whatever the system's locale.
QString AlarmLogPrefix(const QDateTime& now);

}  // namespace lir2

// The poll tick and the end of failed exchanges, without the window, on a scripted device, in
// virtual time.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include <algorithm>

#include "common/link_rig.h"
#include "monitor/monitor_run.h"
#include "protocol/frames.h"
#include "serial/window_timer.h"

using namespace lir2;

namespace {

// What the poll cycle shows, and how often it decodes.
struct RecordingSurface final : MonitorSurface {
  QString watchedText = QStringLiteral("0");
  QStringList watchedShown;
  std::vector<int> activity;
  int eepromDecodes = 0, ramDecodes = 0, closes = 0;

  QString watchedAddressText() const override { return watchedText; }
  void showWatchedValue(const QString& text) override { watchedShown << text; }
  void showActivity(int position) override { activity.push_back(position); }
  void DecodeEeprom() override { ++eepromDecodes; }
  void DecodeRam() override { ++ramDecodes; }
  void FormClose() override { ++closes; }
};

// A device that answers text reads from its memory, each reply as soon as the echo of the
// command's LF has gone.
struct MemoryDevice {
  std::array<quint8, 4096> memory{};
  QByteArray command;
  int echoes = 0;  // the host's echoes of the reply still to come

  QByteArray operator()(quint8 b) {
    if (echoes > 0) return --echoes, QByteArray();
    command += static_cast<char>(b);
    if (b != '\n') return QByteArray(1, static_cast<char>(b));
    const int address = command.mid(4, 3).toInt(nullptr, 16);
    QByteArray data(reinterpret_cast<const char*>(&memory[address]),
                    command.startsWith("PCPR") ? 16 : 1);
    quint8 check = 0;
    for (char c : data) check -= static_cast<quint8>(c);
    const QByteArray reply = "MOk" + (data + char(check)).toHex().toUpper() + "\r\n";
    command.clear();
    echoes = reply.size();
    return "\n" + reply;
  }
};

// The run, started, on a device whose every cell holds a value of its own.
struct RunRig : LinkRig {
  std::shared_ptr<MemoryDevice> device = std::make_shared<MemoryDevice>();
  DeviceImages images;
  PollState poll;
  WindowTimer timer3;
  RecordingSurface surface;
  MonitorRun run{link, images, poll, timer3, surface};

  RunRig() {
    for (int a = 0; a < 4096; ++a) device->memory[a] = static_cast<quint8>(a * 7 + a / 256 + 1);
    line->respond = [d = device](quint8 b) { return (*d)(b); };
    switches.writes = true;  // the write log: every byte the host wrote
    run.prepareRun();
  }
  // One tick as the timer gives it, its pause first. Returns the text commands it sent, as
  // "RD050" or "PR400".
  QStringList tick() {
    if (timer3.isActive()) clock.advance(timer3.interval());
    log.write.clear();
    run.PollTick();
    static const QRegularExpression command(QStringLiteral("PC(RD|PR|WR)([0-9A-F]{3})"));
    QStringList sent;
    for (const auto& m : command.globalMatch(log.write)) sent << m.captured(1) + m.captured(2);
    return sent;
  }
  // The EEPROM image a refresh leaves: the parameters and cell 80, nothing else.
  std::array<quint8, 1024> refreshedEeprom() const {
    std::array<quint8, 1024> image{};
    for (quint16 a : MonitorRun::kEepromParamList) image[a] = device->memory[a];
    image[80] = device->memory[80];
    return image;
  }
  // The device's RAM window, as a whole pass leaves the RAM image.
  std::array<quint8, 69> deviceRam() const {
    std::array<quint8, 69> ram{};
    std::copy_n(device->memory.begin() + 1024, ram.size(), ram.begin());
    return ram;
  }
};

QStringList parameterReads() {
  QStringList reads;
  for (quint16 address : MonitorRun::kEepromParamList)
    reads << "RD" + QString::number(address, 16).toUpper().rightJustified(3, '0');
  return reads;
}

// The first tick, and the first after a failure, read the parameters, then the RAM block due.
TEST(MonitorRun, FirstTickReadsTheParametersThenTheFirstRamBlock) {
  RunRig rig;
  // The image already holds what the device's RAM window holds: the first RAM decode runs
  // all the same.
  rig.images.RamImage = rig.deviceRam();
  EXPECT_EQ(rig.tick(), parameterReads() + QStringList({"RD050", "RD000", "PR400"}));
  EXPECT_EQ(rig.ex.ResultCode, Result::Ok);
  EXPECT_EQ(rig.images.EepromImage, rig.refreshedEeprom());
  // The parameters; cell 80, found changed.
  EXPECT_EQ(rig.surface.eepromDecodes, 2);
  EXPECT_EQ(rig.surface.ramDecodes, 1);
  EXPECT_EQ(rig.surface.activity, std::vector<int>{1});
  EXPECT_EQ(rig.surface.watchedShown, QStringList{"1 / 0x01"});
  // The next tick 300 ms after this one ended.
  EXPECT_TRUE(rig.timer3.isActive());
  EXPECT_EQ(rig.timer3.interval(), 300);

  // A failure anywhere in a tick reconnects, here at the end of the RAM pass; the next tick reads
  // everything again, the pass from its start, and pays the reconnect back.
  for (int i = 0; i < 3; ++i) rig.tick();  // the next tick reads the pass's last five bytes
  rig.line->writeFails = true;
  EXPECT_TRUE(rig.tick().isEmpty());
  rig.line->writeFails = false;
  EXPECT_EQ(rig.line->opens, 2);  // the line opened afresh
  EXPECT_EQ(rig.ex.ReconnectCount, 1);
  EXPECT_EQ(rig.timer3.interval(), 300);
  EXPECT_EQ(rig.tick(), parameterReads() + QStringList({"RD050", "RD000", "PR400"}));
  EXPECT_EQ(rig.ex.ReconnectCount, 0);
}

TEST(MonitorRun, RamPassTakesFiveTicksAndStartsAgain) {
  RunRig rig;
  rig.tick();
  const QStringList ticks[] = {
      {"PR410"}, {"PR420"}, {"PR430"}, {"RD440", "RD441", "RD442", "RD443", "RD444"}, {"PR400"}};
  for (const QStringList& ram : ticks) EXPECT_EQ(rig.tick(), QStringList({"RD050", "RD000"}) + ram);
  EXPECT_EQ(rig.images.RamImage, rig.deviceRam());
  // A device that holds still is decoded once per change: the first pass filled the image, the
  // second finds nothing new.
  const int decodes = rig.surface.ramDecodes;
  for (int i = 0; i < 5; ++i) rig.tick();
  EXPECT_EQ(rig.surface.ramDecodes, decodes);
  EXPECT_EQ(rig.surface.eepromDecodes, 2);
  EXPECT_EQ(rig.surface.activity.back(), 11);
}

TEST(MonitorRun, WatchedAddressText) {
  for (const char* text : {"", "abc", "12x", "тест", "99999999999"})
    EXPECT_EQ(MonitorRun::WatchedAddress(text), 0) << text;
  const std::pair<const char*, int> cases[] = {{"80", 80},       {" 1029 ", 1029}, {"$50", 80},
                                               {"0x44F", 0x44F}, {"-1", 0xFFFF},   {"70000", 4464}};
  for (auto [text, address] : cases) EXPECT_EQ(MonitorRun::WatchedAddress(text), address) << text;
  EXPECT_EQ(MonitorRun::watchedValueText(123), "123 / 0x7B");
  EXPECT_EQ(MonitorRun::watchedValueText(0), "0 / 0x00");
}

// What a change seen by a tick makes it decode, without reading the parameters again; the
// images then hold what the device holds, and a watched cell beyond the RAM window is only
// shown.
TEST(MonitorRun, ChangesBetweenTicksAreDecodedInTheSameTick) {
  const struct {
    const char* name;
    int watched;
    int changed;  // the cell the device changes, if any
    int eepromDecodes, ramDecodes;
  } cases[] = {
      {"polled cell 80", 0, 80, 1, 0},
      {"watched EEPROM cell", 300, 300, 1, 0},
      // The RAM pass finds the image already holding the watched value: the watch itself must
      // ask for the RAM decode.
      {"watched RAM cell", 1070, 1070, 1, 1},
      {"the last RAM cell, watched", 1092, 1092, 1, 1},
      {"a RAM cell nobody watches, in the block of the tick", 0, 1030, 0, 1},
      {"a watched cell that keeps its value", 1070, -1, 0, 0},
      {"a watched cell beyond the RAM window", 2000, 2000, 0, 0},
  };
  for (const auto& c : cases) {
    RunRig rig;
    rig.surface.watchedText = QString::number(c.watched);
    for (int i = 0; i < 5; ++i) rig.tick();  // one whole RAM pass
    const int eeprom = rig.surface.eepromDecodes, ram = rig.surface.ramDecodes;
    if (c.changed >= 0) rig.device->memory[c.changed] ^= 0xFF;
    EXPECT_EQ(rig.tick().size(), 3) << c.name;  // no parameter refresh
    EXPECT_EQ(rig.surface.eepromDecodes - eeprom, c.eepromDecodes) << c.name;
    EXPECT_EQ(rig.surface.ramDecodes - ram, c.ramDecodes) << c.name;
    const quint8 value = rig.device->memory[c.watched];
    EXPECT_EQ(rig.surface.watchedShown.back(), MonitorRun::watchedValueText(value)) << c.name;
    auto expected = rig.refreshedEeprom();
    if (c.watched < 1024) expected[c.watched] = value;
    EXPECT_EQ(rig.images.EepromImage, expected) << c.name;
    EXPECT_EQ(rig.images.RamImage, rig.deviceRam()) << c.name;
  }
}

TEST(MonitorRun, EepromMapRequestIsServedInsteadOfPolling) {
  // Served and done, served and failed, not served.
  const std::pair<bool, quint8> cases[] = {{true, 0}, {true, 20}, {false, 0}};
  for (const auto& c : cases) {
    RunRig rig;
    int dumps = 0;
    if (c.first) rig.run.dumpEeprom = [&] { return ++dumps, resultFromCode(c.second); };
    rig.poll.DumpRequest = true;
    // A dump tick does nothing else; without a dump the tick polls as always.
    EXPECT_EQ(rig.tick().isEmpty(), c.first);
    EXPECT_EQ(dumps, c.first ? 1 : 0);
    EXPECT_EQ(rig.poll.DumpRequest, !c.first);  // waits until something serves it
    EXPECT_EQ(rig.ex.ReconnectCount, c.second ? 1 : 0);
    EXPECT_EQ(rig.surface.activity.size(), 1u);
  }
}

}  // namespace

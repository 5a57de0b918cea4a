// The poll tick and the end of failed exchanges, on the simulated device and on scripted lines,
// in virtual time.
#include <gtest/gtest.h>

#include <algorithm>

#include "monitor_rig.h"
#include "protocol/result_messages.h"

namespace {

// A device that answers every text read with the same value, in lock-step.
struct ConstantDevice {
  quint8 value = 0x5A;
  QByteArray line;
  QByteArray reply;
  int sent = 0;

  static QByteArray hex(quint8 v) {
    return QByteArray::number(v, 16).toUpper().rightJustified(2, '0');
  }

  QByteArray operator()(quint8 b) {
    if (!reply.isEmpty()) {  // the host's echo of the last reply byte
      if (sent < reply.size()) return QByteArray(1, reply[sent++]);
      reply.clear();
      return {};
    }
    line.append(static_cast<char>(b));
    QByteArray out(1, static_cast<char>(b));
    if (b != '\n') return out;
    const int n = line.startsWith("PCPR") ? 16 : 1;
    reply = "MOk" + hex(value).repeated(n) + hex(static_cast<quint8>(-(value * n))) + "\r\n";
    line.clear();
    sent = 1;
    return out + reply.left(1);
  }
};

QStringList parameterReads() {
  QStringList reads;
  for (quint16 address : MonitorRun::kEepromParamList) reads << readOf(address);
  return reads;
}

TEST(MonitorRun, FirstTickReadsTheParametersThenTheFirstRamBlock) {
  RunRig rig;
  rig.start();
  // The image already holds what the device's RAM window holds: the first RAM decode runs
  // all the same.
  const DeviceMemory::Ram ram = rig.deviceRam();
  std::copy(ram.begin(), ram.end(), rig.images.RamImage.begin());

  const QStringList sent = rig.tick();
  EXPECT_EQ(sent, parameterReads() + QStringList({readOf(80), readOf(0), blockOf(0x400)}));
  ASSERT_EQ(sent.size(), 49);
  EXPECT_EQ(rig.ex.ResultCode, 0);
  EXPECT_EQ(rig.surface.eepromDecodes, 1);
  EXPECT_EQ(rig.surface.ramDecodes, 1);
  EXPECT_FALSE(rig.poll.EepromRefresh);
  EXPECT_FALSE(rig.poll.RamChanged);
  EXPECT_EQ(rig.poll.RamOffset, 16);
  EXPECT_EQ(rig.surface.activity, std::vector<int>{1});
  EXPECT_EQ(rig.surface.watchedShown, QStringList{"3 / 0x03"});  // board type 3 at address 0
  // The parameters, and only they, are in the image.
  for (int a = 0; a < DeviceImages::kEepromSize; ++a) {
    const bool read = a == 80 || std::find(MonitorRun::kEepromParamList.begin(),
                                           MonitorRun::kEepromParamList.end(),
                                           a) != MonitorRun::kEepromParamList.end();
    EXPECT_EQ(rig.images.EepromImage[a], read ? rig.deviceEeprom()[a] : 0) << a;
  }
  // The next tick 300 ms after this one ended.
  EXPECT_TRUE(rig.timer3.isActive());
  EXPECT_EQ(rig.timer3.interval(), 300);
}

TEST(MonitorRun, RamPassTakesFiveTicksAndStartsAgain) {
  RunRig rig;
  rig.start();
  rig.tick();
  const QStringList both = {readOf(80), readOf(0)};
  const struct {
    QStringList ram;
    int offsetAfter;
    int singlesAfter;
  } ticks[] = {
      {{blockOf(0x410)}, 32, 0},
      {{blockOf(0x420)}, 48, 0},
      {{blockOf(0x430)}, 64, 5},
      {{readOf(0x440), readOf(0x441), readOf(0x442), readOf(0x443), readOf(0x444)}, 0, 0},
      {{blockOf(0x400)}, 16, 0},
  };
  int n = 2;
  for (const auto& t : ticks) {
    EXPECT_EQ(rig.tick(), both + t.ram) << "tick " << n;
    EXPECT_EQ(rig.poll.RamOffset, t.offsetAfter) << "tick " << n;
    EXPECT_EQ(rig.poll.RamSingles, t.singlesAfter) << "tick " << n;
    if (n == 5) {
      const DeviceMemory::Ram ram = rig.deviceRam();
      EXPECT_TRUE(std::equal(ram.begin(), ram.end(), rig.images.RamImage.begin()));
    }
    ++n;
  }
  // A device that holds still is decoded once per change: the first pass filled the image, the
  // second finds nothing new.
  const int decodes = rig.surface.ramDecodes;
  for (int i = 0; i < 5; ++i) rig.tick();
  EXPECT_EQ(rig.surface.ramDecodes, decodes);
  EXPECT_EQ(rig.surface.eepromDecodes, 1);
  EXPECT_EQ(rig.surface.activity.back(), 11);
}

TEST(MonitorRun, WatchedAddressText) {
  const struct {
    const char* text;
    quint16 address;
  } cases[] = {
      {"0", 0},          {"80", 80},  {" 1029 ", 1029}, {"abc", 0},     {"", 0},
      {"12x", 0},        {"$50", 80}, {"0x44F", 0x44F}, {"-1", 0xFFFF}, {"70000", 70000 & 0xFFFF},
      {"99999999999", 0}};
  for (const auto& c : cases) EXPECT_EQ(MonitorRun::WatchedAddress(c.text), c.address) << c.text;
  EXPECT_EQ(MonitorRun::watchedValueText(123), "123 / 0x7B");
  EXPECT_EQ(MonitorRun::watchedValueText(0), "0 / 0x00");
  EXPECT_EQ(MonitorRun::watchedValueText(255), "255 / 0xFF");
}

TEST(MonitorRun, TextThatIsNotANumberWatchesAddressZero) {
  RunRig rig;
  rig.surface.watchedText = "тест";
  rig.start();
  rig.tick();
  EXPECT_EQ(rig.tick(), (QStringList{readOf(80), readOf(0), blockOf(0x410)}));
  EXPECT_EQ(rig.surface.watchedShown.back(), "3 / 0x03");
}

// What a change seen by a tick makes it decode, without reading the parameters again.
TEST(MonitorRun, ChangesBetweenTicksAreDecodedInTheSameTick) {
  const struct {
    const char* name;
    QString watched;
    int address;  // the cell the device changes
    int eepromDecodes, ramDecodes;
  } cases[] = {
      {"polled cell 80", "0", 80, 1, 0},
      {"watched EEPROM cell", "300", 300, 1, 0},
      {"watched RAM cell", "1070", 1070, 1, 1},
      {"a RAM cell nobody watches, in the block of the tick", "0", 1030, 0, 1},
      {"a watched cell that keeps its value", "1070", -1, 0, 0},
  };
  for (const auto& c : cases) {
    RunRig rig;
    rig.model->memory().setLive(false);
    rig.surface.watchedText = c.watched;
    rig.start();
    for (int i = 0; i < 5; ++i) rig.tick();  // one whole RAM pass
    const int eeprom = rig.surface.eepromDecodes, ram = rig.surface.ramDecodes;
    if (c.address >= 0) rig.model->memory().write(c.address, 0x77);
    const QStringList sent = rig.tick();
    EXPECT_EQ(sent.size(), 3) << c.name;  // no parameter refresh
    EXPECT_EQ(rig.surface.eepromDecodes - eeprom, c.eepromDecodes) << c.name;
    EXPECT_EQ(rig.surface.ramDecodes - ram, c.ramDecodes) << c.name;
    EXPECT_FALSE(rig.poll.EepromRefresh) << c.name;
    if (c.address >= 0 && c.address < 1024) {
      EXPECT_EQ(rig.images.EepromImage[c.address], 0x77) << c.name;
    } else if (c.address >= 1024) {
      EXPECT_EQ(rig.images.RamImage[c.address - 1024], 0x77) << c.name;
    }
  }
}

TEST(MonitorRun, WatchedAddressBeyondTheRamWindowIsShownOnly) {
  RunRig rig;
  auto device = std::make_shared<ConstantDevice>();
  auto line = std::make_shared<ScriptedLine>();
  line->respond = [device](quint8 b) { return (*device)(b); };
  rig.makeLine = [&] { return std::make_unique<ScriptedDevice>(line, rig.clock); };
  rig.surface.watchedText = "2000";
  rig.start();
  rig.tick();
  const DeviceImages before = rig.images;
  const int decodes = rig.surface.eepromDecodes;
  device->value = 0x3C;
  EXPECT_EQ(rig.tick(), (QStringList{readOf(80), readOf(2000), blockOf(0x410)}));
  EXPECT_EQ(rig.surface.watchedShown, (QStringList{"90 / 0x5A", "60 / 0x3C"}));
  EXPECT_EQ(rig.ex.ResultCode, 0);
  // Cell 80 changed and was decoded; the watched value went nowhere else.
  EXPECT_EQ(rig.surface.eepromDecodes, decodes + 1);
  EXPECT_EQ(rig.images.EepromImage[80], 0x3C);
  DeviceImages expected = before;
  expected.EepromImage[80] = 0x3C;
  std::fill_n(expected.RamImage.begin() + 16, 16, quint8(0x3C));
  EXPECT_EQ(rig.images.EepromImage, expected.EepromImage);
  EXPECT_EQ(rig.images.RamImage, expected.RamImage);
}

TEST(MonitorRun, LastRamCellCanBeWatched) {
  RunRig rig;
  rig.surface.watchedText = "0x444";
  rig.model->memory().setLive(false);
  rig.model->memory().write(0x444, 0x42);
  rig.start();
  rig.tick();
  EXPECT_EQ(rig.images.RamImage[68], 0x42);
  EXPECT_EQ(rig.surface.watchedShown.back(), "66 / 0x42");
}

TEST(MonitorRun, Gen9SwitchesToBinaryFramesOnceItsIdentificationIsDecoded) {
  for (const char* profile : {"gen9", "gen5"}) {
    RunRig rig(profile);
    rig.surface.onDecodeEeprom = [&] {
      rig.frameState.BinaryFrames =
          BinaryFramesFor(rig.images.EepromImage[1], FirmwareVersionOf(rig.images.EepromImage[2]),
                          rig.frameState.BinaryFrames);
    };
    const bool binary = QByteArray(profile) == "gen9";
    rig.start();
    rig.tick();
    EXPECT_EQ(rig.frameState.BinaryFrames, binary) << profile;
    // The parameters came in text frames; what the first tick read after their decode went in
    // the format they chose.
    EXPECT_EQ(textCommands(rig.record->written).size(), binary ? 46 : 49) << profile;
    const qsizetype before = rig.record->written.size();
    EXPECT_EQ(rig.tick().isEmpty(), binary) << profile;
    EXPECT_EQ(rig.ex.ResultCode, 0);
    EXPECT_EQ(rig.ex.ReconnectCount, 0);
    if (binary) {
      // r, N = 0, address 0x0050, checksum, LF: the polled cell 80, in binary.
      EXPECT_EQ(rig.record->written.mid(before, 6), QByteArray("\x72\x00\x00\x50\x3E\x0A", 6));
    }
    for (int i = 0; i < 4; ++i) rig.tick();
    const DeviceMemory::Ram ram = rig.deviceRam();
    EXPECT_TRUE(std::equal(ram.begin(), ram.end(), rig.images.RamImage.begin())) << profile;
  }
}

// Six failing ticks: five silent reconnects, then the final report ends the run.
TEST(MonitorRun, SixFailingTicksEndTheRunAfterFiveSilentReconnects) {
  RunRig rig;
  rig.model = std::make_shared<DeviceModel>([] {
    SimConfig cfg = *simConfigForProfile("gen9");
    cfg.firmware.silentAfterFrames = 49;  // answers the first tick, then nothing
    return cfg;
  }());
  rig.start();
  rig.tick();
  ASSERT_EQ(rig.ex.ResultCode, 0);
  for (int i = 1; i <= 5; ++i) {
    rig.tick();
    EXPECT_EQ(rig.ex.ReconnectCount, i);
    EXPECT_EQ(rig.ex.ResultCode, 0) << "cleared by the reconnect";
    EXPECT_EQ(rig.record->opens, 1 + i);
    EXPECT_TRUE(rig.poll.EepromRefresh);
    EXPECT_TRUE(rig.timer3.isActive());
    EXPECT_EQ(rig.timer3.interval(), 300);
    // Silent: the reopened port only clears the error bar.
    EXPECT_TRUE(rig.status.error.isEmpty());
    EXPECT_EQ(rig.status.errors.join(""), "");
    EXPECT_TRUE(rig.sounds.played.empty()) << "silent";
  }
  rig.tick();
  EXPECT_EQ(rig.surface.closes, 1);
  EXPECT_EQ(rig.record->opens, 6);
  EXPECT_EQ(rig.status.state, "Выключенно");
  EXPECT_EQ(rig.status.error, resultMessage(20));
  EXPECT_EQ(rig.sounds.played, std::vector<Sound>{Sound::Error});
  EXPECT_EQ(rig.ex.ResultCode, 0);
  EXPECT_EQ(rig.ex.ReconnectCount, 5);
  EXPECT_FALSE(rig.timer3.isActive());
}

// The debt of reconnects: good ticks pay it down, never below zero; a failure that finds it at
// five ends the run at once.
TEST(MonitorRun, ReconnectDebt) {
  const struct {
    quint8 debtBefore;
    bool fails;
    quint8 debtAfter;
    int closes;
  } cases[] = {
      {0, false, 0, 0}, {3, false, 2, 0}, {5, false, 4, 0},
      {0, true, 1, 0},  {4, true, 5, 0},  {5, true, 5, 1},
  };
  for (const auto& c : cases) {
    RunRig rig;
    rig.ex.ReconnectCount = c.debtBefore;
    if (c.fails) rig.record->failWrite = [](const QByteArray&, quint8) { return true; };
    rig.start();
    rig.tick();
    EXPECT_EQ(rig.ex.ReconnectCount, c.debtAfter) << int(c.debtBefore) << c.fails;
    EXPECT_EQ(rig.surface.closes, c.closes) << int(c.debtBefore) << c.fails;
  }
}

TEST(MonitorRun, FailureAtTheEndOfARamPassRestartsThePass) {
  RunRig rig;
  bool failed = false;
  // The second single-byte read of the pass (1089) cannot be written.
  rig.record->failWrite = [&](const QByteArray& written, quint8 byte) {
    if (failed || byte != '1' || !written.endsWith("PCRD44")) return false;
    failed = true;
    return true;
  };
  rig.start();
  for (int i = 0; i < 4; ++i) rig.tick();
  const QStringList sent = rig.tick();
  EXPECT_EQ(sent, (QStringList{readOf(80), readOf(0), readOf(0x440)}));
  EXPECT_EQ(rig.ex.ReconnectCount, 1);
  EXPECT_EQ(rig.timer3.interval(), 300);
  // The refresh tick: all parameters again and the pass from its start.
  EXPECT_EQ(rig.tick(), parameterReads() + QStringList({readOf(80), readOf(0), blockOf(0x400)}));
  EXPECT_EQ(rig.ex.ReconnectCount, 0);
}

TEST(MonitorRun, EepromMapRequestIsServedInsteadOfPolling) {
  const struct {
    bool served;
    quint8 dumpCode;
    int dumps;
    bool pendingAfter;
    int reconnects;
  } cases[] = {{true, 0, 1, false, 0}, {true, 20, 1, false, 1}, {false, 0, 0, true, 0}};
  for (const auto& c : cases) {
    RunRig rig;
    int dumps = 0;
    if (c.served) rig.run.dumpEeprom = [&] { return ++dumps, c.dumpCode; };
    rig.start();
    rig.poll.DumpRequest = true;
    const qsizetype before = rig.record->written.size();
    rig.tick();
    EXPECT_EQ(dumps, c.dumps);
    EXPECT_EQ(rig.poll.DumpRequest, c.pendingAfter);
    EXPECT_EQ(rig.ex.ReconnectCount, c.reconnects);
    // A dump tick does nothing else; without a dump the tick polls as always.
    EXPECT_EQ(rig.record->written.size() == before, c.served);
    EXPECT_EQ(rig.surface.activity.size(), 1u);
  }
}

}  // namespace

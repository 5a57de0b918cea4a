// The monitor session's own rules on a scripted line, in virtual time: the command and EEPROM
// writes (what goes on the wire, what a failure keeps, how the poll timer and the report go on)
// and the EEPROM map (blocks or single cells by the device's version, a read failing part-way).
#include <gtest/gtest.h>

#include <map>

#include "common/link_rig.h"
#include "monitor/monitor_session.h"
#include "protocol/report.h"
#include "protocol/result_messages.h"
#include "serial/result_code.h"
#include "serial/window_timer.h"

using namespace lir2;

namespace {

// A device under the echo discipline: it answers text reads from its memory, and text or binary
// writes (the binary ones of these tests hold no escaped byte: seven bytes, LF last). Every frame
// it takes is noted ("RD050", "PR400", "WR017=2A"); a frame of a given number can be answered
// with an error byte, or not at all.
struct FrameDevice {
  std::array<quint8, 4096> memory{};
  QStringList frames;
  std::map<int, quint8> errorAt;  // frame number (from 0) → the error byte of its reply
  int silentAt = -1;              // the frame of this number gets no reply

  QByteArray operator()(quint8 b) {
    if (echoes > 0) return --echoes, QByteArray();
    in += char(b);
    const bool text = in.startsWith("PC");
    if (b != '\n' || (!text && in.size() < 7)) return QByteArray(1, char(b));
    const QByteArray reply = answer(text);
    in.clear();
    echoes = int(reply.size());
    return char(b) + reply;
  }

 private:
  QByteArray in;
  int echoes = 0;  // the host's echoes of a reply still to come

  static QByteArray hex(QByteArray bytes) {
    quint8 sum = 0;
    for (char c : bytes) sum -= quint8(c);
    return (bytes + char(sum)).toHex().toUpper();
  }
  QByteArray answer(bool text) {
    const int number = int(frames.size());
    const bool write = !text || in.startsWith("PCWR");
    const int address =
        text ? in.mid(4, 3).toInt(nullptr, 16) : quint8(in[2]) * 256 + quint8(in[3]);
    const int count = in.startsWith("PCPR") ? 16 : 1;
    const quint8 data = !write ? 0 : text ? quint8(in.mid(7, 2).toInt(nullptr, 16)) : quint8(in[4]);
    QString frame = QString::fromLatin1(write        ? "WR"
                                        : count == 1 ? "RD"
                                                     : "PR") +
                    QString::number(address, 16).rightJustified(3, u'0');
    if (write) frame += u'=' + QString::number(data, 16).rightJustified(2, u'0');
    frames << frame.toUpper();
    if (number == silentAt) return {};
    if (errorAt.count(number)) {
      const quint8 error = errorAt.at(number);
      return text ? "MEr" + hex(QByteArray(1, char(error))) + "\r\n"
                  : QByteArray("e") + char(error) + char(-quint8('e' + error)) + '\n';
    }
    if (!write)
      return "MOk" + hex(QByteArray(reinterpret_cast<const char*>(&memory[address]), count)) +
             "\r\n";
    if (address != 0) memory[address] = data;
    return text ? QByteArray("MOk\r\n") : QByteArray("o\x91\n");
  }
};

struct SessionRig : LinkRig {
  std::shared_ptr<FrameDevice> device = std::make_shared<FrameDevice>();
  SoundRecorder sounds;
  FinalReport report{status, sounds, [] { return true; }};
  MonitorSession session{link, &report};
  int runsEnded = 0;

  SessionRig() {
    for (int a = 0; a < 4096; ++a) device->memory[a] = quint8(a * 7 + a / 256 + 1);
    line->respond = [d = device](quint8 b) { return (*d)(b); };
    QObject::connect(&session, &MonitorSession::runEnded, [this] { ++runsEnded; });
  }
  // The run started and its first tick done: the poll timer waits its 300 ms.
  void startPolling() {
    session.start({QStringLiteral("COM1"), 19200});
    session.Timer3Timer();
    ASSERT_EQ(ex.ResultCode, Result::Ok);
    ASSERT_EQ(session.Timer3->interval(), 300);
    session.poll().EepromRefresh = false;
    device->frames.clear();
    status.errors.clear();
  }
};

// The writes' rules: the announcing command 3 first, the value only after the device took it; a
// failure keeps the attempted cell and value, clears the command, and ends through the
// reconnect (the timer at 10 ms) or, with five reconnects unpaid, the final report, once; a
// success re-arms the timer at the interval it had and asks for a refresh.
TEST(MonitorSessionWrites, FramesFailuresAndThePollTimer) {
  const struct {
    const char* name;
    bool binary, command;
    std::map<int, quint8> errorAt;  // reply number of the write → the device's error byte
    int silentAt;
    quint8 reconnects;  // unpaid before the write
    quint8 code;
    QStringList frames;  // the write's frames, as the device took them
  } cases[] = {
      {"parameter", false, false, {}, -1, 0, 0, {"WR000=03", "WR017=2A"}},
      {"parameter, binary", true, false, {}, -1, 0, 0, {"WR000=03", "WR017=2A"}},
      {"announcement refused", false, false, {{0, 0x10}}, -1, 0, 25, {"WR000=03"}},
      {"announcement refused, binary", true, false, {{0, 0x30}}, -1, 0, 25, {"WR000=03"}},
      {"value refused", false, false, {{1, 0x01}}, -1, 0, 21, {"WR000=03", "WR017=2A"}},
      {"value unanswered", false, false, {}, 1, 0, 20, {"WR000=03", "WR017=2A"}},
      {"command", false, true, {}, -1, 0, 0, {"WR000=07"}},
      {"command, binary", true, true, {}, -1, 0, 0, {"WR000=07"}},
      {"command refused", false, true, {{0, 0x20}}, -1, 0, 26, {"WR000=07"}},
      {"command refused, binary", true, true, {{0, 0x04}}, -1, 0, 23, {"WR000=07"}},
      {"command refused, fifth reconnect", false, true, {{0, 0x02}}, -1, 5, 22, {"WR000=07"}},
      {"parameter refused, fifth reconnect", true, false, {{0, 0x08}}, -1, 5, 24, {"WR000=03"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SessionRig rig;
    rig.startPolling();
    rig.link.frameState().BinaryFrames = c.binary;
    rig.ex.ReconnectCount = c.reconnects;
    rig.device->errorAt = c.errorAt;
    rig.device->silentAt = c.silentAt;
    MonitorSession& s = rig.session;
    s.PendingCommand = 7;
    s.EepromAddress = 0x17;
    s.EepromValue = 0x2A;
    const int opens = rig.line->opens;
    const quint8 code = codeOf(c.command ? s.WriteCommandByte() : s.WriteEepromByte(0));
    const bool ok = c.code == 0;
    QStringList told = rig.status.errors;  // what the error bar said (reopening empties it)
    told.removeAll(QString());

    EXPECT_EQ(code, c.code);
    EXPECT_EQ(rig.device->frames, c.frames);
    EXPECT_EQ(s.PendingCommand, 0);
    // A parameter write keeps what it tried until it succeeds.
    const bool keeps = !c.command && !ok;
    EXPECT_EQ(s.EepromAddress, c.command || keeps ? 0x17 : 0);
    EXPECT_EQ(s.EepromValue, c.command || keeps ? 0x2A : 0);
    EXPECT_EQ(rig.ex.ResultCode, Result::Ok);  // the next tick finds nothing left to report
    EXPECT_EQ(s.poll().EepromRefresh, ok || c.reconnects < MonitorRun::kReconnectLimit);
    if (ok || c.reconnects < MonitorRun::kReconnectLimit) {
      EXPECT_TRUE(s.Timer3->isEnabled());
      EXPECT_EQ(s.Timer3->interval(), ok ? 300 : 10);
      EXPECT_EQ(rig.ex.ReconnectCount, ok ? 0 : 1);
      EXPECT_EQ(rig.line->opens - opens, ok ? 0 : 1);  // a reconnect opens the line afresh
      EXPECT_TRUE(told.isEmpty());
      EXPECT_EQ(rig.runsEnded, 0);
    } else {
      // The final report: the message once, the error sound once, the run over.
      EXPECT_FALSE(s.Timer3->isEnabled());
      EXPECT_EQ(told, QStringList{resultMessage(resultFromCode(c.code))});
      EXPECT_EQ(rig.sounds.played.size(), 1u);
      EXPECT_EQ(rig.runsEnded, 1);
    }
  }
}

// The EEPROM map reads blocks of 16 from LCD SIN boards and from LCD boards of generation 5 with
// firmware 7.0 on; single cells otherwise (6.7 is the last version below 7.0 a cell can hold: the
// minor version has three bits). A read that fails ends the map there: the image keeps
// what was read before it, and no map is shown.
TEST(MonitorSessionMap, BlocksOrSingleCellsAndAFailurePartWay) {
  const struct {
    const char* name;
    quint8 type, generation, firmwareCell;  // EEPROM 0, 1, 2
    bool blocks;
    int failAt;  // the number of the read that fails, or -1
  } cases[] = {
      {"LCD SIN", 3, 0, 0x00, true, -1},
      {"LCD, generation 5, 7.0", 2, 5, 0x07, true, -1},
      {"LCD, generation 5, 6.7", 2, 5, 0xE6, false, -1},
      {"LCD, generation 6, 31.7", 2, 6, 0xFF, false, -1},
      {"LCD, generation 4, 7.0", 2, 4, 0x07, false, -1},
      {"another device", 1, 5, 0x07, false, -1},
      {"cells, failing at 500", 2, 5, 0xE6, false, 500},
      {"blocks, failing at 0x200", 3, 9, 0x6D, true, 32},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SessionRig rig;
    MonitorSession& s = rig.session;
    auto& image = s.images().EepromImage;
    image.fill(0xEE);
    image[0] = c.type, image[1] = c.generation, image[2] = c.firmwareCell;
    EXPECT_EQ(MonitorSession::dumpsInBlocks(image), c.blocks);
    if (c.failAt >= 0) rig.device->errorAt[c.failAt] = 0x01;
    int shown = 0;
    QObject::connect(&s, &MonitorSession::eepromDumped, [&](const DeviceImages::Eeprom& e) {
      ++shown;
      EXPECT_EQ(e, image);
    });

    const Result code = s.DumpEeprom(0, DeviceImages::kEepromSize - 1);

    const int reads = c.failAt >= 0 ? c.failAt + 1 : c.blocks ? 64 : 1024;
    ASSERT_EQ(rig.device->frames.size(), reads);
    EXPECT_EQ(rig.device->frames.front(), c.blocks ? "PR000" : "RD000");
    if (c.failAt < 0) {
      EXPECT_EQ(rig.device->frames.back(), c.blocks ? "PR3F0" : "RD3FF");
      EXPECT_EQ(code, Result::Ok);
      EXPECT_EQ(shown, 1);
      EXPECT_TRUE(std::equal(image.begin(), image.end(), rig.device->memory.begin()));
      continue;
    }
    EXPECT_EQ(code, Result::DeviceChecksum);
    EXPECT_EQ(shown, 0);
    const int readUpTo = c.blocks ? c.failAt * 16 : c.failAt;  // the first cell not read
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + readUpTo, rig.device->memory.begin()));
    EXPECT_TRUE(
        std::all_of(image.begin() + readUpTo, image.end(), [](quint8 b) { return b == 0xEE; }));
  }
}

}  // namespace

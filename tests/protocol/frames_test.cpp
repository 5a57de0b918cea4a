// The monitor's memory commands byte for byte, against a line whose far end is scripted.
#include <gtest/gtest.h>

#include <random>

#include "common/recorders.h"
#include "common/scripted_device.h"
#include "protocol/frames.h"
#include "serial/exchange.h"
#include "serial/port_control.h"

namespace {

QByteArray bytes(std::initializer_list<int> values) {
  QByteArray b;
  for (int v : values) b.append(static_cast<char>(v));
  return b;
}

// A device in lock-step: it echoes each byte of the command; once the whole command has come
// it sends the first byte of its answer, and every further answer byte only after the host
// has echoed the one before.
struct LockStepDevice {
  QByteArray command;  // how long the command is; the device answers after that many bytes
  QByteArray answer;
  QByteArray got;  // the command bytes as they arrived
  int sent = 0;

  QByteArray operator()(quint8 b) {
    if (got.size() < command.size()) {
      got.append(static_cast<char>(b));
      QByteArray out(1, static_cast<char>(b));
      if (got.size() == command.size() && !answer.isEmpty()) out.append(answer[sent++]);
      return out;
    }
    if (sent < answer.size()) return QByteArray(1, answer[sent++]);
    return {};
  }
};

struct Rig {
  VirtualClock clock;
  std::shared_ptr<ScriptedLine> line = std::make_shared<ScriptedLine>();
  StatusRecorder status;
  LogRecorder log;
  Switches switches;
  PortControl port{
      &status, [this](const PortEntry&) { return std::make_unique<ScriptedDevice>(line, clock); }};
  Exchange ex{port, clock, &log, &switches};
  FrameState state;
  Frames frames{ex, state};
  std::shared_ptr<LockStepDevice> device = std::make_shared<LockStepDevice>();

  Rig() {
    port.setEntries({{"COM1", "COM1", PortEntry::Kind::System}});
    port.PortName = "COM1";
    port.OpenPort(19200);
  }
  // The device expects a command as long as `command` and answers with `answer`.
  void script(const QByteArray& command, const QByteArray& answer) {
    device->command = command;
    device->answer = answer;
    line->respond = [d = device](quint8 b) { return (*d)(b); };
  }
};

QByteArray replyData(const FrameState& s, int n) {
  return QByteArray(reinterpret_cast<const char*>(s.ReplyData.data()), n);
}

// Every frame of the worked examples: what goes on the line, what comes back, what it means.
TEST(Frames, WorkedExamplesByteForByte) {
  const QByteArray block16 = bytes({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A,
                                    0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0xDB});
  const struct {
    const char* name;
    std::function<quint8(Rig&)> run;
    QByteArray command;  // host to device
    QByteArray answer;   // device to host
    quint8 code;
    QByteArray data;  // the decoded bytes
    quint8 byte0;
  } cases[] = {
      {"text read of 0x050", [](Rig& r) { return r.frames.ReadDeviceMemory(0x050, 0); },
       "PCRD0506B\r\n", "MOk3CC4\r\n", 0, bytes({0x3C}), 0x3C},
      {"text block read of 0x400", [](Rig& r) { return r.frames.ReadDeviceMemory(0x400, 15); },
       "PCPR4006C\r\n", "MOk000102030405060708090A0B0C0D0E0F88\r\n", 0,
       bytes({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}), 0x00},
      {"text write of 0x07 to 0",
       [](Rig& r) {
         if (quint8 c = r.frames.SendTextCommand("PCWR", 0, FrameWrite, 0x07)) return c;
         return r.frames.ReadTextReply(FrameWrite, 0);
       },
       "PCWR0000769\r\n",
       "MOk\r\n",
       0,
       {},
       0},
      {"text write of 0x5A to 0x014",
       [](Rig& r) {
         if (quint8 c = r.frames.SendTextCommand("PCWR", 0x014, FrameWrite, 0x5A)) return c;
         return r.frames.ReadTextReply(FrameWrite, 0);
       },
       "PCWR0145A11\r\n",
       "MOk\r\n",
       0,
       {},
       0},
      {"text write of 0xFF to 0xFFF",
       [](Rig& r) {
         if (quint8 c = r.frames.SendTextCommand("PCWR", 0xFFF, FrameWrite, 0xFF)) return c;
         return r.frames.ReadTextReply(FrameWrite, 0);
       },
       "PCWRFFFFF2F\r\n",
       "MOk\r\n",
       0,
       {},
       0},
      {"text error answer",
       [](Rig& r) { return r.frames.ReadDeviceMemory(0x050, 0); },
       "PCRD0506B\r\n",
       "MEr10F0\r\n",
       25,
       {},
       0x10},
      {"binary read of 16 bytes at 0x0400",
       [](Rig& r) {
         r.state.BinaryFrames = true;
         return r.frames.ReadDeviceMemory(0x0400, 15);
       },
       bytes({0x72, 0x0F, 0x04, 0x00, 0x7B, 0x0A}),
       bytes({0x6F, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0xDB,
              0xDC, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0xDB, 0xDD, 0xB4, 0x0A}),
       0, block16, 0x01},
      {"binary read of 1 byte at 0x0050",
       [](Rig& r) {
         r.state.BinaryFrames = true;
         return r.frames.ReadDeviceMemory(0x0050, 0);
       },
       bytes({0x72, 0x00, 0x00, 0x50, 0x3E, 0x0A}), bytes({0x6F, 0x3C, 0x55, 0x0A}), 0,
       bytes({0x3C}), 0x3C},
      {"binary write of 0x07 to 0",
       [](Rig& r) {
         r.state.TxData[0] = 0x07;
         if (quint8 c = r.frames.SendBinaryCommand('w', 0, 0)) return c;
         return r.frames.ReadBinaryReply(FrameWrite, 0);
       },
       bytes({0x77, 0x00, 0x00, 0x00, 0x07, 0x82, 0x0A}),
       bytes({0x6F, 0x91, 0x0A}),
       0,
       {},
       0},
      {"binary write of 0x0A to 0x0012 escapes the data byte",
       [](Rig& r) {
         r.state.TxData[0] = 0x0A;
         if (quint8 c = r.frames.SendBinaryCommand('w', 0x0012, 0)) return c;
         return r.frames.ReadBinaryReply(FrameWrite, 0);
       },
       bytes({0x77, 0x00, 0x00, 0x12, 0xDB, 0xDC, 0xC0, 0x0A}),
       bytes({0x6F, 0x91, 0x0A}),
       0,
       {},
       0},
      {"binary error answer",
       [](Rig& r) {
         r.state.BinaryFrames = true;
         return r.frames.ReadDeviceMemory(0x0050, 0);
       },
       bytes({0x72, 0x00, 0x00, 0x50, 0x3E, 0x0A}),
       bytes({0x65, 0x02, 0x99, 0x0A}),
       22,
       {},
       0x02},
      {"binary answer carrying 0xDB",
       [](Rig& r) {
         r.state.BinaryFrames = true;
         return r.frames.ReadDeviceMemory(0x0050, 0);
       },
       bytes({0x72, 0x00, 0x00, 0x50, 0x3E, 0x0A}), bytes({0x6F, 0xDB, 0xDD, 0xD9, 0x0A}), 0,
       bytes({0xDB}), 0xDB},
      {"binary frame whose checksum is 0x0A sends it unescaped",
       [](Rig& r) {
         r.state.BinaryFrames = true;
         return r.frames.ReadDeviceMemory(0x0084, 0);
       },
       bytes({0x72, 0x00, 0x00, 0x84, 0x0A, 0x0A}), bytes({0x6F, 0x00, 0x91, 0x0A}), 0,
       bytes({0x00}), 0x00},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.script(c.command, c.answer);
    EXPECT_EQ(c.run(rig), c.code) << c.name;
    EXPECT_EQ(rig.ex.ResultCode, c.code) << c.name;
    // The command went out whole, and every byte of the answer was echoed back.
    EXPECT_EQ(rig.line->received, c.command + c.answer) << c.name;
    EXPECT_EQ(rig.frames.lineLength(), c.answer.size()) << c.name;
    EXPECT_TRUE(rig.line->pending.empty()) << c.name;
    if (!c.data.isEmpty()) {
      EXPECT_EQ(replyData(rig.state, c.data.size()), c.data) << c.name;
    }
    if (c.code != 0 || !c.data.isEmpty()) {
      EXPECT_EQ(rig.state.ReplyByte0, c.byte0) << c.name;
    }
  }
}

// Replies of the wrong shape and the device's own error answers.
TEST(Frames, BadRepliesGiveTheirCodes) {
  const struct {
    const char* name;
    bool binary;
    int last;  // read length - 1
    QByteArray answer;
    quint8 code;
    quint8 byte0;  // checked when the code is 0
  } cases[] = {
      {"lower-case hexadecimal", false, 0, "MOk3cC4\r\n", 18, 0},
      {"a colon reads as ten", false, 0, "MOk:55B\r\n", 0, 0xA5},
      {"the characters after the colon read as 11 to 15", false, 0, "MOk;?41\r\n", 0, 0xBF},
      {"a character below '0'", false, 0, "MOk/0C4\r\n", 18, 0},
      {"'@' is no digit", false, 0, "MOk@0C4\r\n", 18, 0},
      {"checksum off by one", false, 0, "MOk3CC5\r\n", 19, 0},
      {"no LF within 39 bytes", false, 15, "MOk" + QByteArray(36, '0') + "\r\n", 17, 0},
      {"MEr with 0x40 names no known failure", false, 0, "MEr40C0\r\n", 20, 0},
      {"MEr with bits 0 and 3", false, 0, "MEr09F7\r\n", 21, 0},
      {"MEr with bits 1 and 2", false, 0, "MEr06FA\r\n", 22, 0},
      {"MEr with bit 2", false, 0, "MEr04FC\r\n", 23, 0},
      {"MEr with bit 3", false, 0, "MEr08F8\r\n", 24, 0},
      {"MEr with bit 5", false, 0, "MEr20E0\r\n", 26, 0},
      {"MEr with a bad checksum", false, 0, "MEr10F1\r\n", 19, 0},
      {"MEr line of the wrong length", false, 0, "MEr10F0\n", 17, 0},
      {"a read answered by a write acknowledgement", false, 0, "MOk\r\n", 17, 0},
      {"neither MOk nor MEr", false, 0, "MOK3CC4\r\n", 17, 0},
      {"the CR missing", false, 0, "MOk3CC4\n", 17, 0},
      {"a short block", false, 15, "MOk3CC4\r\n", 17, 0},
      {"binary: bad escape pair", true, 0, bytes({0x6F, 0xDB, 0x41, 0x00, 0x0A}), 23, 0},
      {"binary: bad escape pair in an error answer", true, 0, bytes({0x65, 0xDB, 0x00, 0x00, 0x0A}),
       23, 0},
      {"binary: checksum off", true, 0, bytes({0x6F, 0x3C, 0x56, 0x0A}), 19, 0},
      {"binary: two data bytes where one was asked", true, 0, bytes({0x6F, 0x3C, 0x3D, 0x18, 0x0A}),
       19, 0},
      {"binary: error byte 0x10", true, 0, bytes({0x65, 0x10, 0x8B, 0x0A}), 25, 0},
      {"binary: error byte 0x40", true, 0, bytes({0x65, 0x40, 0x5B, 0x0A}), 20, 0},
      {"binary: unknown letter", true, 0, bytes({0x4F, 0x3C, 0x75, 0x0A}), 17, 0},
      {"binary: the line ends inside the data", true, 15, bytes({0x6F, 0x01, 0x0A}), 19, 0},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.state.BinaryFrames = c.binary;
    const QByteArray command = c.binary ? bytes({0x72, c.last, 0x00, 0x50, 0x3E - c.last, 0x0A})
                               : c.last == 15 ? QByteArray("PCPR0506B\r\n")
                                              : QByteArray("PCRD0506B\r\n");
    rig.script(command, c.answer);
    EXPECT_EQ(rig.frames.ReadDeviceMemory(0x050, static_cast<quint8>(c.last)), c.code) << c.name;
    EXPECT_EQ(rig.ex.ResultCode, c.code) << c.name;
    if (c.code == 0) {
      EXPECT_EQ(rig.state.ReplyByte0, c.byte0) << c.name;
    }
  }
}

TEST(Frames, BinaryChecksumOfLfEndsTheLineEarly) {
  Rig rig;
  rig.state.BinaryFrames = true;
  // 0x6F + 0x87 + 0x0A = 0x100: the checksum itself is an LF.
  rig.script(bytes({0x72, 0x00, 0x00, 0x50, 0x3E, 0x0A}), bytes({0x6F, 0x87, 0x0A, 0x0A}));
  EXPECT_EQ(rig.frames.ReadDeviceMemory(0x050, 0), 17);
  EXPECT_EQ(rig.frames.lineLength(), 3);
  // The real LF came after the echo of the checksum and waits in the receive buffer.
  ASSERT_EQ(rig.line->pending.size(), 1u);
  EXPECT_EQ(rig.line->pending.front(), 0x0A);
}

TEST(Frames, OverLongRepliesAreRefusedWithinTheBuffer) {
  // A text line stops after 39 bytes without LF, every one of them echoed.
  Rig text;
  text.script("PCRD0506B\r\n", "MOk" + QByteArray(50, '0') + "\r\n");
  EXPECT_EQ(text.frames.ReadDeviceMemory(0x050, 0), 17);
  EXPECT_EQ(text.frames.lineLength(), 39);
  EXPECT_EQ(text.line->received.size(), 11 + 39);

  Rig rig;
  rig.state.BinaryFrames = true;
  // Longer than any reply can be, and no LF anywhere.
  rig.script(bytes({0x72, 0x0F, 0x04, 0x00, 0x7B, 0x0A}), "o" + QByteArray(700, 'x'));
  EXPECT_EQ(rig.frames.ReadDeviceMemory(0x400, 15), 17);
  EXPECT_EQ(rig.ex.ResultCode, 17);
  EXPECT_EQ(rig.frames.lineLength(), Frames::kBinaryLineMax);
  EXPECT_EQ(rig.line->received.size(), 6 + Frames::kBinaryLineMax);
  // The longest legal reply, LF as its 515th byte, is still taken whole: 256 data bytes that
  // are all 0x0A, each escaped.
  Rig full;
  full.state.BinaryFrames = true;
  QByteArray answer = "o";
  for (int i = 0; i < 256; ++i) answer += bytes({0xDB, 0xDC});
  // 0x6F + 256 × (0xDB + 0xDC) = 0x6F + 0x1B700 → 0x6F; checksum 0x91.
  answer += bytes({0x91, 0x0A});
  full.script(bytes({0x72, 0xFF, 0x00, 0x00, 0x8F, 0x0A}), answer);
  EXPECT_EQ(full.frames.ReadDeviceMemory(0x0000, 255), 0);
  EXPECT_EQ(full.frames.lineLength(), 515);
  EXPECT_EQ(full.state.ReplyData[255], 0x0A);
}

TEST(Frames, EchoFailuresEndTheCommandAtThatByte) {
  const struct {
    const char* name;
    std::function<QByteArray(quint8)> respond;
    quint8 code;
    int bytesSent;
  } cases[] = {
      {"silence", [](quint8) { return QByteArray(); }, 20, 1},
      {"wrong echo of the fourth byte",
       [n = 0](quint8 b) mutable { return QByteArray(1, ++n == 4 ? 'X' : char(b)); }, 5, 4},
      {"reply stops halfway",
       [n = 0](quint8 b) mutable {
         if (++n > 11) return QByteArray();  // the host's echoes of the reply
         return QByteArray(1, char(b)) + (n == 11 ? "MOk3C" : "");
       },
       20, 11 + 5},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.line->respond = c.respond;
    EXPECT_EQ(rig.frames.ReadDeviceMemory(0x050, 0), c.code) << c.name;
    EXPECT_EQ(rig.line->received.size(), c.bytesSent) << c.name;
  }
  Rig unwritable;
  unwritable.line->writeFails = true;
  EXPECT_EQ(unwritable.frames.ReadDeviceMemory(0x050, 0), 4);
}

// What no text frame can carry is refused before anything goes on the line.
TEST(Frames, TextReadsItCannotCarryAreRefused) {
  const struct {
    quint16 address;
    int last;
  } cases[] = {{0x050, 1}, {0x050, 7}, {0x050, 255}, {0x1000, 0}, {0xFF00, 0}, {0x1000, 15}};
  for (const auto& c : cases) {
    Rig rig;
    rig.line->respond = echoByte;
    EXPECT_EQ(rig.frames.ReadDeviceMemory(c.address, static_cast<quint8>(c.last)), 27)
        << c.address << " " << c.last;
    EXPECT_EQ(rig.ex.ResultCode, 27);
    EXPECT_TRUE(rig.line->received.isEmpty());
  }
  // The binary format carries them.
  Rig rig;
  rig.state.BinaryFrames = true;
  rig.script(bytes({0x72, 0x01, 0x10, 0x00, 0x7D, 0x0A}), bytes({0x6F, 0x01, 0x02, 0x8E, 0x0A}));
  EXPECT_EQ(rig.frames.ReadDeviceMemory(0x1000, 1), 0);
  EXPECT_EQ(replyData(rig.state, 2), bytes({0x01, 0x02}));
}

// The log switches decide what of the command and its answer the two logs show.
TEST(Frames, TrafficGoesToTheLogsTheSwitchesAllow) {
  const struct {
    bool reads, writes;
    QString read, write;
  } cases[] = {
      {true, true, "PCRD0506B\r\nMOk3CC4\r\n", "PCRD0506B\r\nMOk3CC4\r\n"},
      {true, false, "MOk3CC4\r\n", ""},
      {false, true, "PCRD0506B\r\n", "PCRD0506B\r\nMOk3CC4\r\n"},
      {false, false, "", ""},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.switches.reads = c.reads;
    rig.switches.writes = c.writes;
    rig.script("PCRD0506B\r\n", "MOk3CC4\r\n");
    ASSERT_EQ(rig.frames.ReadDeviceMemory(0x050, 0), 0);
    EXPECT_EQ(rig.log.read, c.read) << c.reads << c.writes;
    EXPECT_EQ(rig.log.write, c.write) << c.reads << c.writes;
  }
}

TEST(Frames, FormatChoiceFromTheIdentification) {
  EXPECT_EQ(FirmwareVersionOf(0x6D), 133);
  EXPECT_EQ(FirmwareVersionOf(0xE5), 57);
  EXPECT_EQ(FirmwareVersionOf(0x48), 82);
  const struct {
    quint8 generation;
    quint16 firmware;
    bool current, expected;
  } cases[] = {
      {9, 133, false, true}, {9, 132, true, false},  {9, 110, true, false},
      {9, 109, true, true},  {9, 109, false, false}, {8, 140, false, false},
      {8, 140, true, true},  {12, 200, false, true}, {5, 82, true, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(BinaryFramesFor(c.generation, c.firmware, c.current), c.expected)
        << int(c.generation) << " " << c.firmware << " " << c.current;
}

// Arbitrary bytes from the device: the readers always end with a code and never reach outside
// their buffers (the sanitizer build runs this test).
TEST(Frames, RandomRepliesAlwaysEndWithACode) {
  std::mt19937 random(20240611);
  const QByteArray alphabet = bytes({'M', 'O', 'k', 'E', 'r', 'o', 'e', '0', '9', 'A', 'F', ':',
                                     0x0D, 0x0A, 0xDB, 0xDC, 0xDD, 0x00, 0xFF});
  for (int round = 0; round < 3000; ++round) {
    Rig rig;
    const bool binary = round % 2 == 1;
    rig.state.BinaryFrames = binary;
    const int length = std::uniform_int_distribution<int>(0, round % 10 == 0 ? 1200 : 60)(random);
    QByteArray answer;
    if (std::uniform_int_distribution<int>(0, 2)(random) == 0)
      answer = binary ? QByteArray("o") : QByteArray("MOk");
    for (int i = 0; i < length; ++i) {
      const bool fromAlphabet = std::uniform_int_distribution<int>(0, 1)(random) == 0;
      answer.append(
          fromAlphabet
              ? alphabet[std::uniform_int_distribution<int>(0, alphabet.size() - 1)(random)]
              : static_cast<char>(random() & 0xFF));
    }
    // Arrives all at once, after the echo of the first LF (a binary checksum may be one).
    rig.line->respond = [answer, done = false](quint8 b) mutable {
      QByteArray out(1, static_cast<char>(b));
      if (b == 0x0A && !done) out += answer;
      done = done || b == 0x0A;
      return out;
    };
    const quint8 last = (round / 2) % 3 == 0 ? 15 : 0;
    const quint8 code = rig.frames.ReadDeviceMemory(static_cast<quint16>(round % 1093), last);
    EXPECT_EQ(rig.ex.ResultCode, code);
    // 5: the answer overtook the echo of a command's last byte.
    EXPECT_TRUE(code == 0 || code == 5 || (code >= 17 && code <= 26)) << int(code);
    EXPECT_LE(rig.frames.lineLength(), binary ? Frames::kBinaryLineMax : Frames::kTextLineMax);
    if (code == 0) {
      // A good reply ends with its LF, and the reader took nothing past it.
      EXPECT_EQ(rig.ex.ReplyBuf[rig.frames.lineLength() - 1], 0x0A);
      EXPECT_EQ(rig.state.ReplyByte0, rig.state.ReplyData[0]);
    }
  }
}

}  // namespace

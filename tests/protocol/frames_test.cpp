// The monitor's memory commands byte for byte, against a line whose far end is scripted.
#include <gtest/gtest.h>

#include <random>

#include "common/exchange_rig.h"
#include "protocol/frames.h"

namespace {

// Bytes written as hexadecimal pairs; spaces are skipped.
QByteArray hex(const char* pairs) {
  return QByteArray::fromHex(pairs);
}

struct Rig : ExchangeRig {
  FrameState state;
  Frames frames{ex, state};

  // A device in lock-step: it echoes each byte of a command as long as `command`; then it
  // sends its answer, each byte only after the host has echoed the one before.
  void script(const QByteArray& command, const QByteArray& answer) {
    line->respond = [command, answer, got = 0, sent = 0](quint8 b) mutable {
      QByteArray out;
      if (got < command.size()) out += static_cast<char>(b);
      if (++got >= command.size() && sent < answer.size()) out += answer[sent++];
      return out;
    };
  }
  quint8 read(quint16 address, int last, bool binary = false) {
    state.BinaryFrames = binary;
    return frames.ReadDeviceMemory(address, static_cast<quint8>(last));
  }
  QByteArray replyData(int n) const {
    return QByteArray(reinterpret_cast<const char*>(state.ReplyData.data()), n);
  }
};

enum Op { TextRead, BinaryRead, TextWrite, BinaryWrite };

quint8 run(Rig& r, Op op, quint16 address, int arg) {
  if (op == TextRead || op == BinaryRead) return r.read(address, arg, op == BinaryRead);
  if (op == TextWrite) {
    if (quint8 c = r.frames.SendTextCommand("PCWR", address, FrameWrite, arg)) return c;
    return r.frames.ReadTextReply(FrameWrite, 0);
  }
  r.state.TxData[0] = static_cast<quint8>(arg);
  if (quint8 c = r.frames.SendBinaryCommand('w', address, 0)) return c;
  return r.frames.ReadBinaryReply(FrameWrite, 0);
}

// Every frame of the worked examples: what goes on the line, what comes back, what it means.
TEST(Frames, WorkedExamplesByteForByte) {
  const struct {
    const char* name;
    Op op;
    quint16 address;
    int arg;             // read length - 1, or the byte written
    QByteArray command;  // host to device
    QByteArray answer;   // device to host
    quint8 code;
    QByteArray data;  // the decoded bytes; for an error answer, the device's error byte
  } cases[] = {
      {"text read", TextRead, 0x050, 0, "PCRD0506B\r\n", "MOk3CC4\r\n", 0, hex("3C")},
      {"text block read", TextRead, 0x400, 15, "PCPR4006C\r\n",
       "MOk000102030405060708090A0B0C0D0E0F88\r\n", 0,
       hex("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F")},
      {"text write to 0", TextWrite, 0, 0x07, "PCWR0000769\r\n", "MOk\r\n", 0, ""},
      {"text write to 0x014", TextWrite, 0x014, 0x5A, "PCWR0145A11\r\n", "MOk\r\n", 0, ""},
      {"text write to 0xFFF", TextWrite, 0xFFF, 0xFF, "PCWRFFFFF2F\r\n", "MOk\r\n", 0, ""},
      {"text error answer", TextRead, 0x050, 0, "PCRD0506B\r\n", "MEr10F0\r\n", 25, hex("10")},
      {"binary block read", BinaryRead, 0x0400, 15, hex("72 0F 04 00 7B 0A"),
       hex("6F 01 02 03 04 05 06 07 08 09 DB DC 0B 0C 0D 0E 0F DB DD B4 0A"), 0,
       hex("01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F DB")},
      {"binary read", BinaryRead, 0x0050, 0, hex("72 00 00 50 3E 0A"), hex("6F 3C 55 0A"), 0,
       hex("3C")},
      {"binary read of two bytes no text frame carries", BinaryRead, 0x1000, 1,
       hex("72 01 10 00 7D 0A"), hex("6F 01 02 8E 0A"), 0, hex("01 02")},
      {"binary write", BinaryWrite, 0, 0x07, hex("77 00 00 00 07 82 0A"), hex("6F 91 0A"), 0, ""},
      {"binary write escapes the data byte", BinaryWrite, 0x0012, 0x0A,
       hex("77 00 00 12 DB DC C0 0A"), hex("6F 91 0A"), 0, ""},
      {"binary error answer", BinaryRead, 0x0050, 0, hex("72 00 00 50 3E 0A"), hex("65 02 99 0A"),
       22, hex("02")},
      {"binary answer carrying 0xDB", BinaryRead, 0x0050, 0, hex("72 00 00 50 3E 0A"),
       hex("6F DB DD D9 0A"), 0, hex("DB")},
      {"binary checksum 0x0A goes out unescaped", BinaryRead, 0x0084, 0, hex("72 00 00 84 0A 0A"),
       hex("6F 00 91 0A"), 0, hex("00")},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.script(c.command, c.answer);
    EXPECT_EQ(run(rig, c.op, c.address, c.arg), c.code) << c.name;
    EXPECT_EQ(rig.ex.ResultCode, c.code) << c.name;
    // The command went out whole, and every byte of the answer was echoed back.
    EXPECT_EQ(rig.line->received, c.command + c.answer) << c.name;
    EXPECT_EQ(rig.frames.lineLength(), c.answer.size()) << c.name;
    EXPECT_TRUE(rig.line->pending.empty()) << c.name;
    if (c.code == 0) {
      EXPECT_EQ(rig.replyData(c.data.size()), c.data) << c.name;
    }
    if (!c.data.isEmpty()) {
      EXPECT_EQ(rig.state.ReplyByte0, quint8(c.data[0])) << c.name;
    }
  }
}

// Replies of the wrong shape to a read of 0x050.
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
      {"MEr with a bad checksum", false, 0, "MEr10F1\r\n", 19, 0},
      {"MEr line of the wrong length", false, 0, "MEr10F0\n", 17, 0},
      {"a read answered by a write acknowledgement", false, 0, "MOk\r\n", 17, 0},
      {"neither MOk nor MEr", false, 0, "MOK3CC4\r\n", 17, 0},
      {"the CR missing", false, 0, "MOk3CC4\n", 17, 0},
      {"a short block", false, 15, "MOk3CC4\r\n", 17, 0},
      {"binary: bad escape pair", true, 0, hex("6F DB 41 00 0A"), 23, 0},
      {"binary: bad escape pair in an error answer", true, 0, hex("65 DB 00 00 0A"), 23, 0},
      {"binary: checksum off", true, 0, hex("6F 3C 56 0A"), 19, 0},
      {"binary: two data bytes where one was asked", true, 0, hex("6F 3C 3D 18 0A"), 19, 0},
      {"binary: unknown letter", true, 0, hex("4F 3C 75 0A"), 17, 0},
      {"binary: the line ends inside the data", true, 15, hex("6F 01 0A"), 19, 0},
      // 0x6F + 0x87 + 0x0A = 0x100: the checksum is an LF, which ends the line before its LF.
      {"binary: a checksum of LF", true, 0, hex("6F 87 0A 0A"), 17, 0},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.script(c.binary       ? hex(c.last ? "72 0F 00 50 2F 0A" : "72 00 00 50 3E 0A")
               : c.last == 15 ? QByteArray("PCPR0506B\r\n")
                              : QByteArray("PCRD0506B\r\n"),
               c.answer);
    EXPECT_EQ(rig.read(0x050, c.last, c.binary), c.code) << c.name;
    EXPECT_EQ(rig.ex.ResultCode, c.code) << c.name;
    if (c.code == 0) {
      EXPECT_EQ(rig.state.ReplyByte0, c.byte0) << c.name;
    }
  }
}

TEST(Frames, OverLongRepliesAreRefusedWithinTheBuffer) {
  // A text line stops after 39 bytes without LF, every one of them echoed.
  Rig text;
  text.script("PCRD0506B\r\n", "MOk" + QByteArray(50, '0') + "\r\n");
  EXPECT_EQ(text.read(0x050, 0), 17);
  EXPECT_EQ(text.frames.lineLength(), 39);
  EXPECT_EQ(text.line->received.size(), 11 + 39);
  // Longer than any binary reply can be, and no LF anywhere.
  Rig binary;
  binary.script(hex("72 0F 04 00 7B 0A"), "o" + QByteArray(700, 'x'));
  EXPECT_EQ(binary.read(0x400, 15, true), 17);
  EXPECT_EQ(binary.frames.lineLength(), 515);
  EXPECT_EQ(binary.line->received.size(), 6 + 515);
  // The longest legal reply, LF as its 515th byte, is still taken whole: 256 data bytes that
  // are all 0x0A, each escaped; 0x6F + 256 × (0xDB + 0xDC) ends in 0x6F, so the checksum is 0x91.
  Rig full;
  full.script(hex("72 FF 00 00 8F 0A"), "o" + hex("DB DC").repeated(256) + hex("91 0A"));
  EXPECT_EQ(full.read(0x0000, 255, true), 0);
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
    EXPECT_EQ(rig.read(0x050, 0), c.code) << c.name;
    EXPECT_EQ(rig.line->received.size(), c.bytesSent) << c.name;
  }
  Rig unwritable;
  unwritable.line->writeFails = true;
  EXPECT_EQ(unwritable.read(0x050, 0), 4);
}

// What no text frame can carry is refused before anything goes on the line.
TEST(Frames, TextReadsItCannotCarryAreRefused) {
  const std::pair<quint16, int> cases[] = {{0x050, 1},  {0x050, 7},  {0x050, 255},
                                           {0x1000, 0}, {0xFF00, 0}, {0x1000, 15}};
  for (auto [address, last] : cases) {
    Rig rig;
    rig.line->respond = echoByte;
    EXPECT_EQ(rig.read(address, last), 27) << address << " " << last;
    EXPECT_EQ(rig.ex.ResultCode, 27);
    EXPECT_TRUE(rig.line->received.isEmpty());
  }
}

// The log switches decide what of the command and its answer the two logs show.
TEST(Frames, TrafficGoesToTheLogsTheSwitchesAllow) {
  const QString out = "PCRD0506B\r\n", in = "MOk3CC4\r\n";
  const struct {
    bool reads, writes;
    QString read, write;
  } cases[] = {
      {true, true, out + in, out + in},
      {true, false, in, ""},
      {false, true, out, out + in},
      {false, false, "", ""},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.switches.reads = c.reads;
    rig.switches.writes = c.writes;
    rig.script(out.toLatin1(), in.toLatin1());
    ASSERT_EQ(rig.read(0x050, 0), 0);
    EXPECT_EQ(rig.log.read, c.read) << c.reads << c.writes;
    EXPECT_EQ(rig.log.write, c.write) << c.reads << c.writes;
  }
}

TEST(Frames, FormatChoiceFromTheIdentification) {
  EXPECT_EQ(FirmwareVersionOf(0x6D), 133);
  EXPECT_EQ(FirmwareVersionOf(0xE5), 57);
  const struct {
    quint8 generation;
    quint16 firmware;
    bool current, expected;
  } cases[] = {
      {9, 133, false, true},  {9, 132, true, false},  {9, 110, true, false}, {9, 109, true, true},
      {9, 109, false, false}, {8, 140, false, false}, {8, 140, true, true},  {12, 200, false, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(BinaryFramesFor(c.generation, c.firmware, c.current), c.expected)
        << int(c.generation) << " " << c.firmware << " " << c.current;
}

// Arbitrary bytes from the device: the readers always end with a code and never reach outside
// their buffers (the sanitizer build runs this test).
TEST(Frames, RandomRepliesAlwaysEndWithACode) {
  std::mt19937 random(20240611);
  const QByteArray alphabet("MOkEroe09AF:\r\n\xDB\xDC\xDD\0\xFF", 19);
  auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  for (int round = 0; round < 3000; ++round) {
    Rig rig;
    const bool binary = round % 2 == 1;
    const int length = below(round % 10 == 0 ? 1201 : 61);
    QByteArray answer;
    if (below(3) == 0) answer = binary ? "o" : "MOk";
    for (int i = 0; i < length; ++i)
      answer += below(2) == 0 ? alphabet[below(alphabet.size())] : char(random() & 0xFF);
    // Arrives all at once, after the echo of the first LF (a binary checksum may be one).
    rig.line->respond = [answer, done = false](quint8 b) mutable {
      QByteArray out(1, static_cast<char>(b));
      if (b == 0x0A && !done) out += answer;
      done = done || b == 0x0A;
      return out;
    };
    const quint8 code = rig.read(round % 1093, (round / 2) % 3 == 0 ? 15 : 0, binary);
    EXPECT_EQ(rig.ex.ResultCode, code);
    // 5: the answer overtook the echo of a command's last byte.
    EXPECT_TRUE(code == 0 || code == 5 || (code >= 17 && code <= 26)) << int(code);
    EXPECT_LE(rig.frames.lineLength(), binary ? 515 : 39);
    if (code == 0) {
      // A good reply ends with its LF, and the reader took nothing past it.
      EXPECT_EQ(rig.ex.ReplyBuf[rig.frames.lineLength() - 1], 0x0A);
      EXPECT_EQ(rig.state.ReplyByte0, rig.state.ReplyData[0]);
    }
  }
}

}  // namespace

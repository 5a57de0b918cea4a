// The monitor's memory commands byte for byte against a scripted line, the result codes' texts
// and the final report.
#include <gtest/gtest.h>

#include <random>

#include "common/exchange_rig.h"
#include "protocol/frames.h"
#include "protocol/report.h"
#include "protocol/result_messages.h"

using namespace lir2;

namespace {

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
    return codeOf(frames.ReadDeviceMemory(address, static_cast<quint8>(last)));
  }
};

enum Op { TextRead, BinaryRead, TextWrite, BinaryWrite };

quint8 run(Rig& r, Op op, quint16 address, int arg) {
  if (op == TextRead || op == BinaryRead) return r.read(address, arg, op == BinaryRead);
  if (op == TextWrite) {
    if (quint8 c = codeOf(r.frames.SendTextCommand("PCWR", address, FrameWrite, arg))) return c;
    return codeOf(r.frames.ReadTextReply(FrameWrite, 0));
  }
  r.state.TxData[0] = static_cast<quint8>(arg);
  if (quint8 c = codeOf(r.frames.SendBinaryCommand('w', address, 0))) return c;
  return codeOf(r.frames.ReadBinaryReply(FrameWrite, 0));
}

// Every frame of the worked examples: what goes on the line, what comes back, what it means.
// Replies of the wrong shape give their codes. A read no text frame can carry is refused before
// anything goes on the line.
TEST(Frames, ExchangesByteForByte) {
  const QByteArray rd = "PCRD0506B\r\n", pr = "PCPR0506B\r\n", br = hex("72 00 00 50 3E 0A");
  const struct {
    const char* name;
    Op op;
    quint16 address;
    int arg;                     // read length - 1, or the byte written
    QByteArray command, answer;  // host to device, device to host
    quint8 code;
    QByteArray data;  // the decoded bytes; for an error answer, the device's error byte
  } cases[] = {
      {"text read", TextRead, 0x050, 0, rd, "MOk3CC4\r\n", 0, hex("3C")},
      {"text block read", TextRead, 0x400, 15, "PCPR4006C\r\n",
       "MOk000102030405060708090A0B0C0D0E0F88\r\n", 0,
       hex("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F")},
      {"text write to 0x014", TextWrite, 0x014, 0x5A, "PCWR0145A11\r\n", "MOk\r\n", 0, ""},
      {"text write to 0xFFF", TextWrite, 0xFFF, 0xFF, "PCWRFFFFF2F\r\n", "MOk\r\n", 0, ""},
      {"text error answer", TextRead, 0x050, 0, rd, "MEr10F0\r\n", 25, hex("10")},
      {"binary block read", BinaryRead, 0x0400, 15, hex("72 0F 04 00 7B 0A"),
       hex("6F 01 02 03 04 05 06 07 08 09 DB DC 0B 0C 0D 0E 0F DB DD B4 0A"), 0,
       hex("01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F DB")},
      {"binary read", BinaryRead, 0x0050, 0, br, hex("6F 3C 55 0A"), 0, hex("3C")},
      {"binary read of two bytes no text frame carries", BinaryRead, 0x1000, 1,
       hex("72 01 10 00 7D 0A"), hex("6F 01 02 8E 0A"), 0, hex("01 02")},
      {"binary write", BinaryWrite, 0, 0x07, hex("77 00 00 00 07 82 0A"), hex("6F 91 0A"), 0, ""},
      {"binary write escapes the data byte", BinaryWrite, 0x0012, 0x0A,
       hex("77 00 00 12 DB DC C0 0A"), hex("6F 91 0A"), 0, ""},
      {"binary error answer", BinaryRead, 0x0050, 0, br, hex("65 02 99 0A"), 22, hex("02")},
      {"binary answer carrying 0xDB", BinaryRead, 0x0050, 0, br, hex("6F DB DD D9 0A"), 0,
       hex("DB")},
      {"binary checksum 0x0A goes out unescaped", BinaryRead, 0x0084, 0, hex("72 00 00 84 0A 0A"),
       hex("6F 00 91 0A"), 0, hex("00")},
      {"text read of two bytes", TextRead, 0x050, 1, "", "", 27, ""},
      {"text read of 256 bytes", TextRead, 0x050, 255, "", "", 27, ""},
      {"text read above 0xFFF", TextRead, 0x1000, 0, "", "", 27, ""},
      {"lower-case hexadecimal", TextRead, 0x050, 0, rd, "MOk3cC4\r\n", 18, ""},
      {"a colon reads as ten", TextRead, 0x050, 0, rd, "MOk:55B\r\n", 0, hex("A5")},
      {"the characters after the colon read as 11 to 15", TextRead, 0x050, 0, rd, "MOk;?41\r\n", 0,
       hex("BF")},
      {"a character below '0'", TextRead, 0x050, 0, rd, "MOk/0C4\r\n", 18, ""},
      {"'@' is no digit", TextRead, 0x050, 0, rd, "MOk@0C4\r\n", 18, ""},
      {"checksum off by one", TextRead, 0x050, 0, rd, "MOk3CC5\r\n", 19, ""},
      {"MEr with a bad checksum", TextRead, 0x050, 0, rd, "MEr10F1\r\n", 19, ""},
      {"MEr line of the wrong length", TextRead, 0x050, 0, rd, "MEr10F0\n", 17, ""},
      {"a read answered by a write acknowledgement", TextRead, 0x050, 0, rd, "MOk\r\n", 17, ""},
      {"neither MOk nor MEr", TextRead, 0x050, 0, rd, "MOK3CC4\r\n", 17, ""},
      {"the CR missing", TextRead, 0x050, 0, rd, "MOk3CC4\n", 17, ""},
      {"a short block", TextRead, 0x050, 15, pr, "MOk3CC4\r\n", 17, ""},
      {"bad escape pair", BinaryRead, 0x050, 0, br, hex("6F DB 41 00 0A"), 23, ""},
      {"bad escape pair in an error answer", BinaryRead, 0x050, 0, br, hex("65 DB 00 00 0A"), 23,
       ""},
      {"binary checksum off", BinaryRead, 0x050, 0, br, hex("6F 3C 56 0A"), 19, ""},
      {"two data bytes where one was asked", BinaryRead, 0x050, 0, br, hex("6F 3C 3D 18 0A"), 19,
       ""},
      {"unknown letter", BinaryRead, 0x050, 0, br, hex("4F 3C 75 0A"), 17, ""},
      {"the line ends inside the data", BinaryRead, 0x050, 15, hex("72 0F 00 50 2F 0A"),
       hex("6F 01 0A"), 19, ""},
      // 0x6F + 0x87 + 0x0A = 0x100: the checksum is an LF, which ends the line before its LF.
      {"a checksum of LF", BinaryRead, 0x050, 0, br, hex("6F 87 0A"), 17, ""},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.script(c.command, c.answer);
    EXPECT_EQ(run(rig, c.op, c.address, c.arg), c.code) << c.name;
    EXPECT_EQ(codeOf(rig.ex.ResultCode), c.code) << c.name;
    // The command went out whole, and every byte of the answer was echoed back.
    EXPECT_EQ(rig.line->received, c.command + c.answer) << c.name;
    EXPECT_EQ(rig.frames.lineLength(), c.answer.size()) << c.name;
    EXPECT_TRUE(rig.line->pending.empty()) << c.name;
    const auto* reply = reinterpret_cast<const char*>(rig.state.ReplyData.data());
    if (c.code == 0) {
      EXPECT_EQ(QByteArray(reply, c.data.size()), c.data) << c.name;
    }
    if (!c.data.isEmpty()) {
      EXPECT_EQ(rig.state.ReplyByte0, quint8(c.data[0])) << c.name;
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
  EXPECT_EQ(firmwareVersionOf(0x6D), 133);
  EXPECT_EQ(firmwareVersionOf(0xE5), 57);
  const struct {
    quint8 generation;
    quint16 firmware;
    bool current, expected;
  } cases[] = {
      {9, 133, false, true},  {9, 132, true, false},  {9, 110, true, false}, {9, 109, true, true},
      {9, 109, false, false}, {8, 140, false, false}, {8, 140, true, true},  {12, 200, false, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(binaryFramesFor(c.generation, c.firmware, c.current), c.expected)
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
    EXPECT_EQ(codeOf(rig.ex.ResultCode), code);
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

TEST(ResultMessages, TwentyEightTextsWithTheirLookAlikeLetters) {
  ASSERT_EQ(ResultMessages().size(), 28);
  EXPECT_EQ(resultMessage(resultFromCode(255)), "Не известная операция");
  // Code 17 begins with the Latin O; in code 25 the two capitals before "Prom" are Cyrillic.
  EXPECT_TRUE(resultMessage(Result::BadReplyLine).startsWith(u"Oшибка чтения"));
  EXPECT_TRUE(resultMessage(Result::DeviceNotAnnounced).startsWith(u"MErr - "));
  EXPECT_TRUE(resultMessage(Result::DeviceNotAnnounced).endsWith(u" \u0415\u0415Prom"));
}

TEST(ResultMessages, DeviceErrorByteToCode) {
  const std::pair<quint8, quint8> cases[] = {{0x01, 21}, {0x06, 22}, {0x04, 23}, {0x08, 24},
                                             {0x10, 25}, {0x20, 26}, {0x40, 20}, {0x00, 20},
                                             {0xFF, 21}, {0xC0, 20}, {0x30, 25}};
  for (auto [byte, code] : cases) EXPECT_EQ(codeOf(deviceErrorCode(byte)), code) << int(byte);
}

// The state bar always goes back to "Выключенно"; a failure shows its text, sounds only when
// sounds are on and closes the monitor when asked to; the code is consumed either way.
TEST(FinalReport, Outcomes) {
  const struct {
    quint8 code;
    bool soundsOn, close;
    QString error;  // empty: the error bar is left alone
    std::vector<Sound> played;
  } cases[] = {
      {0, false, false, "", {Sound::Ok}},  // success sounds whatever the switch says
      {5, false, false, "Не правильное подтверждение записи в порт", {}},
      {5, true, false, "Не правильное подтверждение записи в порт", {Sound::Error}},
      {30, true, false, "Не известная операция", {Sound::Error}},
      {20, true, true, "Долго нет ответа при чтении", {Sound::Error}},
  };
  for (const auto& c : cases) {
    StatusRecorder status;
    SoundRecorder sounds;
    FinalReport report{status, sounds, [&] { return c.soundsOn; }};
    status.state = "Загрузка Файла";
    Result code = resultFromCode(c.code);
    int closed = 0;
    report.run(code, c.close, [&] { ++closed; });
    EXPECT_EQ(status.state, "Выключенно");
    EXPECT_EQ(status.error, c.error) << int(c.code);
    EXPECT_EQ(sounds.played, c.played) << int(c.code);
    EXPECT_EQ(code, Result::Ok);
    EXPECT_EQ(closed, c.close ? 1 : 0);
  }
}

}  // namespace

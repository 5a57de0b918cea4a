#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "upload_rig.h"

namespace {

QByteArray programOf(const QByteArray& firmware) {
  return prepareProgramText(firmware).text;
}

const QByteArray kSmallImage = sampleImage(64, 3);
const QByteArray kSmallProgram = programOf(firmwareFile(kBootHeader, kSmallImage));

// Every outcome of the dialogue against the simulated bootloader, with the logging switches
// off: the handshake and the final confirmation are logged all the same.
TEST(BootUpload, OutcomesOnTheSimulatedBootloader) {
  const struct {
    const char* name;
    std::function<void(BootConfig&)> device;
    FileVersions file;
    bool keep;
    quint8 code;
    const char* writeLog;
    const char* readLog;
    bool stored;           // the device took the whole program
    qint64 minMs, maxMs;   // virtual time the dialogue took
    const char* appended;  // behind LVerPlatPow
  } cases[] = {
      {"version 11", {}, {3, 1, 5}, true, 0, "lrun\r\n", "Load\r\nL;315y\r\n)", true, 0, 1000, ""},
      // Below version 11 neither processor nor controller board is read or compared.
      {"version 10",
       [](BootConfig& b) { b.version = 10; },
       {3, 0, 9},
       true,
       0,
       "lrun\r\n",
       "Load\r\nL:3y\r\n)",
       true,
       0,
       1000,
       ""},
      {"settings not kept",
       {},
       {3, 1, 5},
       false,
       0,
       "frun\r\n",
       "Load\r\nF;315y\r\n)",
       true,
       0,
       1000,
       ""},
      {"no greeting",
       [](BootConfig& b) { b.silent = true; },
       {3, 1, 5},
       true,
       20,
       "",
       "",
       false,
       3001,
       3002,
       ""},
      // Compared in pieces of 19 characters, a longer line never matches.
      {"long greeting",
       [](BootConfig& b) { b.greeting = "Load, bootloader ready\r\n"; },
       {3, 1, 5},
       true,
       20,
       "",
       nullptr,
       false,
       3001,
       3400,
       ""},
      {"wrong mode answer",
       [](BootConfig& b) { b.modeAnswer = 'X'; },
       {3, 1, 5},
       true,
       7,
       "l",
       "Load\r\nX",
       false,
       0,
       1000,
       ""},
      {"power board", {}, {4, 1, 5}, true, 14, "l#", "Load\r\nL;3", false, 0, 1000, " != 3"},
      {"processor", {}, {3, 0, 5}, true, 15, "l#", "Load\r\nL;31", false, 0, 1000, ""},
      {"controller board", {}, {3, 1, 4}, true, 14, "l#", "Load\r\nL;315", false, 0, 1000, ""},
      {"no y",
       [](BootConfig& b) { b.noRunAck = true; },
       {3, 1, 5},
       true,
       6,
       "lrun",
       "Load\r\nL;315",
       false,
       3001,
       4000,
       ""},
      // Silence after "run" is no 'y', even when the last character read was one (board 73).
      {"no y after a 'y'",
       [](BootConfig& b) {
         b.version = 10;
         b.powerBoard = 73;
         b.noRunAck = true;
       },
       {73, 0, 0},
       true,
       6,
       "lrun",
       "Load\r\nL:y",
       false,
       3001,
       4000,
       ""},
      {"wrong echo",
       [](BootConfig& b) { b.wrongEchoAt = 5; },
       {3, 1, 5},
       true,
       5,
       "lrun\r\n",
       "Load\r\nL;315y\r\n",
       false,
       0,
       1000,
       ""},
      // 'Z' and '$': the code byte goes to the read log in hexadecimal, switches or not.
      {"error announced",
       [](BootConfig& b) {
         b.errorAt = 3;
         b.errorCode = 8;
       },
       {3, 1, 5},
       true,
       8,
       "lrun\r\n",
       "Load\r\nL;315y\r\n24",
       false,
       0,
       1000,
       ""},
      // Rebooted after the closing 'U', it greets instead of confirming.
      {"no confirmation",
       [](BootConfig& b) { b.noEnd = true; },
       {3, 1, 5},
       true,
       10,
       "lrun\r\n",
       "Load\r\nL;315y\r\nL",
       true,
       0,
       1000,
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BootRig rig(bootConfig(c.device));
    rig.window.keep = c.keep;
    const quint8 code = rig.upload(kSmallProgram, c.file);
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(rig.ex.ResultCode, c.code);
    EXPECT_EQ(rig.log.write, c.writeLog);
    if (c.readLog) {
      EXPECT_EQ(rig.log.read, c.readLog);
    }
    EXPECT_EQ(rig.received().completed, c.stored);
    if (c.stored) {
      EXPECT_EQ(rig.received().image, imageOf(kSmallImage));
      EXPECT_EQ(rig.received().mode, c.keep ? 'l' : 'f');
    }
    if (c.code == 14 || c.code == 15) {
      EXPECT_EQ(rig.received().transferBytes, 0);
    }
    EXPECT_GE(rig.clock.nowMs(), c.minMs);
    EXPECT_LE(rig.clock.nowMs(), c.maxMs);
    EXPECT_EQ(rig.window.powerBoardAppended, c.appended);
    EXPECT_EQ(rig.window.state, code == 0 ? "Файл Загружен" : "");
  }
}

// A bootloader written out byte by byte: the exact bytes on the wire and in both logs.
TEST(BootUpload, WireBytesStuffingAndLogs) {
  // Data bytes 4B, 55, 5A and 57 need their 'K' pairs; 3A is a data byte like any other.
  const QByteArray program = ":05004B00554B5A573ACC\r\n:00000001FF\r\n";
  QByteArray wire = "lrunU:";
  wire += QByteArray::fromHex("0500") + "KM" + QByteArray::fromHex("00") + "KLKMKNKC" +
          QByteArray::fromHex("3ACC") + ":" + QByteArray::fromHex("00000001FF") + "U";
  const QString hexLine1 = "U3A0500KM00KLKMKNKC3ACC", hexLine2 = "3A00000001FF";
  const struct {
    bool reads, writes;
    QString writeLog, readLog;
  } cases[] = {
      {false, false, "lrun\r\n", "Load\r\nL;315y\r\n)"},
      {true, false, "lrun\r\n", "Load\r\nL;315y\r\n\r\n\r\n)"},
      {false, true, "lrun\r\n" + hexLine1 + "\r\n" + hexLine2 + "\r\nU",
       "Load\r\nL;315y\r\n" + hexLine1 + hexLine2 + "U)"},
      {true, true, "lrun\r\n" + hexLine1 + "\r\n" + hexLine2 + "\r\nU",
       "Load\r\nL;315y\r\n" + hexLine1 + "\r\n" + hexLine2 + "\r\nU)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.reads) + std::to_string(c.writes));
    auto line = std::make_shared<ScriptedLine>();
    bool running = false;
    int frames = 0;
    line->respond = [&](quint8 b) -> QByteArray {
      if (!running) {
        if (b == 'l') return "L;315";
        if (b == 'n') running = true;
        return running ? "y" : "";
      }
      QByteArray answer(1, static_cast<char>(b));
      if (b == 'U' && ++frames == 2) answer += ')';
      return answer;
    };
    BootRig rig(line);
    line->send("Load\r\n");
    rig.switches.reads = c.reads;
    rig.switches.writes = c.writes;
    EXPECT_EQ(rig.upload(program), 0);
    EXPECT_EQ(line->received.toHex(' '), wire.toHex(' '));
    EXPECT_EQ(rig.log.write, c.writeLog);
    EXPECT_EQ(rig.log.read, c.readLog);
  }
}

// The greeting is compared in pieces of at most 19 characters that end at a line feed; what
// follows it is taken as the answer to the mode character.
TEST(BootUpload, GreetingPiecesEndAtLineFeedOr19Characters) {
  const std::pair<QByteArray, quint8> cases[] = {
      {"noise\r\nLoad\r\n", 0},
      {"0123456789012345678Load\r\n", 0},
      {"012345678901234567Load\r\n", 20},
      {"Load\r\nload\r\n", 7},
  };
  for (const auto& [lines, code] : cases) {
    SCOPED_TRACE(lines.toStdString());
    auto line = std::make_shared<ScriptedLine>();
    line->respond = [](quint8 b) -> QByteArray { return b == 'l' ? "L;315" : b == 'n' ? "y" : ""; };
    BootRig rig(line);
    line->send(lines);
    BootUpload u(rig.ex, rig.window, {3, 1, 5});
    EXPECT_EQ(u.BootHandshake('l'), code);
    EXPECT_EQ(line->received, code == 0 ? "lrun" : code == 7 ? "l" : "");
  }
}

TEST(BootUpload, GaugeAndElapsedTimeFollowTheCharacters) {
  BootRig rig(bootConfig());
  // Each pass of the window's messages costs a quarter of a second.
  rig.window.onMessages = [&](int) { rig.clock.advance(250); };
  EXPECT_EQ(rig.upload(kSmallProgram), 0);
  const qint64 n = kSmallProgram.size();
  EXPECT_EQ(rig.window.progress, n);
  EXPECT_EQ(rig.window.messagePasses, n);
  // One text per second of the transfer, the last one that of the last character.
  const qint64 lastMs = n * 250;
  EXPECT_EQ(rig.window.elapsedTexts.size(), lastMs / 1000 + 1);
  EXPECT_EQ(rig.window.elapsed, elapsedTimeText(lastMs / 1000 * 1000));
  EXPECT_EQ(rig.window.elapsedTexts.front(), elapsedTimeText(0));
  EXPECT_EQ(rig.window.bootVersion, "VerBoot = 11");
}

// A line that vanishes under the transfer ends it with a write error, at the next byte.
TEST(BootUpload, AVanishedLineEndsTheTransfer) {
  BootRig rig(bootConfig());
  quint64 writtenBefore = 0;
  rig.window.onMessages = [&](int pass) {
    if (pass != 30) return;
    rig.simDevice->vanish();
    writtenBefore = rig.simDevice->bytesWritten();
  };
  EXPECT_EQ(rig.upload(kSmallProgram), 4);
  EXPECT_EQ(rig.ex.ResultCode, 4);
  EXPECT_EQ(rig.window.messagePasses, 30);
  EXPECT_EQ(rig.simDevice->bytesWritten(), writtenBefore);
  EXPECT_FALSE(rig.received().completed);
}

// Any image, at any address and in records of any length, arrives byte for byte.
TEST(UploadRandom, AnyImageArrivesByteForByte) {
  QRandomGenerator rng(99);
  const quint32 addresses[] = {0, 0x100, 0xFFF0, 0x1FFE0, 0x300000};
  for (int round = 0; round < 120; ++round) {
    const QByteArray image = sampleImage(rng.bounded(700), rng.generate());
    const quint32 address = addresses[rng.bounded(5)] + rng.bounded(64);
    const int perRecord = 1 + rng.bounded(40);
    const QByteArray file = firmwareFile(kBootHeader, image, address, perRecord);
    SCOPED_TRACE(round);
    const PreparedProgram p = prepareProgramText(file);
    ASSERT_TRUE(p.ok());
    BootRig rig(bootConfig());
    ASSERT_EQ(rig.upload(p.text), 0);
    ASSERT_EQ(rig.received().image, imageOf(image, address));
    ASSERT_EQ(rig.received().records, hexRecordsOf(file));
  }
}

}  // namespace

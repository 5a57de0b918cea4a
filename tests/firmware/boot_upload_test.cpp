// The upload dialogue alone, on the simulated bootloader: outcomes, bytes, logs and gauge.
#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <map>

#include "firmware/upload.h"
#include "upload_rig.h"

using namespace lir2;

namespace {

const QByteArray kSmallImage = sampleImage(64, 3);
const QByteArray kSmallProgram = prepareProgramText(firmwareFile(kBootHeader, kSmallImage)).text;

// The image a run of bytes at an address becomes in the device.
std::map<quint32, quint8> imageOf(const QByteArray& bytes, quint32 address = 0) {
  std::map<quint32, quint8> image;
  for (int i = 0; i < bytes.size(); ++i) image[address + i] = static_cast<quint8>(bytes[i]);
  return image;
}

using B = BootConfig;

// The boot profile with one change, so that a table row fits on a line.
template <typename T = bool, typename V = bool>
SimConfig boot(T B::*field = nullptr, V value = {}) {
  SimConfig cfg = simProfile("boot");
  if (field) cfg.boot.*field = value;
  return cfg;
}

// The upload's window remembered, on the exchange with the simulated device.
struct BootRig : SimLine, UploadWindow {
  using SimLine::SimLine;
  QString bootVersion, powerBoardAppended, elapsed, state, error;
  QStringList elapsedTexts;
  qint64 progress = 0;
  int progressSteps = 0;
  bool keep = true;
  std::function<void(int step)> onProgress;  // runs at the n-th step of the gauge

  void setBootVersionText(const QString& t) override { bootVersion = t; }
  void appendPowerBoardText(const QString& t) override { powerBoardAppended += t; }
  void setProgress(qint64 v) override {
    progress = v;
    if (onProgress) onProgress(++progressSteps);
  }
  void setElapsedText(const QString& t) override { elapsedTexts.append(elapsed = t); }
  void setStateText(const QString& t) override { state = t; }
  void setErrorText(const QString& t) override { error = t; }

  // Handshake, then the transfer when the handshake went through, as the upload runs them.
  quint8 upload(const QByteArray& text, FileVersions file = {3, 1, 5}) {
    BootUpload u(ex, *this, file, keep);
    const Result code = u.BootHandshake('l');
    return codeOf(code != Result::Ok ? code : u.TransferProgram(text));
  }
};

// Every outcome of the dialogue against the simulated bootloader, with the logging switches
// off: the handshake and the final confirmation are logged all the same. A line that vanishes
// under the transfer ends it with a write error, at the next byte.
TEST(BootUpload, OutcomesOnTheSimulatedBootloader) {
  const SimConfig v10 = boot(&B::version, quint8(10));
  SimConfig noY = v10;
  noY.boot.powerBoard = 73;  // '0' + 73 is 'y'
  noY.boot.noRunAck = true;
  const struct {
    const char* name;
    SimConfig device;
    quint8 code;
    const char* writeLog;
    const char* readLog;  // null: not compared
    FileVersions file = {3, 1, 5};
    bool keep = true;
    const char* appended = "";  // behind LVerPlatPow
    int vanishAt = 0;           // the gauge's step at which the line vanishes
    int lateMs = 0;             // the host starts reading this late: greetings are waiting
  } cases[] = {
      // Below version 11 neither processor nor controller board is read or compared.
      {"version 10", v10, 0, "frun\r\n", "Load\r\nF:3y\r\n)", {3, 0, 9}, false},
      // The greeting is taken in pieces of at most 19 characters that end at a line feed.
      {"19 + greeting", boot(&B::greeting, QByteArray("0123456789012345678Load\r\n")), 0,
       "lrun\r\n", "0123456789012345678Load\r\nL;315y\r\n)"},
      {"18 + greeting", boot(&B::greeting, QByteArray("012345678901234567Load\r\n")), 20, "",
       nullptr},
      {"no greeting", boot(&B::silent, true), 20, "", ""},
      // Greetings that queued up while the host was busy are no answer to the mode character.
      {"greetings waiting",
       boot(),
       0,
       "lrun\r\n",
       "Load\r\nLoad\r\nL;315y\r\n)",
       {3, 1, 5},
       true,
       "",
       0,
       400},
      {"wrong mode answer", boot(&B::modeAnswer, 'X'), 7, "l", "Load\r\nX"},
      {"power board", boot(), 14, "l#", "Load\r\nL;3", {4, 1, 5}, true, " != 3"},
      {"processor", boot(), 15, "l#", "Load\r\nL;31", {3, 0, 5}},
      {"controller board", boot(), 14, "l#", "Load\r\nL;315", {3, 1, 4}},
      // Silence after "run" is no 'y', even when the last character read was one.
      {"no y after a 'y'", noY, 6, "lrun", "Load\r\nL:y", {73, 0, 0}},
      {"wrong echo", boot(&B::wrongEchoAt, 5), 5, "lrun\r\n", "Load\r\nL;315y\r\n"},
      // 'Z' and '$': the code byte goes to the read log in hexadecimal, switches or not.
      {"error announced", boot(&B::errorAt, 3), 8, "lrun\r\n", "Load\r\nL;315y\r\n24"},
      // Rebooted after the closing 'U', it greets instead of confirming.
      {"no confirmation", boot(&B::noEnd, true), 10, "lrun\r\n", "Load\r\nL;315y\r\nL"},
      {"line vanishes", boot(), 4, "lrun\r\n", "Load\r\nL;315y\r\n", {3, 1, 5}, true, "", 30},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BootRig rig(c.device);
    rig.keep = c.keep;
    rig.clock.advance(c.lateMs);
    int triesAfterVanishing = -1;
    rig.onProgress = [&](int step) {
      if (step != c.vanishAt) return;
      rig.device->vanish();
      triesAfterVanishing = 0;
    };
    rig.onWrite = [&] { triesAfterVanishing += triesAfterVanishing >= 0; };
    const quint8 code = rig.upload(kSmallProgram, c.file);
    EXPECT_EQ(triesAfterVanishing, c.vanishAt ? 1 : -1);
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(codeOf(rig.ex.ResultCode), c.code);
    EXPECT_EQ(rig.log.write, c.writeLog);
    if (c.readLog) {
      EXPECT_EQ(rig.log.read, c.readLog);
    }
    // Only a missing confirmation leaves the whole program stored behind a failure.
    const bool stored = code == 0 || code == 10;
    EXPECT_EQ(received(rig).completed, stored);
    if (stored) {
      EXPECT_EQ(received(rig).image, imageOf(kSmallImage));
      EXPECT_EQ(received(rig).mode, c.keep ? 'l' : 'f');
    }
    if (code == 14 || code == 15) {
      EXPECT_EQ(received(rig).transferBytes, 0);
    }
    // The time-outs are those of a read, 3 s each; everything else ends at once.
    EXPECT_EQ(rig.clock.nowMs() > 3000, code == 20 || code == 6) << rig.clock.nowMs();
    EXPECT_LE(rig.clock.nowMs(), 4000);
    EXPECT_EQ(rig.powerBoardAppended, c.appended);
    EXPECT_EQ(rig.state, code == 0 ? "Файл Загружен" : "");
  }
}

// The exact bytes on the wire and in both logs, by the logging switches.
// Each character moves the gauge; at a quarter of a second each, the elapsed time shows once a
// second of the transfer, the last text that of the last character.
TEST(BootUpload, WireBytesStuffingLogsAndGauge) {
  // 4B (an address byte), 55, 4B, 5A and 57 need their 'K' pairs; 3A is a byte like any other.
  const QByteArray program = ":05004B00554B5A573A25\r\n:00000001FF\r\n";
  const QByteArray wire = "lrunU:" + QByteArray::fromHex("0500") + "KM" +
                          QByteArray::fromHex("00") + "KLKMKNKC" + QByteArray::fromHex("3A25") +
                          ":" + QByteArray::fromHex("00000001FF") + "U";
  const QString hexLine1 = "U3A0500KM00KLKMKNKC3A25", hexLine2 = "3A00000001FF";
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
    BootRig rig(boot());
    rig.switches.reads = c.reads;
    rig.switches.writes = c.writes;
    rig.onProgress = [&](int) { rig.clock.advance(250); };
    EXPECT_EQ(rig.upload(program), 0);
    EXPECT_EQ(rig.wire.toHex(' '), wire.toHex(' '));
    EXPECT_EQ(rig.log.write, c.writeLog);
    EXPECT_EQ(rig.log.read, c.readLog);
    EXPECT_EQ(rig.progress, program.size());
    EXPECT_EQ(rig.progressSteps, program.size());
    EXPECT_EQ(rig.elapsedTexts.size(), 10);
    EXPECT_EQ(rig.elapsedTexts.front(), elapsedTimeText(0));
    EXPECT_EQ(rig.elapsed, elapsedTimeText(9000));  // 36 characters
  }
}

// Any image, at any address and in records of any length, arrives byte for byte.
TEST(UploadRandom, AnyImageArrivesByteForByte) {
  QRandomGenerator rng(99);
  const quint32 addresses[] = {0, 0x100, 0xFFF0, 0x1FFE0, 0x300000};
  for (int round = 0; round < 120; ++round) {
    const QByteArray image = sampleImage(rng.bounded(700), rng.generate());
    const quint32 address = addresses[rng.bounded(5)] + rng.bounded(64);
    const QByteArray file = firmwareFile(kBootHeader, image, address, 1 + rng.bounded(40));
    SCOPED_TRACE(round);
    const PreparedProgram p = prepareProgramText(file);
    ASSERT_TRUE(p.ok());
    BootRig rig(boot());
    ASSERT_EQ(rig.upload(p.text), 0);
    ASSERT_EQ(received(rig).image, imageOf(image, address));
    ASSERT_EQ(received(rig).records, hexRecordsOf(file));
  }
}

}  // namespace

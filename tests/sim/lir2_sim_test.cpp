// The lir2-sim program on a real pseudo-terminal, reached through QSerialPort as the program
// reaches a port given by its path.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>

#include "common/sim_process.h"

namespace {

constexpr int kPatienceMs = SimProcess::kPatienceMs;

// 19200 bit/s, 8 data bits, no parity, one stop bit, no flow control: the port's defaults.
bool openPort(QSerialPort& port, const QString& path) {
  port.setPortName(path);
  port.setBaudRate(19200);
  return port.open(QIODevice::ReadWrite);
}

// Reads n bytes, or up to the end of the text when one is given.
QByteArray readCount(QSerialPort& port, int n, const QByteArray& until = {}) {
  QByteArray out;
  QDeadlineTimer deadline(kPatienceMs);
  while ((until.isEmpty() ? out.size() < n : !out.endsWith(until)) && !deadline.hasExpired()) {
    if (port.bytesAvailable() == 0)
      port.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    out += port.read(until.isEmpty() ? n - out.size() : 1);
  }
  return out;
}

// Sends each byte and reads what comes back for it.
QByteArray exchange(QSerialPort& port, const QByteArray& bytes, int answerBytesEach = 1) {
  QByteArray out;
  for (char c : bytes) {
    port.write(&c, 1);
    port.waitForBytesWritten(kPatienceMs);
    out += readCount(port, answerBytesEach);
  }
  return out;
}

// Reads a reply in lock-step, echoing each byte, up to its LF.
QByteArray lockStepReply(QSerialPort& port) {
  QByteArray reply;
  while (!reply.endsWith('\n') && reply.size() < 40) {
    const QByteArray b = readCount(port, 1);
    if (b.isEmpty()) break;
    reply += b;
    port.write(b);
    port.waitForBytesWritten(kPatienceMs);
  }
  return reply;
}

TEST(Lir2Sim, EchoesEveryByteUntranslatedThroughTheSymlink) {
  QTemporaryDir dir;
  const QString link = dir.filePath("lir-port");
  SimProcess sim;
  const QString path = sim.start({"--profile", "echo", "--link", link});
  ASSERT_TRUE(path.startsWith("/dev/")) << "no terminal path printed";
  const QFileInfo info(link);
  EXPECT_TRUE(info.isSymLink());
  EXPECT_EQ(info.symLinkTarget(), path);

  QSerialPort port;
  ASSERT_TRUE(openPort(port, link)) << port.errorString().toStdString();
  // Line ends, flow-control and interrupt characters and the high bit must pass as they are.
  const QByteArray all = QByteArray::fromHex("000a0d1113035a55ff7f");
  EXPECT_EQ(exchange(port, all).toHex(' '), all.toHex(' '));
  port.close();

  EXPECT_TRUE(sim.stop()) << sim.errors().toStdString();
  EXPECT_FALSE(QFileInfo::exists(link)) << "the symlink is removed at exit";
}

// What an upload leaves in --dump-image is in the upload's end-to-end test.
TEST(Lir2Sim, ReopeningThePortRestartsTheBuiltInDevice) {
  SimProcess sim;
  const QString path = sim.start({"--profile", "lir"});
  ASSERT_TRUE(path.startsWith("/dev/"));
  QSerialPort port;
  ASSERT_TRUE(openPort(port, path));
  port.clear();
  // The first byte hands the line to the program, which answers in lock-step.
  EXPECT_EQ(exchange(port, "PCRD0016F\r\n"), "PCRD0016F\r\n");
  EXPECT_EQ(lockStepReply(port), "MOk09F7\r\n");
  port.close();

  // A new opening restarts the bootloader window: it greets again.
  ASSERT_TRUE(openPort(port, path));
  port.clear();
  EXPECT_TRUE(readCount(port, 0, "Load\r\n").endsWith("Load\r\n"));
  port.close();
  EXPECT_TRUE(sim.stop());
}

// A device that listens at 9600 bit/s hears the host once it changes the open port's rate; its
// EEPROM write lands in the dump at exit, beside the cell set with --ee.
TEST(Lir2Sim, HearsARateChangeAndDumpsWhatWasWritten) {
  QTemporaryDir dir;
  const QString dump = dir.filePath("eeprom.bin");
  SimProcess sim;
  const QString path = sim.start(
      {"--profile", "gen9", "--device-rate", "9600", "--ee", "21=0x05", "--dump-eeprom", dump});
  QSerialPort port;
  ASSERT_TRUE(openPort(port, path)) << port.errorString().toStdString();
  port.write("P");
  EXPECT_FALSE(port.waitForReadyRead(300)) << "heard at 19200 bit/s";
  ASSERT_TRUE(port.setBaudRate(9600));
  for (const QByteArray frame : {"\r\nPCWR000036D\r\n", "PCWR0145A11\r\n"}) {
    EXPECT_EQ(exchange(port, frame), frame);
    EXPECT_EQ(lockStepReply(port), "MOk\r\n");
  }
  port.close();
  ASSERT_TRUE(sim.stop()) << sim.errors().toStdString();
  QFile f(dump);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray eeprom = f.readAll();
  ASSERT_EQ(eeprom.size(), 1024);
  EXPECT_EQ(eeprom.mid(20, 3).toHex(), "5a0500") << "written, set at start, factory";
}

TEST(Lir2Sim, RefusesABadCommandLine) {
  QProcess p;
  p.start(SimProcess::program(), {"--profile", "nonsense"});
  ASSERT_TRUE(p.waitForFinished(kPatienceMs));
  EXPECT_EQ(p.exitCode(), 2);
  EXPECT_TRUE(p.readAllStandardError().contains("nonsense"));
  EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
}

}  // namespace

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include "common/pty.h"
#include "serial/port_reason.h"
#include "serial/qt_serial_device.h"

namespace {

// The mapping from what QSerialPort said and what the system shows, for situations a test
// cannot make for real (a root user is never refused, another user's lock).
TEST(PortReason, ExplainsEveryFaultWithWhatToDo) {
  const PortFacts ok;
  PortFacts missing;
  missing.exists = false;
  PortFacts denied;
  denied.accessible = false;
  denied.user = "ivan";
  denied.group = "dialout";
  PortFacts deniedUntilLogin = denied;
  deniedUntilLogin.groupNeedsLogin = true;
  PortFacts deniedRootGroup = denied;
  deniedRootGroup.group.clear();
  PortFacts held;
  held.holder = PortHolder{4242, "minicom"};
  PortFacts heldUnnamed;
  heldUnnamed.holder = PortHolder{4243, ""};
  PortFacts ownHeld;
  ownHeld.ownPid = 77;
  ownHeld.holder = PortHolder{77, "lir2gui"};
  const auto P = QSerialPort::PermissionError;
  const struct {
    const char* name;
    QSerialPort::SerialPortError error;
    PortFacts facts;
    PortFault fault;
    QStringList says;
  } cases[] = {
      {"no such device",
       QSerialPort::DeviceNotFoundError,
       missing,
       PortFault::Missing,
       {"/dev/ttyUSB0 не найден", "Подключён ли адаптер?"}},
      {"gone before the facts were taken", P, missing, PortFault::Missing, {"не найден"}},
      {"lock held by a named program",
       P,
       held,
       PortFault::Busy,
       {"занят", "minicom (PID 4242)", "Закройте её"}},
      {"lock held, name unknown", P, heldUnnamed, PortFault::Busy, {"PID 4243"}},
      {"this program already has it", P, ownHeld, PortFault::Busy, {"этой же программой (PID 77)"}},
      {"refused though accessible", P, ok, PortFault::Busy, {"занят другой программой"}},
      {"user outside the group",
       P,
       denied,
       PortFault::NoPermission,
       {"ivan не входит в группу dialout", "sudo usermod -aG dialout $USER", "войдите"}},
      {"group added, session older",
       P,
       deniedUntilLogin,
       PortFault::NoPermission,
       {"уже в группе dialout", "Выйдите из системы и войдите снова"}},
      {"device of root's group",
       P,
       deniedRootGroup,
       PortFault::NoPermission,
       {"sudo usermod -aG dialout $USER"}},
      {"anything else",
       QSerialPort::UnsupportedOperationError,
       ok,
       PortFault::Other,
       {"не открылся: Unsupported operation"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const PortReason r =
        explainOpenFailure("/dev/ttyUSB0", c.error, "Unsupported operation", c.facts);
    EXPECT_EQ(r.fault, c.fault);
    for (const QString& s : c.says) EXPECT_TRUE(r.text.contains(s)) << r.text.toStdString();
  }
  EXPECT_TRUE(explainVanished("/dev/ttyUSB0", false).text.contains("адаптер отключён"));
  EXPECT_EQ(portSystemLocation("pts/3"), "/dev/pts/3");
  EXPECT_EQ(portSystemLocation("/tmp/port"), "/tmp/port");
}

// Lock files in the forms programs write them; a lock of a process that has ended is no holder.
TEST(PortReason, LockFileNamesALiveHolder) {
  QTemporaryDir dir;
  const qint64 self = QCoreApplication::applicationPid();
  const struct {
    QByteArray content;
    std::optional<qint64> pid;
  } cases[] = {
      {QByteArray::number(self) + "\nlir2gui\nhost\n", self},      // Qt's lock file
      {QByteArray::number(self).rightJustified(10) + "\n", self},  // UUCP style
      {"999999999\n", std::nullopt},                               // no such process
      {"junk", std::nullopt},
  };
  for (const auto& c : cases) {
    QFile f(dir.filePath("LCK..ttyUSB0"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(c.content);
    f.close();
    const std::optional<PortHolder> h = lockFileHolder(f.fileName());
    ASSERT_EQ(h.has_value(), c.pid.has_value()) << c.content.toStdString();
    if (h) {
      EXPECT_EQ(h->pid, *c.pid);
      EXPECT_FALSE(h->program.isEmpty());
    }
  }
  EXPECT_TRUE(portLockFileCandidates("/dev/pts/3").contains("/run/lock/LCK..pts_3"));
}

// The real thing on a pseudo-terminal: what QtSerialDevice::open leaves in its detail.
TEST(PortReason, QtSerialDeviceNamesTheReasonOnAPseudoTerminal) {
  TestPty pty;
  ASSERT_TRUE(pty.ok());
  QtSerialDevice first(pty.path());
  ASSERT_TRUE(first.open(19200).opened);
  const struct {
    const char* name;
    QString path;
    QStringList says;
    bool needsNonRoot = false;
  } cases[] = {
      {"missing", "/dev/ttyLIR-none", {"не найден", "Подключён ли адаптер?"}},
      {"busy: a second open of the same path",
       pty.path(),
       {"уже открыт этой же программой", QString::number(QCoreApplication::applicationPid())}},
      {"no permission", "", {"Нет прав на порт", "sudo usermod -aG"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QString path = c.path;
    TestPty other;
    if (c.needsNonRoot) {
      if (::geteuid() == 0) continue;  // permission bits do not stop root
      path = other.path();
      ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0), 0);
    }
    QtSerialDevice second(path);
    const SerialDevice::OpenResult r = second.open(19200);
    EXPECT_FALSE(r.opened);
    EXPECT_EQ(r.message, "Open COM port Error");
    for (const QString& s : c.says) EXPECT_TRUE(r.detail.contains(s)) << r.detail.toStdString();
  }
}

}  // namespace

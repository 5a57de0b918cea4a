#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

#include "common/pty.h"
#include "serial/port_reason.h"
#include "serial/qt_serial_device.h"

using namespace lir2;

namespace {

// The mapping from what QSerialPort said and what the system shows, for situations a test
// cannot make for real (a root user is never refused, another user's lock).
TEST(PortReason, ExplainsEveryFaultWithWhatToDo) {
  const auto facts = [](const std::function<void(PortFacts&)>& set) {
    PortFacts f;
    set(f);
    return f;
  };
  const PortFacts ok;
  const PortFacts missing = facts([](PortFacts& f) { f.exists = false; });
  const PortFacts denied =
      facts([](PortFacts& f) { f.accessible = false, f.user = "ivan", f.group = "dialout"; });
  const PortFacts later =
      facts([](PortFacts& f) { f.accessible = false, f.group = "uucp", f.groupNeedsLogin = true; });
  // Root's own 0600 port: joining a group cannot help.
  const PortFacts rootGroup =
      facts([](PortFacts& f) { f.accessible = false, f.mode = 0600, f.groupMayUse = false; });
  const PortFacts file = facts([](PortFacts& f) { f.kind = PortFacts::Kind::RegularFile; });
  const PortFacts held = facts([](PortFacts& f) { f.holder = PortHolder{4242, "minicom"}; });
  const PortFacts unnamed = facts([](PortFacts& f) { f.holder = PortHolder{4243, ""}; });
  const PortFacts own = facts([](PortFacts& f) { f.holder = PortHolder{f.ownPid = 77, "x"}; });
  const auto P = QSerialPort::PermissionError, U = QSerialPort::UnsupportedOperationError;
  using F = PortFault;
  const struct {
    QSerialPort::SerialPortError error;
    PortFacts facts;
    PortFault fault;
    QStringList says;
  } cases[] = {
      {QSerialPort::DeviceNotFoundError, missing, F::Missing, {"ttyUSB0 не найден", "адаптер?"}},
      {P, missing, F::Missing, {"не найден"}},  // gone before the facts were taken
      {P, held, F::Busy, {"занят: его держит программа minicom (PID 4242)", "Закройте"}},
      {P, unnamed, F::Busy, {"держит процесс с PID 4243"}},
      {P, own, F::Busy, {"этой же программой (PID 77)"}},
      {P, ok, F::Busy, {"занят другой программой"}},  // refused, though this user may use it
      {P, denied, F::NoPermission, {"права 0660): пользователь ivan не входит", "-aG dialout"}},
      {P, later, F::NoPermission, {"уже в группе uucp", "Выйдите из системы и войдите снова"}},
      {P, rootGroup, F::NoPermission, {"(владелец root, группа root, права 0600)", "udevadm"}},
      {P, rootGroup, F::NoPermission, {"KERNEL==\"ttyUSB0\", GROUP=\"dialout\", MODE=\"0660\""}},
      {U, ok, F::NotAPort, {"не последовательный порт: это устройство, которое не принимает"}},
      {U, file, F::NotAPort, {"не последовательный порт: это обычный файл"}},
      {QSerialPort::UnknownError, ok, F::Other, {"не открылся: Unsupported"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says.join(' ').toStdString());
    const PortReason r =
        explainOpenFailure("/dev/ttyUSB0", c.error, "Unsupported operation", c.facts);
    EXPECT_EQ(r.fault, c.fault);
    for (const QString& s : c.says) EXPECT_TRUE(r.text.contains(s)) << r.text.toStdString();
  }
  EXPECT_TRUE(explainVanished("/dev/ttyUSB0", false).text.contains("адаптер отключён"));
  EXPECT_EQ(portSystemLocation("pts/3"), "/dev/pts/3");
  EXPECT_EQ(portSystemLocation("/tmp/port"), "/tmp/port");
}

// A relative --port: a file of the current folder when there is one, else a device under /dev,
// and a note that says which (none for a path that stands as typed).
TEST(PortReason, RelativePortNamesAreTakenHereOrUnderDev) {
  QTemporaryDir dir;
  const QString before = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir.path()) && QFile(dir.filePath("a.hex")).open(QFile::WriteOnly));
  const QStringList cases[] = {{"a.hex", dir.filePath("a.hex"), "взят из текущей папки"},
                               {"pts/3", "/dev/pts/3", "такого файла нет, взят /dev/pts/3"},
                               {"./ttyUSB7", dir.filePath("ttyUSB7"), ""},
                               {"/dev/ttyS0", "/dev/ttyS0", ""}};
  for (const QStringList& c : cases) {
    const PortArgument a = resolvePortArgument(c[0]);
    EXPECT_EQ(a.path, c[1]);
    EXPECT_TRUE(c[2].isEmpty() ? a.note.isEmpty() : a.note.contains(c[2])) << a.note.toStdString();
  }
  QDir::setCurrent(before);
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
      {"no port: /dev/null", "/dev/null", {"не последовательный порт", "настроек линии"}},
      {"no port: a file", QCoreApplication::applicationFilePath(), {"это обычный файл"}},
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

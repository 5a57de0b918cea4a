#include "serial/port_reason.h"

#include <QDir>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <signal.h>

#include <cerrno>
#endif

#include "serial/shown_text.h"

namespace lir2 {

namespace {

// Where serial programs keep their lock files; the first ones are this system's own.
const QStringList kLockFolders = {
    QStringLiteral("/run/lock"),
    QStringLiteral("/var/lock"),
    QStringLiteral("/var/lock/lockdev"),
    QStringLiteral("/var/spool/locks"),
    QStringLiteral("/var/spool/uucp"),
    QStringLiteral("/etc/locks"),
    QStringLiteral("/tmp"),
    QStringLiteral("/var/tmp"),
};

// The name a lock file carries for a device path: the path below /dev, slashes as '_'.
QString lockName(const QString& path) {
  QString name = path;
  if (name.startsWith(QLatin1String("/dev/"))) name = name.mid(5);
  name.replace(QLatin1Char('/'), QLatin1Char('_'));
  return QStringLiteral("LCK..") + name;
}

QString holderText(const PortHolder& h) {
  // A process may give itself any name, control characters included.
  return h.program.isEmpty()
             ? QStringLiteral("процесс с PID %1").arg(h.pid)
             : QStringLiteral("программа %1 (PID %2)").arg(shownText(h.program)).arg(h.pid);
}

QString modeText(uint mode) {
  return QString::number(mode & 07777, 8).rightJustified(4, QLatin1Char('0'));
}

}  // namespace

QStringList portLockFileCandidates(const QString& path) {
  QStringList names{lockName(path), QStringLiteral("LCK..") + QFileInfo(path).fileName()};
  // A symlink (/dev/serial/by-id/...) is locked by whoever opened it under its target's name.
  const QString target = QFileInfo(path).canonicalFilePath();
  if (!target.isEmpty() && target != path) names << lockName(target);
  names.removeDuplicates();
  QStringList files;
  for (const QString& folder : kLockFolders)
    for (const QString& name : names) files << folder + QLatin1Char('/') + name;
  return files;
}

std::optional<PortHolder> lockFileHolder(const QString& lockFile) {
  QFile file(lockFile);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray first = file.read(64).trimmed().split('\n').value(0).trimmed();
  bool ok = false;
  const qint64 pid = first.toLongLong(&ok);
  if (!ok || pid <= 0) return std::nullopt;
#ifdef Q_OS_UNIX
  // A lock left behind by a program that has ended holds nothing.
  if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return std::nullopt;
#endif
  PortHolder holder;
  holder.pid = pid;
  QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
  if (comm.open(QIODevice::ReadOnly))
    holder.program = QString::fromLocal8Bit(comm.readAll()).trimmed();
  return holder;
}

PortReason explainOpenFailure(const QString& portPath, QSerialPort::SerialPortError error,
                              const QString& errorString, const PortFacts& facts) {
  const QString path = shownText(portPath);
  if (error == QSerialPort::DeviceNotFoundError || !facts.exists) {
    return {PortFault::Missing,
            QStringLiteral("Порт %1 не найден: такого устройства нет. Подключён ли адаптер? "
                           "Проверьте кабель и имя порта.")
                .arg(path)};
  }
  // Not a port at all: a file, a folder, or a device that takes no line settings (/dev/null).
  if (facts.kind != PortFacts::Kind::CharDevice ||
      error == QSerialPort::UnsupportedOperationError) {
    const QString what = facts.kind == PortFacts::Kind::RegularFile ? QStringLiteral("обычный файл")
                         : facts.kind == PortFacts::Kind::Folder ? QStringLiteral("папка")
                         : facts.kind == PortFacts::Kind::Other
                             ? QStringLiteral("не устройство")
                             : QStringLiteral("устройство, которое не принимает настроек линии");
    return {PortFault::NotAPort,
            QStringLiteral("%1 — не последовательный порт: это %2. Укажите порт адаптера, "
                           "например /dev/ttyUSB0 или имя из /dev/serial/by-id/.")
                .arg(path, what)};
  }
  if (facts.holder) {
    if (facts.holder->pid == facts.ownPid)
      return {PortFault::Busy, QStringLiteral("Порт %1 уже открыт этой же программой (PID %2).")
                                   .arg(path)
                                   .arg(facts.ownPid)};
    return {PortFault::Busy,
            QStringLiteral("Порт %1 занят: его держит %2. Закройте эту программу и повторите.")
                .arg(path, holderText(*facts.holder))};
  }
  if (error == QSerialPort::PermissionError && !facts.accessible) {
    const QString user = facts.user.isEmpty() ? QStringLiteral("$USER") : facts.user;
    const QString owner = facts.owner.isEmpty() ? QStringLiteral("root") : facts.owner;
    const QString whose =
        QStringLiteral("владелец %1, группа %2, права %3")
            .arg(owner, facts.group.isEmpty() ? QStringLiteral("root") : facts.group,
                 modeText(facts.mode));
    if (facts.group.isEmpty() || !facts.groupMayUse) {
      // Joining a group helps only when the port's group may use it: a root-owned 0600 port
      // needs a udev rule that gives it a group.
      const QString name = QFileInfo(QFileInfo(portPath).canonicalFilePath()).fileName();
      return {PortFault::NoPermission,
              QStringLiteral(
                  "Нет прав на порт %1 (%2): группа порта не даёт к нему доступа, и вступление "
                  "в группу не поможет. Дайте порту группу dialout правилом udev, например "
                  "файлом /etc/udev/rules.d/99-lir.rules со строкой "
                  "SUBSYSTEM==\"tty\", KERNEL==\"%3\", GROUP=\"dialout\", MODE=\"0660\" — "
                  "затем sudo udevadm control --reload && sudo udevadm trigger, и если "
                  "пользователь %4 не в группе dialout: sudo usermod -aG dialout $USER — и "
                  "войдите в систему заново.")
                  .arg(path, whose,
                       shownText(name.isEmpty() ? QFileInfo(portPath).fileName() : name), user)};
    }
    if (facts.groupNeedsLogin)
      return {PortFault::NoPermission,
              QStringLiteral("Нет прав на порт %1 (%4): пользователь %2 уже в группе %3, но этот "
                             "сеанс начат раньше. Выйдите из системы и войдите снова.")
                  .arg(path, user, facts.group, whose)};
    return {PortFault::NoPermission,
            QStringLiteral("Нет прав на порт %1 (%4): пользователь %2 не входит в группу %3. "
                           "Выполните: sudo usermod -aG %3 $USER — и войдите в систему "
                           "заново (выйдите и войдите), чтобы группа начала действовать.")
                .arg(path, user, facts.group, whose)};
  }
  // The device may be used by this user, yet it was refused: somebody else has it (a lock
  // this program cannot read, or the exclusive mode another program set).
  if (error == QSerialPort::PermissionError || error == QSerialPort::OpenError) {
    return {PortFault::Busy,
            QStringLiteral("Порт %1 занят другой программой. Закройте программу, которая с "
                           "ним работает, и повторите.")
                .arg(path)};
  }
  return {PortFault::Other,
          QStringLiteral("Порт %1 не открылся: %2.").arg(path, shownText(errorString))};
}

QString portOpenReason(const QString& portName, QSerialPort::SerialPortError error,
                       const QString& errorString) {
  const QString path = portSystemLocation(portName);
  return explainOpenFailure(path, error, errorString, probePort(path)).text;
}

PortArgument resolvePortArgument(const QString& typed) {
  if (typed.isEmpty() || QDir::isAbsolutePath(typed)) return {typed, {}};
  // "./x" and "../x" say the folder themselves.
  if (typed.startsWith(QLatin1String("./")) || typed.startsWith(QLatin1String("../")))
    return {QDir::cleanPath(QDir::current().absoluteFilePath(typed)), {}};
  const QFileInfo here(QDir::current(), typed);
  if (here.exists() || here.isSymLink())
    return {here.absoluteFilePath(),
            QStringLiteral("--port %1 взят из текущей папки: %2")
                .arg(shownText(typed), shownPath(here.absoluteFilePath()))};
#ifdef Q_OS_WIN
  // A port's name (COM3) is the system's to find: there is no folder of devices to look in.
  return {typed, {}};
#else
  const QString underDev = QStringLiteral("/dev/") + typed;
  return {underDev, QStringLiteral("--port %1: в текущей папке такого файла нет, взят %2")
                        .arg(shownText(typed), shownText(underDev))};
#endif
}

PortReason explainVanished(const QString& portPath, bool stillExists) {
  const QString path = shownText(portPath);
  if (!stillExists)
    return {PortFault::Vanished,
            QStringLiteral("Связь с портом %1 потеряна: устройство исчезло — адаптер "
                           "отключён? Подключите его снова и повторите.")
                .arg(path)};
  return {PortFault::Vanished,
          QStringLiteral("Связь с портом %1 потеряна: линия закрылась на том конце или адаптер "
                         "сбросился. Проверьте кабель и адаптер и повторите.")
              .arg(path)};
}

QString portVanishedReason(const QString& path) {
  return explainVanished(path, portPresent(path)).text;
}

}  // namespace lir2

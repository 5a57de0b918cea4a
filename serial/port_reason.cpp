#include "serial/port_reason.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <signal.h>

#include <cerrno>
#endif

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
  return h.program.isEmpty() ? QStringLiteral("процесс с PID %1").arg(h.pid)
                             : QStringLiteral("программа %1 (PID %2)").arg(h.program).arg(h.pid);
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

PortReason explainOpenFailure(const QString& path, QSerialPort::SerialPortError error,
                              const QString& errorString, const PortFacts& facts) {
  if (error == QSerialPort::DeviceNotFoundError || !facts.exists) {
    return {PortFault::Missing,
            QStringLiteral("Порт %1 не найден: такого устройства нет. Подключён ли адаптер? "
                           "Проверьте кабель и имя порта.")
                .arg(path)};
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
    const QString group = facts.group.isEmpty() ? QStringLiteral("dialout") : facts.group;
    const QString user = facts.user.isEmpty() ? QStringLiteral("$USER") : facts.user;
    if (facts.groupNeedsLogin)
      return {PortFault::NoPermission,
              QStringLiteral("Нет прав на порт %1: пользователь %2 уже в группе %3, но этот "
                             "сеанс начат раньше. Выйдите из системы и войдите снова.")
                  .arg(path, user, group)};
    return {PortFault::NoPermission,
            QStringLiteral("Нет прав на порт %1: пользователь %2 не входит в группу %3. "
                           "Выполните: sudo usermod -aG %3 $USER — и войдите в систему "
                           "заново (выйдите и войдите), чтобы группа начала действовать.")
                .arg(path, user, group)};
  }
  // The device may be used by this user, yet it was refused: somebody else has it (a lock
  // this program cannot read, or the exclusive mode another program set).
  if (error == QSerialPort::PermissionError || error == QSerialPort::OpenError) {
    return {PortFault::Busy,
            QStringLiteral("Порт %1 занят другой программой. Закройте программу, которая с "
                           "ним работает, и повторите.")
                .arg(path)};
  }
  return {PortFault::Other, QStringLiteral("Порт %1 не открылся: %2.").arg(path, errorString)};
}

QString portOpenReason(const QString& portName, QSerialPort::SerialPortError error,
                       const QString& errorString) {
  const QString path = portSystemLocation(portName);
  return explainOpenFailure(path, error, errorString, probePort(path)).text;
}

PortReason explainVanished(const QString& path, bool stillExists) {
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

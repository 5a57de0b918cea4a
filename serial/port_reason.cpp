#include "serial/port_reason.h"

#include <QDir>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>
#endif

#include "serial/shown_text.h"

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
             : QStringLiteral("программа %1 (PID %2)").arg(ShownText(h.program)).arg(h.pid);
}

QString modeText(uint mode) {
  return QString::number(mode & 07777, 8).rightJustified(4, QLatin1Char('0'));
}

}  // namespace

QString portSystemLocation(const QString& portName) {
  if (portName.startsWith(QLatin1Char('/')) || portName.startsWith(QLatin1String("./")) ||
      portName.startsWith(QLatin1String("../")))
    return portName;
  return QStringLiteral("/dev/") + portName;
}

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

PortFacts probePort(const QString& path) {
  PortFacts facts;
  facts.ownPid = QCoreApplication::applicationPid();
  for (const QString& lock : portLockFileCandidates(path)) {
    if ((facts.holder = lockFileHolder(lock))) break;
  }
#ifdef Q_OS_UNIX
  const QByteArray native = QFile::encodeName(path);
  struct stat st {};
  facts.exists = ::stat(native.constData(), &st) == 0;
  facts.accessible = !facts.exists || ::access(native.constData(), R_OK | W_OK) == 0;
  if (const passwd* pw = ::getpwuid(::geteuid())) facts.user = QString::fromLocal8Bit(pw->pw_name);
  if (facts.exists) {
    facts.kind = S_ISCHR(st.st_mode)   ? PortFacts::Kind::CharDevice
                 : S_ISREG(st.st_mode) ? PortFacts::Kind::RegularFile
                 : S_ISDIR(st.st_mode) ? PortFacts::Kind::Folder
                                       : PortFacts::Kind::Other;
    facts.mode = st.st_mode & 07777;
    facts.groupMayUse = st.st_gid != 0 && (st.st_mode & 060) == 060;
    const passwd* owner = ::getpwuid(st.st_uid);
    facts.owner = owner ? QString::fromLocal8Bit(owner->pw_name) : QString::number(st.st_uid);
  }
  if (facts.exists && st.st_gid != 0) {
    if (const group* gr = ::getgrgid(st.st_gid)) facts.group = QString::fromLocal8Bit(gr->gr_name);
    // Listed in the group's database but not in this session's groups: a new login is due.
    int n = ::getgroups(0, nullptr);
    std::vector<gid_t> session(static_cast<size_t>(std::max(n, 0)));
    if (n > 0) n = ::getgroups(n, session.data());
    session.resize(static_cast<size_t>(std::max(n, 0)));
    const bool inSession = ::getegid() == st.st_gid ||
                           std::find(session.begin(), session.end(), st.st_gid) != session.end();
    const passwd* pw = ::getpwuid(::geteuid());
    if (pw && !inSession) {
      int count = 64;
      std::vector<gid_t> listed(static_cast<size_t>(count));
      if (::getgrouplist(pw->pw_name, pw->pw_gid, listed.data(), &count) < 0) {
        listed.resize(static_cast<size_t>(count));
        ::getgrouplist(pw->pw_name, pw->pw_gid, listed.data(), &count);
      }
      listed.resize(static_cast<size_t>(std::max(count, 0)));
      facts.groupNeedsLogin = std::find(listed.begin(), listed.end(), st.st_gid) != listed.end();
    }
  }
#else
  const QFileInfo info(path);
  facts.exists = info.exists();
  if (info.isFile()) facts.kind = PortFacts::Kind::RegularFile;
  if (info.isDir()) facts.kind = PortFacts::Kind::Folder;
#endif
  return facts;
}

PortReason explainOpenFailure(const QString& portPath, QSerialPort::SerialPortError error,
                              const QString& errorString, const PortFacts& facts) {
  const QString path = ShownText(portPath);
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
                       ShownText(name.isEmpty() ? QFileInfo(portPath).fileName() : name), user)};
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
          QStringLiteral("Порт %1 не открылся: %2.").arg(path, ShownText(errorString))};
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
                .arg(ShownText(typed), ShownPath(here.absoluteFilePath()))};
  const QString underDev = QStringLiteral("/dev/") + typed;
  return {underDev, QStringLiteral("--port %1: в текущей папке такого файла нет, взят %2")
                        .arg(ShownText(typed), ShownText(underDev))};
}

PortReason explainVanished(const QString& portPath, bool stillExists) {
  const QString path = ShownText(portPath);
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
  return explainVanished(path, QFileInfo::exists(path)).text;
}

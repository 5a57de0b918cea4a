// What a POSIX system shows about a port path: the device file, its group, the lock files.
#include <QCoreApplication>
#include <QFile>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "serial/port_reason.h"

QString portSystemLocation(const QString& portName) {
  if (portName.startsWith(QLatin1Char('/')) || portName.startsWith(QLatin1String("./")) ||
      portName.startsWith(QLatin1String("../")))
    return portName;
  return QStringLiteral("/dev/") + portName;
}

bool portPresent(const QString& path) {
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

PortFacts probePort(const QString& path) {
  PortFacts facts;
  facts.ownPid = QCoreApplication::applicationPid();
  for (const QString& lock : portLockFileCandidates(path)) {
    if ((facts.holder = lockFileHolder(lock))) break;
  }
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
  return facts;
}

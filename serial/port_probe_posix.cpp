// What a POSIX system shows about a port path: the device file, its group, the lock files.
#include <QCoreApplication>
#include <QFile>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

#include "serial/port_reason.h"

namespace lir2 {

namespace {

// The user and group databases through their reentrant calls: getpwuid's and getgrgid's own
// buffers are shared by every thread, and each device line may explain its port at the same
// moment (lir2-cli serve runs several).
struct UserEntry {
  QByteArray name;
  gid_t gid = 0;
};

std::optional<UserEntry> userEntry(uid_t uid) {
  std::vector<char> buffer(16 * 1024);
  passwd entry{};
  passwd* found = nullptr;
  while (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
         buffer.size() < (1u << 20))
    buffer.resize(buffer.size() * 2);
  if (!found) return std::nullopt;
  return UserEntry{QByteArray(found->pw_name), found->pw_gid};
}

std::optional<QByteArray> groupName(gid_t gid) {
  std::vector<char> buffer(16 * 1024);
  group entry{};
  group* found = nullptr;
  while (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
         buffer.size() < (1u << 20))
    buffer.resize(buffer.size() * 2);
  if (!found) return std::nullopt;
  return QByteArray(found->gr_name);
}

}  // namespace

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
  const std::optional<UserEntry> self = userEntry(::geteuid());
  if (self) facts.user = QString::fromLocal8Bit(self->name);
  if (facts.exists) {
    facts.kind = S_ISCHR(st.st_mode)   ? PortFacts::Kind::CharDevice
                 : S_ISREG(st.st_mode) ? PortFacts::Kind::RegularFile
                 : S_ISDIR(st.st_mode) ? PortFacts::Kind::Folder
                                       : PortFacts::Kind::Other;
    facts.mode = st.st_mode & 07777;
    facts.groupMayUse = st.st_gid != 0 && (st.st_mode & 060) == 060;
    const std::optional<UserEntry> owner = userEntry(st.st_uid);
    facts.owner = owner ? QString::fromLocal8Bit(owner->name) : QString::number(st.st_uid);
  }
  if (facts.exists && st.st_gid != 0) {
    if (const auto name = groupName(st.st_gid)) facts.group = QString::fromLocal8Bit(*name);
    // Listed in the group's database but not in this session's groups: a new login is due.
    int n = ::getgroups(0, nullptr);
    std::vector<gid_t> session(static_cast<size_t>(std::max(n, 0)));
    if (n > 0) n = ::getgroups(n, session.data());
    session.resize(static_cast<size_t>(std::max(n, 0)));
    const bool inSession = ::getegid() == st.st_gid ||
                           std::find(session.begin(), session.end(), st.st_gid) != session.end();
    if (self && !inSession) {
      int count = 64;
      std::vector<gid_t> listed(static_cast<size_t>(count));
      if (::getgrouplist(self->name.constData(), self->gid, listed.data(), &count) < 0) {
        listed.resize(static_cast<size_t>(count));
        ::getgrouplist(self->name.constData(), self->gid, listed.data(), &count);
      }
      listed.resize(static_cast<size_t>(std::max(count, 0)));
      facts.groupNeedsLogin = std::find(listed.begin(), listed.end(), st.st_gid) != listed.end();
    }
  }
  return facts;
}

}  // namespace lir2

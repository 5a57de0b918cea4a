#include "serial/safe_save.h"

#include <QFileInfo>
#include <QSaveFile>

#include <atomic>
#include <cerrno>
#include <cstdio>

#if defined(Q_OS_WIN)
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lir2 {

namespace {

std::atomic<int> g_injectedError{0};

QString systemReason(int error) {
  return qt_error_string(error);
}

// Writes to standard output as they come; a pipe or a terminal cannot be replaced whole.
bool writeStandardOutput(const QByteArray& bytes, QString* reason) {
  errno = 0;
  if (const int injected = g_injectedError.load()) {
    if (reason) *reason = systemReason(injected);
    return false;
  }
  const bool written =
      std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size()) &&
      std::fflush(stdout) == 0 && !std::ferror(stdout);
  if (!written && reason)
    *reason = errno != 0 ? systemReason(errno) : QStringLiteral("стандартный вывод не принимает");
  return written;
}

#if !defined(Q_OS_WIN)
// The rename itself reaches the disk only with its folder.
void syncFolderOf(const QString& path) {
  const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
  const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}
#endif

}  // namespace

QString saveTargetRefusal(const QString& path) {
#if defined(Q_OS_WIN)
  const QFileInfo info(path);
  if (!info.exists() || info.isFile()) return {};
  if (info.isDir()) return QStringLiteral("это папка, а не файл");
  return QStringLiteral("это устройство, а не обычный файл");
#else
  const QByteArray native = QFile::encodeName(path);
  struct stat link {};
  if (::lstat(native.constData(), &link) != 0) return {};  // nothing there yet
  struct stat st = link;
  const bool isLink = S_ISLNK(link.st_mode);
  // A link that leads nowhere is written through, as a new file at its target.
  if (isLink && ::stat(native.constData(), &st) != 0) return {};
  if (S_ISREG(st.st_mode)) return {};
  QString what;
  if (S_ISDIR(st.st_mode))
    what = QStringLiteral("папка");
  else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
    what = QStringLiteral("устройство");
  else if (S_ISFIFO(st.st_mode))
    what = QStringLiteral("именованный канал (FIFO)");
  else if (S_ISSOCK(st.st_mode))
    what = QStringLiteral("сокет");
  else
    what = QStringLiteral("не обычный файл");
  if (isLink)
    return QStringLiteral("это ссылка на %1 (%2), а не на обычный файл; запись в него не делается")
        .arg(what, QFileInfo(path).canonicalFilePath());
  return QStringLiteral("это %1, а не обычный файл; запись в него не делается").arg(what);
#endif
}

QString saveTargetProblem(const QString& path) {
  if (QString refusal = saveTargetRefusal(path); !refusal.isEmpty()) return refusal;
  QSaveFile probe(path);
  if (!probe.open(QIODevice::WriteOnly)) return probe.errorString();
  probe.cancelWriting();  // nothing is put in place; the temporary file goes with probe
  return {};
}

bool writeWhole(QFileDevice& file, const QByteArray& bytes, QString* reason) {
  if (const int injected = g_injectedError.load()) {
    if (reason) *reason = systemReason(injected);
    return false;
  }
  errno = 0;
  if (file.write(bytes) == bytes.size()) return true;
  // Qt's words when it has them, else the system's for what the last call met.
  if (reason)
    *reason = file.error() != QFileDevice::NoError && !file.errorString().isEmpty()
                  ? file.errorString()
                  : systemReason(errno != 0 ? errno : EIO);
  return false;
}

bool syncToDisk(QFileDevice& file, QString* reason) {
  const int handle = file.handle();
  if (handle < 0) return true;  // nothing of the system's to force
#if defined(Q_OS_WIN)
  const bool synced = ::_commit(handle) == 0;
#elif defined(Q_OS_LINUX)
  const bool synced = ::fdatasync(handle) == 0;
#else
  const bool synced = ::fsync(handle) == 0;
#endif
  if (!synced && reason) *reason = systemReason(errno);
  return synced;
}

bool saveFile(const QString& path, const QByteArray& bytes, QString* reason, SaveTo to) {
  if (to == SaveTo::DashIsStandardOutput && path == QLatin1String("-"))
    return writeStandardOutput(bytes, reason);
  if (const QString refusal = saveTargetRefusal(path); !refusal.isEmpty()) {
    if (reason) *reason = refusal;
    return false;
  }
  QSaveFile file(path);
  // Unbuffered: a buffered save file keeps its last bytes until commit(), whose flush may fail
  // on a full disk unnoticed while the rename still happens.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    if (reason) *reason = file.errorString();
    return false;
  }
  if (!writeWhole(file, bytes, reason) || !syncToDisk(file, reason)) {
    file.cancelWriting();
    return false;  // the temporary file goes with `file`; the old one was never touched
  }
  if (!file.commit()) {
    if (reason) *reason = file.errorString();
    return false;
  }
#if !defined(Q_OS_WIN)
  syncFolderOf(path);
#endif
  return true;
}

void injectSaveWriteError(int systemError) {
  g_injectedError.store(systemError);
}

}  // namespace lir2

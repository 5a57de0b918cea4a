#pragma once

// A file system of its own, a few pages of tmpfs on a temporary folder, to fill on demand: a
// full disk without filling the machine's. ok() is false where mounting is not permitted (not
// root, or a container without the right); tests then skip or fall back to an injected failure.
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

class SmallTmpfs {
 public:
  explicit SmallTmpfs(int kib = 64) {
    const QByteArray options = "size=" + QByteArray::number(kib) + "k";
    mounted_ = dir_.isValid() && ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(),
                                         "tmpfs", 0, options.constData()) == 0;
  }
  ~SmallTmpfs() {
    if (mounted_) ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
  }
  bool ok() const { return mounted_; }
  QString path(const QString& name) const { return dir_.filePath(name); }
  // Takes what space is left (nothing happens where nothing was mounted).
  void fill() {
    if (!mounted_) return;
    const int fd = ::open(QFile::encodeName(path("filler")).constData(), O_WRONLY | O_CREAT, 0600);
    static const char page[4096] = {};
    while (fd >= 0 && ::write(fd, page, sizeof page) > 0) {
    }
    if (fd >= 0) ::close(fd);
  }
  // Gives it back.
  void free() { QFile::remove(path("filler")); }

 private:
  QTemporaryDir dir_;
  bool mounted_ = false;
};

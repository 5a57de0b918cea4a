#pragma once

// A few pages of tmpfs on a temporary folder: a disk to fill on demand. ok() is false where
// mounting is not permitted (not root, a container without the right).
#include <QFile>
#include <QTemporaryDir>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

class SmallTmpfs {
 public:
  bool ok() const { return mounted_; }
  QString path(const QString& name) const { return dir_.filePath(name); }
  void free() { QFile::remove(path("filler")); }
#ifdef Q_OS_LINUX
  SmallTmpfs() {
    mounted_ = dir_.isValid() && ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(),
                                         "tmpfs", 0, "size=64k") == 0;
  }
  ~SmallTmpfs() {
    if (mounted_) ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
  }
  // Takes the space that is left; free() gives it back. Nothing where nothing was mounted.
  void fill() {
    static const char page[4096] = {};
    const int fd =
        mounted_ ? ::open(QFile::encodeName(path("filler")).constData(), O_WRONLY | O_CREAT, 0600)
                 : -1;
    while (fd >= 0 && ::write(fd, page, sizeof page) > 0) {
    }
    if (fd >= 0) ::close(fd);
  }
#else
  // Elsewhere there is no tmpfs to mount: ok() stays false and the tests that need one skip.
  void fill() {}
#endif

 private:
  QTemporaryDir dir_;
  bool mounted_ = false;
};

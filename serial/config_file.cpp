#include "config_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <QTemporaryFile>
#include "serial/safe_save.h"
#include "serial/shown_text.h"

namespace lir2 {

ConfigFile::ConfigFile(QString path) : path_(std::move(path)) {}

bool ConfigFile::load(QString* error) {
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) {
    lines_ = {QByteArrayLiteral("COM1")};
    if (file.exists()) {
      // There is a file we may not read: writing over it would lose its other lines.
      keepOff_ = true;
      if (error)
        *error =
            QStringLiteral("Не удалось прочитать %1: %2").arg(shownPath(path_), file.errorString());
      return false;
    }
    return save(error);
  }
  const QByteArray data = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    if (error)
      *error =
          QStringLiteral("Не удалось прочитать %1: %2").arg(shownPath(path_), file.errorString());
    lines_ = {QByteArrayLiteral("COM1")};
    keepOff_ = true;
    return false;
  }
  keepOff_ = false;
  lines_.clear();
  qsizetype start = 0;
  while (start < data.size()) {
    qsizetype end = data.indexOf('\n', start);
    if (end < 0) end = data.size();
    QByteArray line = data.mid(start, end - start);
    if (line.endsWith('\r')) line.chop(1);
    lines_.append(line);
    start = end + 1;
  }
  return true;
}

bool ConfigFile::save(QString* error) const {
  if (keepOff_) {
    if (error)
      *error = QStringLiteral("%1 не прочитан, поэтому не перезаписывается").arg(shownPath(path_));
    return false;
  }
  const QFileInfo info(path_);
  if (!QDir().mkpath(info.absolutePath())) {
    if (error) *error = QStringLiteral("Не удалось создать папку %1").arg(shownPath(info.path()));
    return false;
  }
  QByteArray bytes;
  for (const QByteArray& line : lines_) bytes += line + "\r\n";
  QString reason;
  if (!saveFile(path_, bytes, &reason)) {
    if (error) *error = QStringLiteral("Не удалось записать %1: %2").arg(shownPath(path_), reason);
    return false;
  }
  return true;
}

QString ConfigFile::line1() const {
  return lines_.isEmpty() ? QString() : QString::fromLocal8Bit(lines_.first());
}

void ConfigFile::setLine1(const QString& text) {
  if (lines_.isEmpty())
    lines_.append(text.toLocal8Bit());
  else
    lines_.first() = text.toLocal8Bit();
}

bool folderWritable(const QString& folder) {
  QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("lir2-XXXXXX.tmp")));
  return probe.open();  // removed again when it goes
}

}  // namespace lir2

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace lir2 {

// "data/config.txt": line 1 names the chosen port; every other line is kept byte for byte and
// written back unchanged. Lines are written with CR LF; line 1 is in the system's 8-bit code page.
class ConfigFile {
 public:
  explicit ConfigFile(QString path = QStringLiteral("data/config.txt"));

  // Reads the whole file. A missing file is first created with the single line "COM1" (its
  // folder too). Returns false with a message when the file could neither be read nor created;
  // the lines then hold "COM1" so the program can run on. A file that exists but cannot be read
  // is never written over.
  bool load(QString* error = nullptr);
  // Writes the whole file through saveFile: a failure leaves the old file as it was.
  bool save(QString* error = nullptr) const;

  QString line1() const;  // empty when the file has no line
  void setLine1(const QString& text);
  const QList<QByteArray>& lines() const { return lines_; }
  const QString& path() const { return path_; }

 private:
  QString path_;
  QList<QByteArray> lines_;
  bool keepOff_ = false;  // the file exists but could not be read
};

// Whether this user may create files in the folder, as saving the configuration does (through a
// temporary file beside it). Found by trying: on Windows a folder's attributes say nothing of the
// user's rights (Program Files is closed to users, yet not read-only).
bool folderWritable(const QString& folder);

}  // namespace lir2

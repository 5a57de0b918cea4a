#pragma once

#include <QByteArray>
#include <QString>

class QFileDevice;

namespace lir2 {

// The one way this program saves a file: backups, the map's text, the port logs, the first
// bytes of a recording, config.txt and the tools' outputs. The bytes go to a temporary file
// beside the target, are written unbuffered with every error checked, forced to the disk, and
// only then put in place of the old file; a full disk, a quota or an I/O error leaves the old
// file as it was and says why in the system's words. A target that is not a regular file (a
// device, a FIFO, a socket, a folder, or a link to one) is refused: replacing /dev/null or a
// serial port with a file would be worse than failing.

// Why path may not be saved to; empty when it names a regular file, a link to one, or nothing
// yet.
QString saveTargetRefusal(const QString& path);
// The same, and whether a file can be made there at all (the folder exists and may be written):
// for a program that checks its output before a long read. Empty when nothing stands in the way.
QString saveTargetProblem(const QString& path);

enum class SaveTo {
  FileOnly,
  DashIsStandardOutput,  // "-" names standard output, written directly
};

// Saves bytes at path. False with the reason (a sentence fragment that follows "не сохранён: ")
// when the old file, if any, is still what it was.
bool saveFile(const QString& path, const QByteArray& bytes, QString* reason,
              SaveTo to = SaveTo::FileOnly);

// The steps that an open file that grows (a recording) shares with saveFile: every byte written,
// or false with the system's reason; then forced to the disk (only the data, where the system
// can tell the two apart).
bool writeWhole(QFileDevice& file, const QByteArray& bytes, QString* reason);
bool syncToDisk(QFileDevice& file, QString* reason);

// For tests: while set, every write above fails with this system error (errno), as a full disk
// (ENOSPC) or a failing drive (EIO) would make it fail. 0 ends it.
void injectSaveWriteError(int systemError);

}  // namespace lir2

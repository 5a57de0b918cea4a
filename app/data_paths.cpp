#include "app/data_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "serial/config_file.h"

namespace lir2 {

DataPaths chooseDataPaths(const QString& workingDir, const QString& programDir,
                          const QString& configFolder,
                          const std::function<bool(const QString&)>& writable) {
  const QString userConfig = configFolder.isEmpty()
                                 ? QString()
                                 : QDir(configFolder).filePath(QStringLiteral("config.txt"));
  // Sounds from `data`; the configuration beside them unless the user may not write there.
  const auto beside = [&](const QString& data, const QString& dataOnDisk) -> DataPaths {
    const bool local = userConfig.isEmpty() || writable(dataOnDisk);
    return {local ? QDir(data).filePath(QStringLiteral("config.txt")) : userConfig, data};
  };
  const QString working = QDir(workingDir).filePath(QStringLiteral("data"));
  if (QFileInfo(working).isDir()) return beside(QStringLiteral("data"), working);
  if (!programDir.isEmpty()) {
    const QString besideProgram = QDir(programDir).filePath(QStringLiteral("data"));
    if (QFileInfo(besideProgram).isDir()) return beside(besideProgram, besideProgram);
  }
  const DataPaths local{QStringLiteral("data/config.txt"), QStringLiteral("data")};
  const QString shared =
      QDir::cleanPath(QDir(programDir).filePath(QLatin1String(kInstalledDataFromProgram)));
  if (programDir.isEmpty() || userConfig.isEmpty() || !QFileInfo(shared).isDir()) return local;
  return {userConfig, QDir(shared).filePath(QStringLiteral("sounds"))};
}

DataPaths dataPaths() {
  return chooseDataPaths(QDir::currentPath(), QCoreApplication::applicationDirPath(),
                         QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
                         folderWritable);
}

}  // namespace lir2

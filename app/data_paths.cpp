#include "app/data_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

DataPaths chooseDataPaths(const QString& workingDir, const QString& programDir,
                          const QString& configFolder) {
  const DataPaths local{QStringLiteral("data/config.txt"), QStringLiteral("data")};
  if (QFileInfo(QDir(workingDir).filePath(QStringLiteral("data"))).isDir()) return local;
  const QString shared =
      QDir::cleanPath(QDir(programDir).filePath(QLatin1String(kInstalledDataFromProgram)));
  if (programDir.isEmpty() || configFolder.isEmpty() || !QFileInfo(shared).isDir()) return local;
  return {QDir(configFolder).filePath(QStringLiteral("config.txt")),
          QDir(shared).filePath(QStringLiteral("sounds"))};
}

DataPaths dataPaths() {
  return chooseDataPaths(QDir::currentPath(), QCoreApplication::applicationDirPath(),
                         QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

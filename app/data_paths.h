#pragma once

#include <QString>

// Where the program keeps its run-time files.
struct DataPaths {
  QString configPath;    // config.txt, written at run time
  QString soundsFolder;  // ok.wav and error.wav, only read
};

// The decision, from the three places it depends on:
// - a `data/` folder in the working directory: it holds everything, as it always has (a
//   checkout, a folder the user prepared); the paths stay relative to the working directory;
// - otherwise, an installed program (its shared files at `programDir`/../share/lir2gui): the
//   configuration in the user's configuration folder `configFolder`, the sounds from the
//   shared files;
// - otherwise (a build tree started from elsewhere): `data/` in the working directory as
//   before, created when the configuration is first written.
DataPaths chooseDataPaths(const QString& workingDir, const QString& programDir,
                          const QString& configFolder);

// The decision for this process: the current directory, the program's own folder and
// QStandardPaths' application configuration folder. Needs the application object.
DataPaths dataPaths();

// Where an installed program's shared files lie, relative to its executable.
inline constexpr char kInstalledDataFromProgram[] = "../share/lir2gui";

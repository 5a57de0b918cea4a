#pragma once

#include <QString>

#include <functional>

namespace lir2 {

// Where the program keeps its run-time files.
struct DataPaths {
  QString configPath;    // config.txt, written at run time
  QString soundsFolder;  // ok.wav and error.wav, only read
};

// The decision, from the places it depends on:
// - a `data/` folder in the working directory: it holds the sounds and, when the user may write
//   there, the configuration, as it always has (a checkout, a folder the user prepared, a
//   portable copy started from its folder); the paths stay relative to the working directory;
// - otherwise a `data/` folder beside the program (the Windows layout, installed or unpacked
//   from the .zip, started from anywhere): the same, with absolute paths;
// - otherwise an installed program (its shared files at `programDir`/../share/lir2gui): the
//   sounds from the shared files;
// - otherwise (a build tree started from elsewhere): `data/` in the working directory as
//   before, created when the configuration is first written.
// Where the configuration cannot go beside the sounds (an installed program, a `data/` folder
// closed to the user as under Windows' Program Files), it goes in the user's configuration
// folder `configFolder`. `writable` says whether the user may create files in a folder.
DataPaths chooseDataPaths(const QString& workingDir, const QString& programDir,
                          const QString& configFolder,
                          const std::function<bool(const QString&)>& writable);

// The decision for this process: the current directory, the program's own folder and
// QStandardPaths' application configuration folder, each folder tried for writing. Needs the
// application object.
DataPaths dataPaths();

// Where an installed program's shared files lie, relative to its executable.
inline constexpr char kInstalledDataFromProgram[] = "../share/lir2gui";

}  // namespace lir2

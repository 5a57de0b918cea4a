#pragma once

// The committed sample files: from LIR2_SOURCE_DIR (CTest sets it), else from the source folder
// the test was built from, so a test binary started by hand finds them too.
#include <QString>

inline QString sample(const char* name) {
  QString root = qEnvironmentVariable("LIR2_SOURCE_DIR");
  if (root.isEmpty()) root = QStringLiteral(LIR2_SOURCE_DIR_BUILT);
  return root + QStringLiteral("/samples/") + QLatin1String(name);
}

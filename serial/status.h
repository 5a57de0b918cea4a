#pragma once

#include <QString>

namespace lir2 {

// The main window's three status bars, as every layer writes into them (panel 1 of each).
class StatusBars {
 public:
  virtual ~StatusBars() = default;
  virtual void setErrorText(const QString& text) = 0;
  virtual void setStateText(const QString& text) = 0;
  virtual void setFileNameText(const QString& text) = 0;
};

}  // namespace lir2

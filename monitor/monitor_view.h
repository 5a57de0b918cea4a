#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace lir2 {

// Colours a decode gives a control. The window turns them into real colours; ButtonFace and
// Window are the palette's colours of those names, so the program follows the desktop's theme.
enum class Shade { ButtonFace, Window, Red, Green, Orange, Yellow, Cream };

// What a decode says about one control. Only the fields that are set change the control; an
// unset field leaves it as it was (a decode that hides a control never shows it again unless
// it says so).
struct ControlView {
  std::optional<QString> text;  // a label's text, a button's or check box's caption, a field
  std::optional<bool> visible;
  std::optional<bool> enabled;
  std::optional<bool> checked;   // check box
  std::optional<int> itemIndex;  // radio group or combo box
  std::optional<int> position;   // track bar
  std::optional<Shade> background;
  std::optional<Shade> fontColor;

  bool operator==(const ControlView&) const = default;
};

// The result of a decode: what the monitor window must show, control by control (by the
// control's object name), and the alarm lines to append to the log. Decoders fill it; the window
// applies it with its update guard raised; tests compare it with tables; recording reads it.
class MonitorView {
 public:
  // The entry of a control, made on first use; entries keep the order of their first use.
  ControlView& operator[](const QString& name);
  const ControlView* find(const QString& name) const;
  // Shorthands for the test tables and the recorders: the text (empty when unset) and whether
  // the view mentions the control at all.
  QString textOf(const QString& name) const;
  bool has(const QString& name) const { return find(name) != nullptr; }

  // Takes what a later decode step said: its fields win, its alarm lines follow.
  void merge(const MonitorView& later);
  bool empty() const { return controls.empty() && alarmLines.isEmpty(); }

  std::vector<std::pair<QString, ControlView>> controls;
  // Whole lines as appended to the alarm log, each ending in CR LF.
  QStringList alarmLines;
};

}  // namespace lir2

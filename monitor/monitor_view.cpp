#include "monitor/monitor_view.h"

namespace lir2 {

ControlView& MonitorView::operator[](const QString& name) {
  for (auto& [n, v] : controls)
    if (n == name) return v;
  controls.emplace_back(name, ControlView{});
  return controls.back().second;
}

const ControlView* MonitorView::find(const QString& name) const {
  for (const auto& [n, v] : controls)
    if (n == name) return &v;
  return nullptr;
}

QString MonitorView::textOf(const QString& name) const {
  const ControlView* v = find(name);
  return v && v->text ? *v->text : QString();
}

void MonitorView::merge(const MonitorView& later) {
  for (const auto& [name, v] : later.controls) {
    ControlView& mine = (*this)[name];
    auto take = [](auto& to, const auto& from) {
      if (from) to = from;
    };
    take(mine.text, v.text);
    take(mine.visible, v.visible);
    take(mine.enabled, v.enabled);
    take(mine.checked, v.checked);
    take(mine.itemIndex, v.itemIndex);
    take(mine.position, v.position);
    take(mine.background, v.background);
    take(mine.fontColor, v.fontColor);
  }
  alarmLines += later.alarmLines;
}

}  // namespace lir2

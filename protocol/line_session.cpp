#include "protocol/line_session.h"

#include <QCoreApplication>
#include <QPointer>

#include "protocol/device_link.h"

namespace lir2 {

LineSession::LineSession(DeviceLink& link) : QObject(&link), link_(link) {}

LineSession::~LineSession() {
  link_.sessionGone(*this);
}

RunId LineSession::startRun(std::function<void(RunId)> begin) {
  return link_.startRun(*this, std::move(begin));
}

void LineSession::stop() {
  link_.stopRun(run_);
}

bool LineSession::holdsLine() const {
  return link_.heldBy(*this);
}

void LineSession::toWindows(std::function<void()> signal) {
  // The session may be gone by the time the windows' thread gets to it (the program ending).
  runIn(QCoreApplication::instance(), [alive = QPointer<LineSession>(this), signal] {
    if (alive) signal();
  });
}

}  // namespace lir2

#include "form_monitor.h"

#include <QCloseEvent>

#include "serial/window_timer.h"

TFormMonitor::TFormMonitor(const QString& caption, PortControl& port, Clock& clock, TrafficLog* log,
                           const LogSwitches* switches, QWidget* parent)
    : QWidget(parent, Qt::Window), exchange_(port, clock, log, switches) {
  setObjectName(QStringLiteral("FormMonitor"));
  setWindowTitle(caption);

  Timer1 = new WindowTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(0);
  Timer1->setEnabled(true);  // ticks once translation gives it an interval
  connect(Timer1, &WindowTimer::timeout, this, &TFormMonitor::Timer1Timer);

  Timer3 = new WindowTimer(this);
  Timer3->setObjectName(QStringLiteral("Timer3"));
}

TFormMonitor::~TFormMonitor() = default;

void TFormMonitor::Timer1Timer() {
  // Translation shows what comes and reports nothing: a quiet line is no failure, so its
  // time-out must not linger in ResultCode and surface in the next run.
  if (exchange_.ReadByte(LogChar) != 0) {
    exchange_.ResultCode = 0;
    return;
  }
  // One byte a tick is ten a second: a device that says more would fill the line's buffer
  // until bytes are lost. What has already arrived is shown at once.
  exchange_.ReadReceived(LogChar, kTranslationBurst);
}

void TFormMonitor::FormClose() {
  if (mainWindow_) mainWindow_->show();
  Timer3->setInterval(0);
  Timer3->setEnabled(false);
  hide();
}

void TFormMonitor::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

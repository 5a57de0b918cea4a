// The main window's ways out to the host: the modem mode and the machine's shutdown.
#include <QCheckBox>

#include "app/app_windows.h"
#include "app/form_main.h"
#include "app/form_opt_soft.h"
#include "app/form_port_log.h"
#include "host/form_sms_modem.h"
#include "host/shutdown.h"
#include "serial/form_opt_hard.h"

bool TFormMain::shoot(bool reboot, bool force) {
  return requestShutdown(shutdownBackend_, reboot, force);
}

void TFormMain::B_ModemClick() {
  RunMode = 'M';
  // The logs are the only place the modem's answers show; their actions' check marks are
  // left as they are.
  w_->FormReadPort->show();
  w_->FormWritePort->show();
  w_->traffic.clearLogs();
  w_->FormOptSoft->CheckBoxRead->setChecked(true);
  w_->FormOptSoft->CheckBoxWrite->setChecked(true);
  // A port that does not open is shown in the error bar; the mode goes on, and each exchange
  // then fails with its own code.
  PortControl& port = w_->FormOptHard->port();
  port.ClosePort();
  port.OpenPort(port.BaudRate);
  port.PurgePort();
  w_->FormSmsModem->ModemInit();
  w_->FormSmsModem->show();
}

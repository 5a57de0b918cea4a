// The main window's ways out to the host: the modem mode and the machine's shutdown.
#include <QCheckBox>

#include "app/form_main.h"
#include "app/form_opt_hard.h"
#include "app/form_opt_soft.h"
#include "app/form_port_log.h"
#include "host/form_sms_modem.h"
#include "host/shutdown.h"
#include "protocol/window_bridge.h"

namespace lir2 {

bool TFormMain::shoot(bool reboot, bool force) {
  return requestShutdown(shutdownBackend_, reboot, force);
}

void TFormMain::B_ModemClick() {
  RunMode = Run::Modem;
  // The logs are the only place the modem's answers show; their actions' check marks are
  // left as they are.
  p_.readLog->show();
  p_.writeLog->show();
  p_.software->switchLoggingOn();
  // The modem is set up on the line while the window shows; its run empties the logs.
  p_.modem->show();
  p_.modem->startModem(p_.hardware->settings());
}

}  // namespace lir2

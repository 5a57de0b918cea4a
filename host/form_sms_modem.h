#pragma once

#include <QWidget>

#include "host/sms_modem.h"
#include "serial/result_code.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace lir2 {

class ModemSession;
struct PortSettings;
class WindowTimer;

// The GSM modem window, reached through the main window's hidden modem button: a message to
// send, a raw command, and the result of the last send. Closing it only hides it; the modem
// mode has no stop of its own. The modem's exchanges are the modem session's, on the device
// line's thread; the window only asks for them and shows their results.
class TFormSmsModem : public QWidget {
  Q_OBJECT
 public:
  explicit TFormSmsModem(ModemSession& session, QWidget* parent = nullptr);

  // The modem mode's start, run by the main window: the port reopened at the configured rate,
  // then the modem's set-up.
  void startModem(const PortSettings& settings);
  void B_SmsSendClick();
  void B_StopClick();
  void Timer1Timer();

 private:
  void smsSent(Result code);

  QLabel* L_SmsSend = nullptr;
  QLineEdit* E_SmsSend = nullptr;
  QPushButton* B_SmsSend = nullptr;
  QLabel* L_SmsReceive = nullptr;
  QLineEdit* E_SmsReceive = nullptr;
  QPushButton* B_Stop = nullptr;
  QLabel* L_err = nullptr;
  // The receive poll. It stays disabled: a send only sets its interval (see B_SmsSendClick).
  WindowTimer* Timer1 = nullptr;

  ModemSession& session_;
};

}  // namespace lir2

#pragma once

#include <QWidget>

#include "host/sms_modem.h"

class Exchange;
class QLabel;
class QLineEdit;
class QPushButton;
class WindowTimer;

// The GSM modem window, reached through the main window's hidden modem button: a message to
// send, a raw command, and the result of the last send. Closing it only hides it; the modem
// mode has no stop of its own.
class TFormSmsModem : public QWidget {
  Q_OBJECT
 public:
  explicit TFormSmsModem(Exchange& exchange, QWidget* parent = nullptr);

  QLabel* L_SmsSend = nullptr;
  QLineEdit* E_SmsSend = nullptr;
  QPushButton* B_SmsSend = nullptr;
  QLabel* L_SmsReceive = nullptr;
  QLineEdit* E_SmsReceive = nullptr;
  QPushButton* B_Stop = nullptr;
  QLabel* L_err = nullptr;
  // The receive poll. It stays disabled: a send only sets its interval (see B_SmsSendClick).
  WindowTimer* Timer1 = nullptr;

  SmsModem& modem() { return modem_; }

  // Modem set-up, run by the main window when it enters the modem mode.
  void ModemInit();
  void B_SmsSendClick();
  void B_StopClick();
  void Timer1Timer();

 private:
  SmsModem modem_;
};

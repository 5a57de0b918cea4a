#include "form_sms_modem.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "host/modem_session.h"
#include "serial/window_timer.h"

namespace lir2 {

namespace {

template <typename W>
W* named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

}  // namespace

TFormSmsModem::TFormSmsModem(ModemSession& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session) {
  setObjectName(QStringLiteral("FormSmsModem"));
  setWindowTitle(QStringLiteral("FormSmsModem"));

  L_SmsSend = named(new QLabel(QStringLiteral("L_SmsSend"), this), "L_SmsSend");
  E_SmsSend = named(new QLineEdit(QStringLiteral("hell"), this), "E_SmsSend");
  B_SmsSend = named(new QPushButton(QStringLiteral("B_SmsSend"), this), "B_SmsSend");
  L_SmsReceive = named(new QLabel(QStringLiteral("L_SmsReceive"), this), "L_SmsReceive");
  E_SmsReceive = named(new QLineEdit(this), "E_SmsReceive");
  B_Stop = named(new QPushButton(QStringLiteral("Read"), this), "B_Stop");
  L_err = named(new QLabel(QStringLiteral("L_err"), this), "L_err");
  L_err->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Framed like the main window's status panels: it is the window's only report.
  L_err->setFrameShape(QFrame::StyledPanel);
  L_err->setFrameShadow(QFrame::Sunken);
  L_err->setMinimumHeight(L_err->sizeHint().height() + 6);
  L_SmsSend->setBuddy(E_SmsSend);
  L_SmsReceive->setBuddy(E_SmsReceive);
  for (QLineEdit* edit : {E_SmsSend, E_SmsReceive}) edit->setMinimumWidth(220);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(10, 10, 10, 10);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(6);
  grid->addWidget(L_SmsSend, 0, 0);
  grid->addWidget(E_SmsSend, 0, 1);
  grid->addWidget(B_SmsSend, 0, 2);
  grid->addWidget(L_SmsReceive, 1, 0);
  grid->addWidget(E_SmsReceive, 1, 1);
  grid->addWidget(B_Stop, 1, 2);
  grid->addWidget(L_err, 2, 0, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(3, 1);

  Timer1 = new WindowTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  connect(Timer1, &WindowTimer::timeout, this, &TFormSmsModem::Timer1Timer);
  connect(B_SmsSend, &QPushButton::clicked, this, &TFormSmsModem::B_SmsSendClick);
  connect(B_Stop, &QPushButton::clicked, this, &TFormSmsModem::B_StopClick);
  connect(&session_, &ModemSession::sent, this, &TFormSmsModem::smsSent);
}

void TFormSmsModem::startModem(const PortSettings& settings) {
  session_.start(settings);
}

void TFormSmsModem::B_SmsSendClick() {
  // The poll must not start while the send has the line. The interval it gets afterwards
  // does not start it either: nothing enables the timer, because a poll every 3 s would keep
  // the line busy for at least one second of every three (five with a silent modem), to read
  // answers that only the read log shows.
  Timer1->setInterval(0);
  session_.sendSms(SmsModem::messageBytes(E_SmsSend->text()));
}

void TFormSmsModem::smsSent(Result code) {
  L_err->setText(smsResultText(code));
  Timer1->setInterval(SmsModem::kPollIntervalMs);
}

void TFormSmsModem::B_StopClick() {
  session_.sendRaw(SmsModem::commandBytes(E_SmsReceive->text()));
}

void TFormSmsModem::Timer1Timer() {
  session_.receivePoll();
}

}  // namespace lir2

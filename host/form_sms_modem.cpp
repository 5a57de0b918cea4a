#include "form_sms_modem.h"

TFormSmsModem::TFormSmsModem(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("FormSmsModem"));
  setWindowTitle(QStringLiteral("FormSmsModem"));
}

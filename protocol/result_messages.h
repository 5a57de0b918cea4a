#pragma once

#include <QString>
#include <QStringList>

#include "serial/result_code.h"

namespace lir2 {

// The message of every result code, 0 to 27; every code of 27 and above shows the text of 27.
const QStringList& ResultMessages();
QString resultMessage(Result code);

// The code of the device's error byte in a monitor reply: its lowest set bit among bits 0 to 5
// gives 21 to 26; with none of them set the code is 20.
Result deviceErrorCode(quint8 errorByte);

}  // namespace lir2

#include "result_messages.h"

#include <algorithm>

#include "serial/result_code.h"

namespace lir2 {

const QStringList& ResultMessages() {
  // The texts are the device family's own, misspellings included. Code 17 begins with the
  // Latin capital O; in code 25 the two capitals before "Prom" are the Cyrillic Е.
  // clang-format off
  static const QStringList messages = {
      QStringLiteral("Нет ошибок"),
      QStringLiteral("Прервали операцию"),
      QStringLiteral("Ошибка открытия COM порта"),
      QStringLiteral("Ошибка чтения COM порта"),
      QStringLiteral("Ошибка записи COM порта"),
      QStringLiteral("Не правильное подтверждение записи в порт"),
      QStringLiteral("Нет подтверждения комманды"),
      QStringLiteral("Не правильная версия загрузчика"),
      QStringLiteral("Ошибка записи в Память Программ"),
      QStringLiteral("Не правильная контрольная сумма"),
      QStringLiteral("Нет подтверждения окончаеия операции записи"),
      QStringLiteral("Не правильный стартовый адрес загрузки"),
      QStringLiteral("Ошибка для зарезервированной комманды"),
      QStringLiteral("Передали не те данные"),
      QStringLiteral("Не та версия платы"),
      QStringLiteral("Не та версия процессора"),
      QStringLiteral("Не работает загрузка SPI для 5 верси"),
      QStringLiteral("O" "шибка чтения символов RS232"),
      QStringLiteral("Символ не является 16-рич числом в посылке RS232"),
      QStringLiteral("Не совподает контрльная сумма посылке RS232"),
      QStringLiteral("Долго нет ответа при чтении"),
      QStringLiteral("MErr - не правильная контрольная сумма"),
      QStringLiteral("MErr - нет эхо при передачи"),
      QStringLiteral("MErr - не правильный код при передачи - не хватает символа или не те символы"),
      QStringLiteral("MErr - данные не 16 ричные"),
      QStringLiteral("MErr - не было предварительно комманды записи в \u0415\u0415Prom"),
      QStringLiteral("MErr - используется резерв адресного пространства, пока эти пространства не реализованны"),
      QStringLiteral("Не известная операция"),
  };
  // clang-format on
  return messages;
}

QString resultMessage(Result result) {
  const QStringList& messages = ResultMessages();
  const int code = std::min<int>(codeOf(result), messages.size() - 1);
  return messages[code];
}

Result deviceErrorCode(quint8 errorByte) {
  for (int bit = 0; bit <= 5; ++bit)
    if (errorByte & (1u << bit)) return resultFromCode(codeOf(Result::DeviceChecksum) + bit);
  return Result::NoReply;
}

}  // namespace lir2

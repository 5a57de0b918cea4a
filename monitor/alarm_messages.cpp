#include "monitor/alarm_messages.h"

namespace lir2 {

namespace {

AlarmTables buildTables() {
  // The device family's texts as they are: "KZ" in the two battery short-circuit messages is in
  // Latin letters, "КЗ" elsewhere Cyrillic.
  // RAM offset 42
  const std::array<QString, 8> systemFault{
      QStringLiteral("Нет связи с 220В "),
      QStringLiteral("Запись в EEPROM не прошла"),
      QStringLiteral("Интерапт"),
      QStringLiteral("Датчик температуры не работает"),
      QStringLiteral("Другая Системная ошибка"),
      QStringLiteral("Ошибка перемычек"),
      QStringLiteral("НЕПолярностьТора"),
      QStringLiteral("S8              "),
  };
  // RAM offset 44
  const std::array<QString, 8> warning{
      QStringLiteral("Аккумулятор разряжен"),   QStringLiteral("Перегрузка      "),
      QStringLiteral("Работаем выше номинала"), QStringLiteral("Высокая температура"),
      QStringLiteral("Вентилятор не работает"), QStringLiteral("Перегрузка по сети "),
      QStringLiteral("Сбой режима работы "),    QStringLiteral("Многократное КЗ Заряда"),
  };
  // RAM offset 43, older boards
  const std::array<QString, 8> protectionFirst{
      QStringLiteral("Аккумулятор разряжен - просадка напряжения"),
      QStringLiteral("Напряжение Аккумулятора выше допустимого"),
      QStringLiteral("Напряжение Аккумулятора при Заряде выше допустимого"),
      QStringLiteral("Ток KZ по Аккумулятору"),
      QStringLiteral("Залипло проходное реле или Выход ЛИР под напряжением"),
      QStringLiteral("Ток КЗ по сети  "),
      QStringLiteral("Залипло зарядное реле или Выход ЛИР под напряжением"),
      QStringLiteral("Произошел Сброс "),
  };
  // RAM offset 43
  const std::array<QString, 8> protectionSecond{
      QStringLiteral("Аккумулятор разряжен - просадка напряжения"),
      QStringLiteral("Напряжение Аккумулятора выше допустимого"),
      QStringLiteral("Ток KZ по Аккумулятору при Заряде"),
      QStringLiteral("Ток KZ по Аккумулятору"),
      QStringLiteral("Залипло проходное реле или Выход ЛИР под напряжением"),
      QStringLiteral("Ток КЗ по сети  "),
      QStringLiteral("Залипло зарядное реле или Выход ЛИР под напряжением"),
      QStringLiteral("Произошел Сброс "),
  };
  // RAM offset 45, older boards
  const std::array<QString, 8> eventFirst{
      QStringLiteral("Нет функции для такого нажатия кнопки"),
      QStringLiteral("Сеть за пределом параметров"),
      QStringLiteral("Выбросы в нагрузке"),
      QStringLiteral("Синхронизация сети 220В пропала"),
      QStringLiteral("Залипла кнопка  "),
      QStringLiteral("Нет сети 220В для перехода на Заряд"),
      QStringLiteral("Ток нагрузки больше тока который может дать Бензо-Генератор"),
      QStringLiteral("Не Стабильная Сеть"),
  };
  // RAM offset 45
  const std::array<QString, 8> eventSecond{
      QStringLiteral("Нет функции для такого нажатия кнопки"),
      QStringLiteral("Сеть за пределом параметров"),
      QStringLiteral("Выбросы в нагрузке"),
      QStringLiteral("Выбросы в Сети"),
      QStringLiteral("Залипла кнопка  "),
      QStringLiteral("Нет сети 220В для перехода на Заряд"),
      QStringLiteral("Ток нагрузки больше тока который может дать Бензо-Генератор"),
      QStringLiteral("Не Стабильная Сеть"),
  };
  return AlarmTables{systemFault,      warning,    protectionFirst,
                     protectionSecond, eventFirst, eventSecond};
}

}  // namespace

const AlarmTables& alarmMessages() {
  static const AlarmTables tables = buildTables();
  return tables;
}

bool protectionSecondVariant(quint8 generation, quint16 firmwareVersion) {
  return (generation == 5 && firmwareVersion >= 70) || generation >= 6;
}

bool eventSecondVariant(quint8 generation) {
  return generation >= 5;
}

std::array<AlarmGroup, 4> alarmGroupsFor(quint8 generation, quint16 firmwareVersion) {
  const AlarmTables& t = alarmMessages();
  return {{
      {42, &t.systemFault},
      {45, eventSecondVariant(generation) ? &t.eventSecond : &t.eventFirst},
      {43, protectionSecondVariant(generation, firmwareVersion) ? &t.protectionSecond
                                                                : &t.protectionFirst},
      {44, &t.warning},
  }};
}

}  // namespace lir2

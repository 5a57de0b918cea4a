// serve's rules without a broker: what a dashboard's number becomes in the EEPROM (the monitor's
// field rules), what the state says of a RAM pass, and how the configuration is read.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "monitor/decoders.h"
#include "mqtt/ha_discovery.h"
#include "mqtt/ha_entities.h"
#include "mqtt/serve_config.h"

using namespace lir2;

namespace {

DecodeContext generation(quint8 g, quint16 f) {
  DecodeContext c;
  c.BoardType = 3;
  c.BoardGeneration = g;
  c.FirmwareVersion = f;
  return c;
}

TEST(ServeRules, CellWritesFollowTheFieldRules) {
  const struct {
    quint16 address;
    const char* payload;
    DecodeContext context;
    QList<EepromWrite> writes;  // empty: refused
  } cases[] = {
      {64, "1.2", generation(9, 133), {{64, 153}}},  // ×128, as the window's 1,2
      {64, "1,2", generation(9, 133), {{64, 153}}},  // a typed comma reads the same
      {64, "2.5", generation(9, 133), {{64, 255}}},  // capped
      {64, "-0.5", generation(9, 133), {}},          // the unsigned cell takes no negative
      {64, "999", generation(9, 133), {}},           // the failed conversion's marker
      {23, "20", generation(9, 133), {{23, 20}}},
      {23, "300", generation(9, 133), {}},            // no byte holds it
      {20, "-10", generation(6, 80), {{20, 246}}},    // signed cell, two's complement
      {22, "-1.0", generation(9, 110), {{22, 246}}},  // tenths of a volt from 9 / 11.0 on
      {22, "-1.5", generation(6, 80), {}},            // whole numbers before
      {82, "4", generation(9, 133), {{82, 4}}},       // fans: an item index 0 to 4
      {82, "5", generation(9, 133), {}},
      {62, "200", generation(9, 133), {{62, 200}}},  // output period, the track bar's range
      {62, "100", generation(9, 133), {}},
      {17, "90", generation(9, 133), {{56, 90}, {17, 90}}},  // the copy first, as B_Pr_Tr
      {300, "255", generation(9, 133), {{300, 255}}},        // any other cell: a raw byte
      {300, "256", generation(9, 133), {}},
      {300, "on", generation(9, 133), {}},
      {300, "", generation(9, 133), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(QStringLiteral("%1 = %2").arg(c.address).arg(c.payload).toStdString());
    const CellWritePlan plan = planCellWrite(c.address, c.payload, c.context);
    EXPECT_EQ(plan.writes, c.writes);
    EXPECT_EQ(plan.refusal.isEmpty(), !c.writes.isEmpty()) << plan.refusal.toStdString();
  }
}

TEST(ServeRules, SettingsShowWhatTheCellHolds) {
  DeviceImages images;
  images.EepromImage[64] = 192;  // 1.5 in 1/128
  images.EepromImage[22] = 0xF6;
  images.EepromImage[62] = 200;
  images.EepromImage[300] = 7;
  const DeviceFacts facts = factsOf(images, generation(9, 110), {64, 22, 300});
  ASSERT_EQ(facts.settings.size(), 3);
  EXPECT_EQ(facts.frequencyHz, 50);
  EXPECT_EQ(facts.settings[0].value, 1.5);
  EXPECT_EQ(facts.settings[1].value, -1.0);  // tenths, signed
  EXPECT_EQ(facts.settings[1].min, -12.8);
  // The monitor never reads cell 300: no value is made up for it.
  EXPECT_FALSE(facts.settings[2].value.has_value());
}

TEST(ServeRules, StateTellsWhatThePassSays) {
  const auto state = [](auto change) {
    DeviceImages images;
    auto& ram = images.RamImage;
    ram[0] = 4;     // passing the mains and charging
    ram[2] = 0x04;  // end of charge
    ram[34] = 128;
    ram[35] = 3;
    ram[49] = 40;  // 2.5 A
    ram[46] = 75;
    ram[47] = 60;
    ram[43] = 0x02;
    DecodeContext c = generation(9, 133);
    change(images, c);
    const RamValues v = measureRam(images, c);
    return QJsonDocument::fromJson(statePayload(v, c, {}, QDateTime::currentDateTime())).object();
  };
  QJsonObject s = state([](DeviceImages&, DecodeContext&) {});
  EXPECT_EQ(s["mode"].toString(), "Включен, Пропускаем сеть, Идет окончание заряда");
  EXPECT_EQ(s["charge"].toString(), "Идет окончание заряда");
  EXPECT_EQ(s["mains_voltage"].toInt(), 228);
  EXPECT_EQ(s["mains_current"].toDouble(), 2.5);
  EXPECT_EQ(s["temperature_ambient"].toInt(), 25);
  EXPECT_EQ(s["alarms"].toArray(), QJsonArray{"protection_1"});

  s = state([](DeviceImages& i, DecodeContext&) {
    i.RamImage[68] = 0x80;  // feeding the mains
    i.RamImage[60] = 0x02;  // the transformer's sensor is absent
    i.RamImage[0] = 2;
  });
  EXPECT_EQ(s["mains_current"].toDouble(), -2.5);
  EXPECT_TRUE(s["temperature_transformer"].isNull());
  EXPECT_EQ(s["charge"].toString(), "Нет заряда");
  // Before generation 5 the device reports no temperatures at all.
  s = state([](DeviceImages&, DecodeContext& c) { c = generation(4, 40); });
  EXPECT_TRUE(s["temperature_ambient"].isNull());
}

TEST(ServeRules, ReadsTheConfigurationAndRefusesWhatItCannotUse) {
  const struct {
    const char* text;
    const char* error;  // empty: accepted
  } cases[] = {
      {"\xEF\xBB\xBFmqtt = mqtt://b:1884\r\nallow_eeprom = 23, 64\r\n[device]\nport = /dev/a\n",
       ""},
      {"mqtt = mqtt://b\n[device]\nport = /dev/a\n[device]\nport = /dev/b\nallow_eeprom=0x40\n",
       ""},
      {"mqtt = mqtt://b\ncolour = red\n", "f:2: ключ «colour» неизвестен"},
      {"mqtt = mqtt://u:p@b\n", "видны в списке процессов"},
      {"mqtt = http://b\n", "не адрес брокера"},
      {"allow_eeprom = 3\n", "ячейка 3 не может быть разрешена"},
      {"allow_eeprom = 1024\n", "ячейка 1024"},
      {"min_interval = -1\n", "f:1: min_interval"},
      {"[device]\nrate = 1200\n", "скорость «1200»"},
      {"[device]\nname = x\n", "нет port"},
      {"[devices]\n", "раздел «[devices]» неизвестен"},
      {"mqtt = mqtt://b\n[device]\nport = /dev/a\nname = Дом\n[device]\nport = /dev/b\nname = "
       "дом\n",
       "одно имя в топиках «dom»"},
      {"mqtt = mqtt://b\n[device]\nport = /dev/a\n[device]\nport = /dev/a\n", "указан дважды"},
      {"[device]\nport = /dev/a\n", "укажите брокер"},
      {"mqtt = mqtts://b\n", "нет устройств"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    ServeConfig config;
    QString error;
    const bool read = readServeConfig(c.text, "f", config, error) &&
                      finishServeConfig(config, QStringLiteral("Host.lan"), error);
    EXPECT_EQ(read, QString(c.error).isEmpty()) << error.toStdString();
    EXPECT_TRUE(error.contains(QString::fromUtf8(c.error))) << error.toStdString();
  }
  ServeConfig config;
  QString error;
  ASSERT_TRUE(readServeConfig(cases[1].text, "f", config, error));
  ASSERT_TRUE(finishServeConfig(config, QStringLiteral("Host.lan"), error));
  // Unnamed devices carry the machine's name; each device keeps the file's allow-list unless
  // its section gives its own.
  EXPECT_EQ(config.devices[0].id, "host_lan_a");
  EXPECT_EQ(config.devices[0].allowEeprom, QList<quint16>{});
  EXPECT_EQ(config.devices[1].allowEeprom, QList<quint16>{64});
  EXPECT_EQ(config.broker->port, 1883);
  EXPECT_EQ(topicId("Гараж №2"), "garazh_2");
}

}  // namespace

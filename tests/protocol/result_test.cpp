#include <gtest/gtest.h>

#include "common/recorders.h"
#include "protocol/report.h"
#include "protocol/result_messages.h"

namespace {

TEST(ResultMessages, TableHas28TextsAndClampsAbove27) {
  ASSERT_EQ(ResultMessages().size(), 28);
  EXPECT_EQ(resultMessage(0), "Нет ошибок");
  EXPECT_EQ(resultMessage(20), "Долго нет ответа при чтении");
  EXPECT_EQ(resultMessage(27), "Не известная операция");
  EXPECT_EQ(resultMessage(30), resultMessage(27));
  EXPECT_EQ(resultMessage(255), resultMessage(27));
}

TEST(ResultMessages, LookAlikeLettersAreTheRightOnes) {
  // Code 17 begins with the Latin O; a Cyrillic О would be U+041E.
  const QString m17 = resultMessage(17);
  EXPECT_EQ(m17.at(0).unicode(), 0x004F);
  EXPECT_EQ(m17.mid(1, 5), QStringLiteral("шибка"));
  // Code 25: "MErr" and "Prom" Latin, the two capitals before "Prom" Cyrillic Е (U+0415).
  const QString m25 = resultMessage(25);
  EXPECT_TRUE(m25.startsWith(QLatin1String("MErr - ")));
  const qsizetype prom = m25.indexOf(QLatin1String("Prom"));
  ASSERT_GE(prom, 2);
  EXPECT_EQ(m25.at(prom - 2).unicode(), 0x0415);
  EXPECT_EQ(m25.at(prom - 1).unicode(), 0x0415);
  EXPECT_TRUE(m25.endsWith(QLatin1String("Prom")));
  // Everything else in these two texts is Cyrillic or ASCII, with no stray Latin look-alikes.
  for (QChar c : resultMessage(2).left(6)) EXPECT_GE(c.unicode(), 0x0400) << "Ошибка";
}

TEST(ResultMessages, DeviceErrorByteToCode) {
  const std::pair<quint8, quint8> cases[] = {{0x01, 21}, {0x06, 22}, {0x04, 23}, {0x08, 24},
                                             {0x10, 25}, {0x20, 26}, {0x40, 20}, {0x00, 20},
                                             {0xFF, 21}, {0xC0, 20}, {0x30, 25}};
  for (auto [byte, code] : cases) EXPECT_EQ(deviceErrorCode(byte), code) << int(byte);
}

TEST(ResultMessages, AnnouncedCodes) {
  EXPECT_EQ(announcedCode('$'), 8);
  EXPECT_EQ(announcedCode('1'), 21);
  EXPECT_EQ(announcedCode('0'), 20);
  EXPECT_EQ(announcedCode(9 + 28), 9);
  EXPECT_EQ(announcedCode(0x00), 228);  // wraps; shown as code 27
}

struct ReportRig {
  StatusRecorder status;
  SoundRecorder sounds;
  bool soundsOn = true;
  FinalReport report{status, sounds, [this] { return soundsOn; }};
};

TEST(FinalReport, Outcomes) {
  const struct {
    quint8 code;
    bool soundsOn;
    QString error;  // empty: the error bar is left alone
    std::vector<Sound> played;
  } cases[] = {
      {0, false, "", {Sound::Ok}},  // success sounds whatever the switch says
      {0, true, "", {Sound::Ok}},
      {5, false, "Не правильное подтверждение записи в порт", {}},
      {5, true, "Не правильное подтверждение записи в порт", {Sound::Error}},
      {30, true, "Не известная операция", {Sound::Error}},
  };
  for (const auto& c : cases) {
    ReportRig rig;
    rig.soundsOn = c.soundsOn;
    rig.status.state = "Загрузка Файла";
    quint8 code = c.code;
    bool closed = false;
    rig.report.run(code, false, [&] { closed = true; });
    EXPECT_EQ(rig.status.state, "Выключенно");
    EXPECT_EQ(rig.status.error, c.error) << int(c.code);
    EXPECT_EQ(rig.sounds.played, c.played) << int(c.code);
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(closed);
  }
}

TEST(FinalReport, CloseFlagClosesTheMonitor) {
  ReportRig rig;
  quint8 code = 20;
  int closed = 0;
  rig.report.run(code, true, [&] { ++closed; });
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(rig.status.error, "Долго нет ответа при чтении");
}

}  // namespace

// The port logs saved to a file, as the bytes they show, with or without each line's time.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QTemporaryDir>

#include "app/form_port_log.h"
#include "app/log_view.h"
#include "serial/traffic_log.h"

namespace {

TEST(PortLogSave, SavesTheBytesTheLogShowsWithTheLinesTimes) {
  QTemporaryDir dir;
  TFormPortLog form(TFormPortLog::Kind::Read);
  LogView& log = *form.log();
  qint64 clock = 0;
  log.now = [&clock] { return clock; };
  QStringList warnings;
  QString path;
  form.dialogs.savePath = [&](auto&&...) { return path; };
  form.dialogs.warn = [&](const QString&, const QString& text) { warnings << text; };

  // Every byte as the character log shows it, in pieces that split a CR LF.
  const QByteArray pieces[] = {"Load\r", "\nAB\r", "\r", "\nC", ""};
  QByteArray all;
  for (int b = 0; b < 256; ++b) all += char(b);
  auto appendBytes = [&log](const QByteArray& bytes) {
    QString text;
    for (char b : bytes) text += cp1251ToUnicode(quint8(b));
    log.append(text);
  };
  QByteArray sent;
  for (int i = 0; i < 4; ++i) {
    clock = 1000 * (i + 1);
    appendBytes(pieces[i]);
    sent += pieces[i];
  }
  appendBytes(all);
  sent += all;

  const auto stamp = [](qint64 ms) { return LogView::stampText(ms).toLatin1(); };
  // The 256 bytes continue the line "C"; their LF (10) and CR (13) begin two more lines.
  const QByteArray stamped = stamp(1000) + "Load\r\n" + stamp(2000) + "AB\r" + stamp(3000) +
                             "\r\n" + stamp(4000) + "C" + all.left(11) + stamp(4000) +
                             all.mid(11, 3) + stamp(4000) + all.mid(14);
  const std::pair<bool, QByteArray> cases[] = {{false, sent}, {true, stamped}};
  for (auto [stamps, want] : cases) {
    form.CB_TimeStamps->setChecked(stamps);
    path = dir.filePath(stamps ? "stamped.txt" : "plain");
    form.B_SaveLogClick();
    QFile f(stamps ? path : path + ".txt");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << stamps;
    EXPECT_EQ(f.readAll(), want) << stamps;
  }
  EXPECT_EQ(log.logText().size(), sent.size());  // the log itself is as it came
  EXPECT_TRUE(warnings.isEmpty());

  path = dir.filePath("missing/log.txt");
  form.B_SaveLogClick();
  ASSERT_EQ(warnings.size(), 1);
  EXPECT_TRUE(warnings[0].startsWith("Протокол не сохранён в «")) << warnings[0].toStdString();
}

// The stamps take a column of their own: the rows keep the log's text.
TEST(PortLogSave, StampsShowBesideTheRows) {
  LogView view;
  view.resize(309, 282);
  view.show();
  view.append(u"MOk00FF\r\n");
  view.flush();
  const int columns = view.columns();
  view.setTimeStamps(true);
  EXPECT_EQ(view.columns(), columns - 13);
  EXPECT_EQ(view.rowText(0), "MOk00FF");
}

}  // namespace

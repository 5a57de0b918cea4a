// The log view: its text and rows, wrapping and copying, time stamps, catching up, following the
// end; and the port logs saved to a file, as the bytes they show, with or without each
// line's time.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "app/form_port_log.h"
#include "app/log_view.h"
#include "common/find.h"
#include "serial/traffic_log.h"

using namespace lir2;

namespace {

QStringList rows(const LogView& view) {
  QStringList out;
  for (int r = 0; r < view.rowCount(); ++r) out << view.rowText(r);
  return out;
}

TEST(LogView, TextIsTheConcatenationOfAppends) {
  LogView view;
  const QString pieces[] = {"Lo",   "ad\r", "\n",      "L",  QString(QChar(0)),
                            "\x03", "\r",   "\r\nabc", "\n", "D5"};
  QString expected;
  for (const QString& p : pieces) {
    view.append(p);
    expected += p;
    EXPECT_EQ(view.logText(), expected);
  }
  view.flush();
  // A row for each CR LF, lone CR and lone LF, even when split over appends; control
  // characters as their symbols.
  EXPECT_EQ(rows(view), QStringList({"Load", "L\u2400\u2403", "", "abc", "D5"}));
  view.clearLog();
  EXPECT_EQ(view.logText(), "");
  EXPECT_EQ(rows(view), QStringList({""}));
  view.append(u"\n");
  view.flush();
  EXPECT_EQ(rows(view), QStringList({"", ""}));  // a fresh log does not remember a CR from before
}

// A long run wraps at the view's edge without a break of its own: its rows put together, and
// what the user copies, are the log's text.
TEST(LogView, LongRunsWrapAndCopyAsTheyCame) {
  LogView view;
  view.resize(309, 282);
  view.show();
  QString hex;
  for (int i = 0; i < 3000; ++i)
    hex += QStringLiteral("%1").arg(i % 256, 2, 16, QLatin1Char('0')).toUpper();
  const QString text = "Load\r\n" + hex + "\r\n)";
  view.append(text);
  view.flush();
  const int cols = view.columns();
  ASSERT_GT(cols, 10);
  const QStringList r = rows(view);
  EXPECT_EQ(r.size(), 2 + (hex.size() + cols - 1) / cols);
  EXPECT_EQ(r.mid(1, r.size() - 2).join(QString()), hex);

  view.selectAll();
  view.copy();
  EXPECT_EQ(QApplication::clipboard()->text(), text);

  // Another width: other rows, the same text.
  view.resize(500, 282);
  EXPECT_NE(view.columns(), cols);
  const QStringList wider = rows(view);
  EXPECT_EQ(wider.mid(1, wider.size() - 2).join(QString()), hex);
  // The time stamps take a column of their own: the rows keep the log's text.
  const int columns = view.columns();
  view.setTimeStamps(true);
  EXPECT_EQ(view.columns(), columns - 13);
  EXPECT_EQ(view.rowText(0), "Load");
}

TEST(LogView, ViewCatchesUpOnItsOwn) {
  LogView view;
  view.append(u"abc");
  EXPECT_EQ(rows(view), QStringList({""}));
  QTest::qWait(LogView::kFlushIntervalMs * 4);
  EXPECT_EQ(rows(view), QStringList({"abc"}));
}

TEST(LogView, FollowsTheEndUnlessScrolledAway) {
  LogView view;
  view.resize(300, 200);
  view.show();
  for (int i = 0; i < 200; ++i) view.append(QStringLiteral("line %1\r\n").arg(i));
  view.flush();
  QScrollBar* bar = view.verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  bar->setValue(10);  // the user reads further up
  view.append(u"more\r\n");
  view.flush();
  EXPECT_EQ(bar->value(), 10);
  bar->setValue(bar->maximum());
  view.append(u"and more\r\n");
  view.flush();
  EXPECT_EQ(bar->value(), bar->maximum());
}

TEST(PortLogSave, SavesTheBytesTheLogShowsWithTheLinesTimes) {
  QTemporaryDir dir;
  TFormPortLog form(TFormPortLog::Kind::Read);
  LogView& log = *form.findChild<LogView*>();
  qint64 clock = 0;
  log.now = [&clock] { return clock; };
  QStringList warnings;
  QString path;
  form.dialogs.savePath = [&](auto&&...) { return path; };
  form.dialogs.warn = [&](const QString&, const QString& text) { warnings << text; };

  // Every byte as the character log shows it, in pieces that split a CR LF.
  QByteArray all, sent;
  for (int b = 0; b < 256; ++b) all += char(b);
  const QByteArray pieces[] = {"Load\r", "\nAB\r", "\r", "\nC", all};
  for (int i = 0; i < 5; ++i) {
    clock = 1000 * std::min(i + 1, 4);
    QString text;
    for (char b : pieces[i]) text += cp1251ToUnicode(quint8(b));
    log.append(text);
    sent += pieces[i];
  }

  const auto stamp = [](qint64 ms) { return LogView::stampText(ms).toLatin1(); };
  // The 256 bytes continue the line "C"; their LF (10) and CR (13) begin two more lines.
  const QByteArray stamped = stamp(1000) + "Load\r\n" + stamp(2000) + "AB\r" + stamp(3000) +
                             "\r\n" + stamp(4000) + "C" + all.left(11) + stamp(4000) +
                             all.mid(11, 3) + stamp(4000) + all.mid(14);
  const std::pair<bool, QByteArray> cases[] = {{false, sent}, {true, stamped}};
  for (auto [stamps, want] : cases) {
    child<QCheckBox>(form, "CB_TimeStamps")->setChecked(stamps);
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

}  // namespace

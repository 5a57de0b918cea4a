#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>

#include "app/log_view.h"

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

}  // namespace

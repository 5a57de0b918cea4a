#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTextBlock>

#include "app/log_view.h"

#include <QTest>

namespace {

TEST(LogView, TextIsTheConcatenationOfAppends) {
  LogView view;
  const QString pieces[] = {"Lo", "ad\r", "\n", "L", "\x03", "\r", "\r\nabc", "\n", "D5"};
  QString expected;
  for (const QString& p : pieces) {
    view.append(p);
    expected += p;
    EXPECT_EQ(view.logText(), expected);
  }
  view.flush();
  // Shown with a line break for each CR LF, lone CR and lone LF, even when split over appends.
  EXPECT_EQ(view.toPlainText(), QString("Load\nL\x03\n\nabc\nD5"));
  view.clearLog();
  EXPECT_EQ(view.logText(), "");
  EXPECT_EQ(view.toPlainText(), "");
  view.append(u"\n");
  view.flush();
  EXPECT_EQ(view.toPlainText(), "\n");  // a fresh log does not remember a CR from before
}

TEST(LogView, ViewCatchesUpOnItsOwn) {
  LogView view;
  view.append(u"abc");
  EXPECT_EQ(view.toPlainText(), "");
  QTest::qWait(LogView::kFlushIntervalMs * 4);
  EXPECT_EQ(view.toPlainText(), "abc");
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

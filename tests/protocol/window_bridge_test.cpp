// What the line's thread tells the windows through the bridge: each logged piece belongs to a
// run, and a run's tail that arrives after the next run emptied the logs is dropped.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <thread>

#include "common/recorders.h"
#include "protocol/window_bridge.h"

using namespace lir2;

namespace {

TEST(WindowBridge, TrafficOfAnEarlierRunNeverLandsAfterTheLogsWereEmptied) {
  StatusRecorder status;
  SoundRecorder sounds;
  LogRecorder logs;
  WindowBridge bridge(status, sounds, logs);
  std::thread([&] { bridge.appendRead(u"run 1 ", 1); }).join();
  bridge.clearLogs(2);
  // Run 1's burst read goes on after run 2 began; run 2 logs its own bytes, and so does run 3
  // once the logs are emptied for it from the line's thread.
  std::thread([&] {
    bridge.appendRead(u"late", 1);
    bridge.appendWrite(u"run 2", 2);
    bridge.appendRead(u"run 2", 2);
  }).join();
  QCoreApplication::processEvents();
  EXPECT_EQ(logs.read, "run 2");
  EXPECT_EQ(logs.write, "run 2");
  std::thread([&] {
    bridge.clearLogs(3);
    bridge.appendRead(u"run 2 again", 2);
    bridge.appendRead(u"run 3", 3);
  }).join();
  QCoreApplication::processEvents();
  EXPECT_EQ(logs.read, "run 3");
  EXPECT_EQ(logs.write, "");
}

}  // namespace

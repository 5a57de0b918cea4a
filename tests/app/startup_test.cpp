#include <gtest/gtest.h>

#include "app/startup.h"

namespace {

TEST(Startup, ServiceSwitch) {
  const struct {
    QStringList args;
    bool service;
  } cases[] = {
      {{"lir2gui"}, false},
      {{"lir2gui", "-s"}, true},
      {{"lir2gui", "-service"}, true},  // whatever follows is ignored
      {{"lir2gui", "-s", "--port", "x"}, true},
      {{"lir2gui", "/s"}, false},
      {{"lir2gui", "-S"}, false},
      {{"lir2gui", " -s"}, false},                // a leading blank
      {{"lir2gui", "--port", "x", "-s"}, false},  // the string must begin with it
      {{"lir2gui", "s"}, false},
      {{"lir2gui", "-"}, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(parseCommandLine(c.args).serviceMode, c.service) << c.args.join(' ').toStdString();
}

TEST(Startup, PortAndProfileOptions) {
  CommandLine cl =
      parseCommandLine({"lir2gui", "-s", "--port", "/dev/pts/4", "--sim-profile=gen5"});
  EXPECT_TRUE(cl.serviceMode);
  EXPECT_EQ(cl.portPath, "/dev/pts/4");
  EXPECT_EQ(cl.simProfile, "gen5");
  EXPECT_TRUE(cl.error.isEmpty());
  cl = parseCommandLine({"lir2gui", "--port=/tmp/lir2"});
  EXPECT_EQ(cl.portPath, "/tmp/lir2");
  EXPECT_FALSE(cl.simulated);
  EXPECT_TRUE(parseCommandLine({"lir2gui", "--simulated"}).simulated);
  cl = parseCommandLine({"lir2gui", "--port"});
  EXPECT_FALSE(cl.error.isEmpty());
}

}  // namespace

#include <gtest/gtest.h>

#include "serial/port_list.h"

using namespace lir2;

namespace {

TEST(PortList, OrdersNames) {
  const struct {
    QStringList in, out;
  } cases[] = {
      {{"COM10", "COM3", "COM1"}, {"COM1", "COM3", "COM10"}},
      {{"COM003", "COM3", "COM2"}, {"COM2", "COM3"}},    // one item per port number
      {{"COM65000", "COM64999", "COM0"}, {"COM64999"}},  // 0 and 65000 are outside
      {{"ttyUSB0", "ttyS10", "ttyS2", "ttyACM0"}, {"ttyACM0", "ttyS2", "ttyS10", "ttyUSB0"}},
      {{"ttyS1", "COM4", "COMx", "ttyS1"}, {"COM4", "COMx", "ttyS1"}},  // COMx is just a name
      {{"COM99999999999", "COM1a", "COM", "COM12"}, {"COM12", "COM", "COM1a", "COM99999999999"}},
      {{}, {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(orderPortNames(c.in), c.out) << c.in.join(',').toStdString();
}

TEST(PortList, GroupHeightFollowsItemCount) {
  const std::pair<int, int> cases[] = {{0, 40}, {1, 40}, {9, 280}, {10, 300}, {400, 300}};
  for (auto [items, height] : cases) EXPECT_EQ(portGroupHeight(items), height) << items;
}

TEST(PortList, RememberedLineSelectsItem) {
  const QStringList com = {"COM1", "COM3", "COM10", "Симулятор LIR"};
  const QStringList tty = {"ttyS0", "ttyUSB0", "/dev/pts/3", "Симулятор LIR"};
  const struct {
    const QStringList* items;
    int comItems;
    QString line1;
    int index;
  } cases[] = {
      {&com, 3, "COM10", 2},  // not COM1
      {&com, 3, "COM1", 0},    {&com, 3, "COM003", 1},
      {&com, 3, "COM0003", 1}, {&com, 3, "COM00003", 0},  // characters 4 to 7 only: 0000
      {&com, 3, "COM3 x", 0},                             // not digits: no port number
      {&com, 3, "COM7", 0},                               // gone: the first port
      {&com, 3, "COM", 0},     {&com, 3, "COMx1", 0},
      {&com, 3, "Нет COM", 0}, {&com, 3, "#*garbage*#", 0},
      {&com, 3, "", 0},        {&com, 3, "Симулятор LIR", 3},
      {&tty, 0, "ttyUSB0", 1}, {&tty, 0, "/dev/pts/3", 2},
      {&tty, 0, "ttyusb0", 0},  // names match exactly
      {&tty, 0, "COM1", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(rememberedPortIndex(*c.items, c.comItems, c.line1), c.index) << c.line1.toStdString();
}

}  // namespace

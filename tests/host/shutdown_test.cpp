// The shutdown request: its flags, where it goes, and the login manager's call.
#include <gtest/gtest.h>

#include <QMetaObject>

#include <vector>

#include "app/form_main.h"
#ifndef _WIN32
#include <QDBusMessage>

#include "host/logind_request.h"
#endif
#include "host/shutdown.h"

using namespace lir2;

namespace {

struct RecordingShutdown final : ShutdownBackend {
  bool accept = true;
  std::vector<quint32> requests;
  bool requestExit(quint32 flags) override {
    requests.push_back(flags);
    return accept;
  }
};

const struct {
  bool reboot, force;
  quint32 flags;
  const char* member;
} kRequests[] = {
    {false, false, 8, "PowerOff"},
    {false, true, 12, "PowerOff"},
    {true, false, 2, "Reboot"},
    {true, true, 6, "Reboot"},
};

// Asked as callers outside the window ask it: through the meta-object.
TEST(Shoot, ComposesTheFlagsAndReportsWhetherTheSystemAccepted) {
  for (const bool accept : {true, false}) {
    for (const auto& r : kRequests) {
      TFormMain main;
      EXPECT_FALSE(main.shoot(r.reboot, r.force));  // nobody to ask yet
      RecordingShutdown backend;
      backend.accept = accept;
      main.setShutdownBackend(&backend);
      bool accepted = !accept;
      ASSERT_TRUE(QMetaObject::invokeMethod(&main, "shoot", Q_RETURN_ARG(bool, accepted),
                                            Q_ARG(bool, r.reboot), Q_ARG(bool, r.force)));
      EXPECT_EQ(accepted, accept) << r.flags;
      EXPECT_EQ(backend.requests, std::vector<quint32>{r.flags});
    }
  }
}

#ifndef _WIN32
// The login manager's method, never interactive: one D-Bus boolean argument, false.
TEST(LogindRequest, AsksTheLoginManagerWithoutAPrompt) {
  for (const auto& r : kRequests) {
    const QDBusMessage m = logindShutdownMessage(shutdownFlags(r.reboot, r.force));
    EXPECT_EQ(QStringList({m.service(), m.path(), m.interface(), m.member()}).join(' '),
              QString("org.freedesktop.login1 /org/freedesktop/login1 "
                      "org.freedesktop.login1.Manager ") +
                  r.member);
    EXPECT_EQ(m.type(), QDBusMessage::MethodCallMessage);
    EXPECT_EQ(m.arguments(), QVariantList{false});
    EXPECT_EQ(m.arguments().value(0).metaType(), QMetaType::fromType<bool>());
  }
}
#endif

}  // namespace

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

namespace {

// Takes the requests instead of the system; answers as told.
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
// The login manager is the system backend everywhere but on Windows.
TEST(LogindRequest, AsksTheLoginManagerWithoutAPrompt) {
  for (const auto& r : kRequests) {
    SCOPED_TRACE(r.flags);
    const QDBusMessage m = logindShutdownMessage(shutdownFlags(r.reboot, r.force));
    EXPECT_EQ(m.type(), QDBusMessage::MethodCallMessage);
    EXPECT_EQ(m.service(), "org.freedesktop.login1");
    EXPECT_EQ(m.path(), "/org/freedesktop/login1");
    EXPECT_EQ(m.interface(), "org.freedesktop.login1.Manager");
    EXPECT_EQ(m.member(), r.member);
    // One argument, typed as a D-Bus boolean: "interactive" off.
    ASSERT_EQ(m.arguments().size(), 1);
    EXPECT_EQ(m.arguments()[0].metaType(), QMetaType::fromType<bool>());
    EXPECT_FALSE(m.arguments()[0].toBool());
  }
}
#endif

}  // namespace

// The upload through the real serial code path: the main window offscreen, lir2-sim on a
// pseudo-terminal, the committed sample files.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <QSerialPort>
#include "app/app_windows.h"
#include "app/form_main.h"
#include "app/gauge.h"

#include "app/form_opt_hard.h"
#include "common/on_line.h"
#include "common/recorders.h"
#include "common/sim_process.h"
#include "firmware/upload.h"
#include "serial/clock.h"

namespace {

QString sample(const char* name) {
  QString root = qEnvironmentVariable("LIR2_SOURCE_DIR");
  if (root.isEmpty()) root = QStringLiteral(LIR2_SOURCE_DIR_BUILT);
  return root + QStringLiteral("/samples/") + QLatin1String(name);
}

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// lir2-sim's bootloader and the program's windows on its terminal, a sample file opened.
struct PtyUpload {
  QTemporaryDir dir;
  SimProcess sim;
  SteadyClock clock;
  SoundRecorder sounds;
  std::unique_ptr<AppWindows> w;

  PtyUpload(const QStringList& simArgs, const char* file) {
    AppOptions options;
    options.portPath = sim.start(QStringList{"--profile", "boot"} + simArgs);
    options.configPath = dir.filePath("data/config.txt");
    options.lineThread = true;
    w = std::make_unique<AppWindows>(options, clock, sounds);
    w->FormMain->messageBox = [](const QString& text) { ADD_FAILURE() << text.toStdString(); };
    w->FormMain->show();
    w->FormMain->FileOpen1Accept(sample(file));
  }
  TFormMain& main() { return *w->FormMain; }
  bool portOpen() {
    bool open = true;
    onLine(*w->link, [&] { open = w->link->port().PortOpen; });
    return open;
  }
};

TEST(UploadEndToEnd, SampleArrivesIntactThroughThePseudoTerminal) {
  QTemporaryDir out;
  const QString dump = out.filePath("image.hex");
  PtyUpload e({"--dump-image", dump}, "lir-small.lir2");
  TFormMain& m = e.main();
  ASSERT_TRUE(m.LoadProg->isEnabled()) << e.sim.errors().toStdString();
  m.LoadProg->trigger();
  // The transfer runs on the line's thread; the window is free meanwhile.
  EXPECT_EQ(m.stateText(), "Загрузка Файла");
  ASSERT_TRUE(runUntil([&] { return m.stateText() == "Выключенно"; }, 60000));
  EXPECT_EQ(m.errorText(), "Нет ошибок");
  EXPECT_EQ(m.LVerBoot->text(), "VerBoot = 11");
  EXPECT_EQ(e.sounds.played, std::vector<Sound>({Sound::Ok}));
  EXPECT_FALSE(e.portOpen());
  ASSERT_TRUE(e.sim.stop());
  // The device's records, written out as Intel HEX, are the file's program text.
  const QByteArray program = prepareProgramText(readAll(sample("lir-small.lir2"))).text;
  ASSERT_FALSE(program.isEmpty());
  EXPECT_EQ(readAll(dump), program);
}

// At the real line rate the 64 KB sample takes half a minute; Stop and the closing of the
// window end it within a character, and leave the port free for the next program.
TEST(UploadEndToEnd, StopOrCloseEndsARealTransferPromptly) {
  for (const bool close : {false, true}) {
    SCOPED_TRACE(close ? "close" : "stop");
    PtyUpload e({"--emulate-rate"}, "lir-64k.lir2");
    TFormMain& m = e.main();
    ASSERT_TRUE(m.LoadProg->isEnabled()) << e.sim.errors().toStdString();
    QSignalSpy closed(&m, &TFormMain::closed);
    m.LoadProg->trigger();
    // The gauge moves while the window stays free.
    ASSERT_TRUE(runUntil([&] { return m.CGauge1->progress() > 100; }));
    EXPECT_EQ(m.stateText(), "Загрузка Файла");
    close ? (void)m.close() : m.StopExec->trigger();
    // Ending with "Прервали операцию" rather than after half a minute with success shows that
    // the loop saw the request.
    EXPECT_TRUE(runUntil([&] { return m.errorText() == "Прервали операцию"; }, 2000));
    EXPECT_EQ(closed.count(), close ? 1 : 0);
    EXPECT_EQ(m.isVisible(), !close);
    EXPECT_FALSE(e.portOpen());
    // The port is free for the next program.
    QSerialPort other(e.w->FormOptHard->settings().PortName);
    EXPECT_TRUE(other.open(QIODevice::ReadWrite)) << other.errorString().toStdString();
    other.close();
    EXPECT_TRUE(e.sim.stop());
  }
}

}  // namespace

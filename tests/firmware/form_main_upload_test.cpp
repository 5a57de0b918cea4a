#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSerialPort>
#include <QSignalSpy>

#include "app/firmware_open_dialog.h"
#include "app/form_file.h"
#include "app/form_opt_hard.h"
#include "app/form_opt_soft.h"
#include "app/form_port_log.h"
#include "app/gauge.h"
#include "app/log_view.h"
#include "common/find.h"
#include "common/on_line.h"
#include "common/sim_process.h"
#include "firmware/upload.h"
#include "serial/window_timer.h"
#include "upload_rig.h"

using namespace lir2;

namespace {

const QByteArray kImage = sampleImage(200, 11);
const QByteArray kGoodFile = firmwareFile(kBootHeader, kImage);
const QString kGoodLabels =
    "VerDevice = ЛИР|VerPlatPow = 3.x|VerPlatPic <= 5|VerPO = 12.4|CPU 46k22";

// A single-byte text as a plain text view holds it: its CR LF breaks become paragraph ends.
QString asMemoText(const QByteArray& text) {
  return QString::fromLatin1(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

struct UploadApp : SimApp {
  explicit UploadApp(const SimConfig& cfg = simProfile("boot")) : SimApp(cfg) {
    main().dialogs.confirm = [this](const QString&, const QString& text) {
      questions.append(text);
      return answer;
    };
  }
  QStringList questions;  // asked by Stop or close during an upload
  bool answer = true;
  // Opens a file written into the rig's folder; null bytes: a file that does not exist.
  QString open(const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!bytes.isNull() && (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()))
      ADD_FAILURE() << "cannot write " << path.toStdString();
    f.close();
    main().FileOpen1Accept(path);
    return path;
  }
  QString labels() {
    TFormMain& m = main();
    return QStringList{child<QLabel>(m, "LVerDevice")->text(),
                       child<QLabel>(m, "LVerPlatPow")->text(),
                       child<QLabel>(m, "LVerPlatPic")->text(), child<QLabel>(m, "LVerPO")->text(),
                       child<QLabel>(m, "LVerCPU")->text()}
        .join('|');
  }
  // After a run, whatever its end: stopped, the port closed, the actions back. A successful
  // upload says so until the next run: the gauge full, "Файл Загружен", the message not in red.
  void expectStopped(bool success = false) {
    TFormMain& m = main();
    EXPECT_EQ(m.stateText(), success ? "Файл Загружен" : "Выключенно");
    EXPECT_EQ(m.RunMode, 0);
    EXPECT_EQ(child<Gauge>(m, "CGauge1")->progress(),
              success ? child<Gauge>(m, "CGauge1")->maxValue() : 0);
    EXPECT_EQ(m.findChild<QLabel*>("StatusBarError_1")->styleSheet().contains("red"), !success);
    EXPECT_FALSE(link().port().PortOpen);
    EXPECT_FALSE(action(m, "StopExec")->isEnabled());
    for (QAction* a : {action(m, "LoadProg"), action(m, "FileOpen1"), action(m, "Translate"),
                       action(m, "Monitor")})
      EXPECT_TRUE(a->isEnabled());
    EXPECT_EQ(link().exchange().ResultCode, Result::Ok);
  }
};

TEST(FormMainFile, OpenDialogOffersFirmwareAndAllFiles) {
  UploadApp rig;
  std::unique_ptr<QFileDialog> d(makeFirmwareOpenDialog(&rig.main()));
  auto* types = d->findChild<QComboBox*>("fileTypeCombo");
  ASSERT_NE(types, nullptr);
  ASSERT_EQ(types->count(), 2);
  EXPECT_EQ(types->itemText(0), "Прошивки ( *.lir2)");
  EXPECT_EQ(types->itemText(1), "все файлы");
  EXPECT_EQ(d->defaultSuffix(), "lir2");  // for a name typed without an extension
}

// What the window shows after a file, read alone or after another one.
TEST(FormMainFile, HeaderDecodesIntoTheWindow) {
  const QByteArray none, kOrba = "orb7v9#:00000001FF\r\n", kUnknown = "abc3v12#:00000001FF\r\n";
  const struct {
    const char* name;
    QByteArray before;  // null: no file before
    QString file;
    QByteArray bytes;  // null: the file does not exist
    QString labels;
    int errorSounds;
    QString error = "";
    bool loadProg = true;
    QString message = "";  // %1: the file's path
    bool soundsOn = true;
    QByteArray text = {};  // as kept, when not the bytes
  } cases[] = {
      {"short form keeps what it lacks", "lXP3v12_4&06#:00000001FF\r\n", "b.lir2", kOrba,
       "VerDevice = Orba|VerPlatPow = 7.x|VerPlatPic = 6|VerPO = 9.4|CPU 4525", 0},
      {"three-digit power board", none, "a.lir2", "lir123v12#:00000001FF\r\n",
       "VerDevice = ЛИР|VerPlatPow = 0.x|VerPlatPic <= 5|VerPO = 12.0|CPU 4525", 1,
       "Не верный файл"},
      {"unknown device first", none, "a.lir2", kUnknown,
       "VerDevice|VerPlatPow = 3.x|VerPlatPic <= 5|VerPO = 12.0|CPU 4525", 1, "", false},
      {"unknown device after a known one, sounds off", kGoodFile, "b.lir2", kUnknown, kGoodLabels,
       0, "", true, "", false},
      {"another extension", none, "a.hex", kGoodFile, kGoodLabels, 1},
      // Stops at the field: labels, LoadProg and sound stay as they were.
      {"not a number", kGoodFile, "b.hex", "abc3vx#:00000001FF\r\n", kGoodLabels, 0, "", true,
       "'x' is not a valid integer value"},
      {"cannot be read", kGoodFile, "gone.lir2", none, kGoodLabels, 0, "", true,
       "Cannot open file \"%1\". %2"},  // %2: the system's words for a missing file
      {"line breaks read as CR LF", none, "lf.lir2", "lir3v12_4&15#:00000001FF\r:00000001FF\n",
       kGoodLabels, 0, "", true, "", true, "lir3v12_4&15#:00000001FF\r\n:00000001FF\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UploadApp rig;
    TFormMain& m = rig.main();
    child<QCheckBox>(*rig.w->FormOptHard, "CheckBoxSound")->setChecked(c.soundsOn);
    if (!c.before.isNull()) rig.open("a.lir2", c.before);
    rig.sounds.played.clear();
    const QString path = rig.open(c.file, c.bytes);
    EXPECT_EQ(rig.labels(), c.labels);
    EXPECT_EQ(m.errorText(), c.error);
    EXPECT_EQ(action(m, "LoadProg")->isEnabled(), c.loadProg);
    EXPECT_EQ(std::count(rig.sounds.played.begin(), rig.sounds.played.end(), Sound::Error),
              c.errorSounds);
    QFile missing(path);
    const QString reason = missing.open(QIODevice::ReadOnly) ? QString() : missing.errorString();
    EXPECT_EQ(
        rig.messages.join(""),
        QString(c.message).replace("%1", QDir::toNativeSeparators(path)).replace("%2", reason));
    // The file as read is shown and kept; the prepared program is not there yet.
    EXPECT_EQ(m.fileNameText(), QDir::toNativeSeparators(path));
    EXPECT_EQ(m.FirmwareText, c.text.isNull() ? c.bytes : c.text);
    EXPECT_EQ(child<QPlainTextEdit>(*rig.w->FormFile, "MemoHex")->toPlainText(),
              asMemoText(m.FirmwareText));
    EXPECT_EQ(child<QPlainTextEdit>(*rig.w->FormFile, "MemoHexProg")->toPlainText(), "");
  }
}

const QString kStoppedMidway = "Прервали операцию: " + partialProgramText();

// The samples the README offers, each uploaded twice through the window to the built-in device a
// newcomer starts with: its bootloader greets for a while after the port opens.
TEST(FormMainUpload, UploadsTheOpenedFileAndReports) {
  for (const char* name : {"lir-small.lir2", "lir-64k.lir2"}) {
    SCOPED_TRACE(name);
    UploadApp rig(simProfile("lir"));
    TFormMain& m = rig.main();
    child<QComboBox>(*rig.w->FormOptHard, "ComboBoxRate")
        ->setCurrentIndex(child<QComboBox>(*rig.w->FormOptHard, "ComboBoxRate")->count() - 1);
    child<QCheckBox>(*rig.w->FormOptSoft, "CheckBoxWrite")->setChecked(true);
    m.FileOpen1Accept(sample(name));
    // What the window shows while the transfer runs.
    QString stateDuring;
    qint64 gaugeMax = -1;
    rig.onWrite = [&] {
      stateDuring = m.stateText();
      gaugeMax = child<Gauge>(m, "CGauge1")->maxValue();
    };
    action(m, "LoadProg")->trigger();

    const QByteArray program = m.FirmwareText.mid(m.FirmwareText.indexOf('#') + 1);
    EXPECT_EQ(stateDuring, "Загрузка Файла");
    EXPECT_EQ(gaugeMax, program.size() - 1);
    EXPECT_EQ(rig.model->hostRate(), 19200);
    EXPECT_EQ(received(rig).mode, 'l');
    EXPECT_TRUE(received(rig).completed);
    EXPECT_EQ(received(rig).records, hexRecordsOf(program));
    EXPECT_EQ(m.errorText(), "Нет ошибок");
    EXPECT_EQ(rig.sounds.played, std::vector<Sound>({Sound::Ok}));
    EXPECT_EQ(child<QLabel>(m, "LVerBoot")->text(), "VerBoot = 11");
    EXPECT_EQ(child<QPlainTextEdit>(*rig.w->FormFile, "MemoHexProg")->toPlainText(),
              asMemoText(program));
    rig.expectStopped(true);

    // The same file again sends the same bytes.
    const QString firstLog = rig.w->FormWritePort->logText();
    EXPECT_TRUE(firstLog.startsWith("lrun\r\nU3A")) << firstLog.left(20).toStdString();
    const QByteArray firstWire = rig.wire;
    rig.wire.clear();
    rig.clock.advance(1000);
    action(m, "LoadProg")->trigger();
    EXPECT_EQ(rig.model->bootloader()->completedUploads(), 2);
    EXPECT_EQ(rig.w->FormWritePort->logText(), firstLog);
    EXPECT_EQ(rig.wire, firstWire);
  }
}

// A run that fails, that cannot start because the text is unusable, or that the user ends with
// Stop (Esc) or by closing the main window, which reaches the transfer between two characters.
TEST(FormMainUpload, FailuresAreReportedAndTheRunStops) {
  enum End { None, Stop, Close };
  const struct {
    const char* name;
    QByteArray file;  // opened after a good one; null: a file that does not exist
    QString error;
    bool opens;  // the device saw the port open
    bool portGone = false;
    QString platPow = "VerPlatPow = 3.x";
    End end = None;  // as the opening 'U' has gone out
  } cases[] = {
      // A mismatch names what the device has and what the file is for.
      {"power board", firmwareFile("lir4v12_4&15#", kImage),
       "Не та версия платы: у устройства 3, файл для 4 (силовая плата)", true, false,
       "VerPlatPow = 4.x != 3"},
      {"controller board", firmwareFile("lir3v12_4&14#", kImage),
       "Не та версия платы: у устройства 5, файл для 4 (плата контроллера)", true},
      {"processor", firmwareFile("lir3v12_4&05#", kImage),
       "Не та версия процессора: у устройства 1, файл для 0 (процессор)", true},
      // Nothing is sent into a port that is not there: the run ends with the opening's code.
      {"port does not open", kGoodFile, "Ошибка открытия COM порта", false, true},
      // A text that would go out as wrong bytes starts no run at all.
      {"lower-case hexadecimal", "lir3v12_4&15#:0400000001ab0203FF\r\n",
       "Не верный файл, строка 1: недопустимый «a» в столбце 25: в записи бывают только цифры 0–9 "
       "и заглавные буквы A–F",
       false},
      {"text emptied by an unreadable file",
       {},
       "Не верный файл, строка 1: файл короче заголовка, и в нём нет «#»",
       false},
      {"stopped", kGoodFile, kStoppedMidway, true, false, "VerPlatPow = 3.x", Stop},
      {"closed", kGoodFile, kStoppedMidway, true, false, "VerPlatPow = 3.x", Close},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UploadApp rig;
    TFormMain& m = rig.main();
    child<QCheckBox>(*rig.w->FormOptHard, "CheckBoxSound")->setChecked(true);
    rig.open("good.lir2", kGoodFile);
    rig.open("fw.lir2", c.file);
    if (c.portGone) rig.link().port().setEntries({});
    m.setErrorText({});
    rig.sounds.played.clear();
    QSignalSpy closed(&m, &TFormMain::closed);
    int triesAfterTheEnd = -1;
    rig.onWrite = [&] {
      if (triesAfterTheEnd >= 0) return void(++triesAfterTheEnd);
      if (c.end == None || received(rig).transferBytes == 0) return;
      EXPECT_EQ(received(rig).transferBytes, 1);
      c.end == Close ? (void)m.close() : action(m, "StopExec")->trigger();
      triesAfterTheEnd = 0;
    };
    action(m, "LoadProg")->trigger();
    EXPECT_EQ(triesAfterTheEnd, c.end == None ? -1 : 0);  // not a byte more
    EXPECT_EQ(m.errorText(), c.error);
    EXPECT_EQ(child<QLabel>(m, "LVerPlatPow")->text(), c.platPow);
    EXPECT_EQ(rig.sounds.played, std::vector<Sound>({Sound::Error}));
    EXPECT_FALSE(received(rig).completed);
    EXPECT_EQ(rig.model->portOpenings() > 0, c.opens);
    rig.expectStopped();
    // A closed window stays closed; a stopped one is still there.
    EXPECT_EQ(closed.count(), c.end == Close ? 1 : 0);
    EXPECT_EQ(m.isVisible(), c.end != Close);
    EXPECT_EQ(rig.questions.size(), c.end == None ? 0 : 1);
  }
}

// Stop and close during an upload ask first: a no leaves the upload running to its end, byte for
// byte as without the question; a Stop while nothing uploads asks nothing.
TEST(FormMainUpload, StopAndCloseAskFirst) {
  for (bool close : {false, true}) {
    SCOPED_TRACE(close ? "close" : "stop");
    UploadApp rig;
    TFormMain& m = rig.main();
    rig.open("good.lir2", kGoodFile);
    rig.answer = false;
    bool asked = false;
    rig.onWrite = [&] {
      if (asked || received(rig).transferBytes == 0) return;
      asked = true;
      close ? (void)m.close() : action(m, "StopExec")->trigger();
    };
    action(m, "LoadProg")->trigger();
    EXPECT_EQ(rig.questions.size(), 1);
    EXPECT_TRUE(received(rig).completed);
    EXPECT_EQ(m.errorText(), "Нет ошибок");
    EXPECT_TRUE(m.isVisible());
    rig.expectStopped(true);
    action(m, "StopExec")->setEnabled(true);
    action(m, "StopExec")->trigger();
    EXPECT_EQ(rig.questions.size(), 1);
  }
}

// The report of an upload the user stopped comes after a new run has begun: it belongs to the
// stopped run and leaves the new one alone.
TEST(FormMainUpload, LateReportOfAStoppedUploadLeavesTheNextRunAlone) {
  UploadApp rig;
  TFormMain& m = rig.main();
  rig.open("good.lir2", kGoodFile);
  bool stopped = false;
  rig.onWrite = [&] {
    if (stopped || received(rig).transferBytes == 0) return;
    stopped = true;
    action(m, "StopExec")->trigger();
    action(m, "Translate")->trigger();
  };
  action(m, "LoadProg")->trigger();
  ASSERT_TRUE(stopped);
  EXPECT_EQ(m.RunMode, 'T');
  EXPECT_TRUE(action(m, "StopExec")->isEnabled());
  EXPECT_TRUE(rig.link().port().PortOpen);
  EXPECT_EQ(m.stateText(), "Режим Трансляции");
  EXPECT_TRUE(rig.sounds.played.empty());
  EXPECT_TRUE(rig.link().findChild<WindowTimer*>("TranslationTimer")->isActive());
}

// On the line's own thread through the real serial code path, lir2-sim's bootloader on a
// pseudo-terminal at the real line rate: a sample uploads whole while the window stays free;
// closing the window during the next upload ends it within a character, keeps the window closed
// and leaves the port free for the next program. lir2-sim dumps at exit the records it received
// last: the start of that file.
TEST(UploadEndToEnd, UploadThenCloseDuringTheNextOne) {
  QTemporaryDir dir;
  SimProcess sim;
  SteadyClock clock;
  SoundRecorder sounds;
  AppOptions options;
  const QString dump = dir.filePath("image.hex");
  options.portPath = sim.start({"--profile", "boot", "--emulate-rate", "--dump-image", dump});
  options.configPath = dir.filePath("data/config.txt");
  options.lineThread = true;
  AppWindows w(options, clock, sounds);
  TFormMain& m = *w.FormMain;
  m.dialogs.error = [](const QString& text) { ADD_FAILURE() << text.toStdString(); };
  m.dialogs.confirm = [](const QString&, const QString&) { return true; };
  m.show();
  m.FileOpen1Accept(sample("lir-small.lir2"));
  ASSERT_TRUE(action(m, "LoadProg")->isEnabled()) << sim.errors().toStdString();
  action(m, "LoadProg")->trigger();
  EXPECT_EQ(m.stateText(), "Загрузка Файла");
  ASSERT_TRUE(runUntil([&] { return m.stateText() == "Файл Загружен"; }, 60000));
  EXPECT_EQ(m.errorText(), "Нет ошибок");

  m.FileOpen1Accept(sample("lir-64k.lir2"));
  action(m, "LoadProg")->trigger();
  ASSERT_TRUE(runUntil([&] { return child<Gauge>(m, "CGauge1")->progress() > 100; }));
  m.close();
  EXPECT_TRUE(runUntil([&] { return m.errorText() == kStoppedMidway; }, 2000));
  EXPECT_FALSE(m.isVisible());
  bool open = true;
  onLine(*w.link, [&] { open = w.link->port().PortOpen; });
  EXPECT_FALSE(open);
  QSerialPort other(w.FormOptHard->settings().PortName);
  EXPECT_TRUE(other.open(QIODevice::ReadWrite)) << other.errorString().toStdString();
  other.close();
  ASSERT_TRUE(sim.stop());
  QFile records(dump), file(sample("lir-64k.lir2"));
  ASSERT_TRUE(records.open(QIODevice::ReadOnly) && file.open(QIODevice::ReadOnly));
  const QByteArray got = records.readAll();
  EXPECT_GT(got.count('\n'), 1);
  EXPECT_TRUE(file.readAll().mid(kBootHeader.size()).startsWith(got)) << got.left(80).constData();
}

}  // namespace

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTimer>

#include "app/firmware_open_dialog.h"
#include "app/form_file.h"
#include "app/form_opt_soft.h"
#include "app/form_port_log.h"
#include "app/gauge.h"
#include "app/log_view.h"
#include "monitor/form_monitor.h"
#include "serial/form_opt_hard.h"
#include "upload_rig.h"

namespace {

const QByteArray kImage = sampleImage(200, 11);
const QByteArray kGoodFile = firmwareFile(kBootHeader, kImage);

struct Labels {
  QString device, platPow, platPic, po, cpu;
};
Labels labelsOf(TFormMain& m) {
  return {m.LVerDevice->text(), m.LVerPlatPow->text(), m.LVerPlatPic->text(), m.LVerPO->text(),
          m.LVerCPU->text()};
}
void expectLabels(TFormMain& m, const Labels& l) {
  const Labels got = labelsOf(m);
  EXPECT_EQ(got.device, l.device);
  EXPECT_EQ(got.platPow, l.platPow);
  EXPECT_EQ(got.platPic, l.platPic);
  EXPECT_EQ(got.po, l.po);
  EXPECT_EQ(got.cpu, l.cpu);
}

const Labels kGoodLabels{"VerDevice = ЛИР", "VerPlatPow = 3.x", "VerPlatPic <= 5", "VerPO = 12.4",
                         "CPU 46k22"};

TEST(FormMainFile, OpenDialogOffersFirmwareAndAllFiles) {
  SimAppRig rig;
  std::unique_ptr<QFileDialog> d(makeFirmwareOpenDialog(&rig.main()));
  EXPECT_TRUE(d->testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFile);
  EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(d->defaultSuffix(), "lir2");
  auto* types = d->findChild<QComboBox*>("fileTypeCombo");
  ASSERT_NE(types, nullptr);
  ASSERT_EQ(types->count(), 2);
  EXPECT_EQ(types->itemText(0), "Прошивки ( *.lir2)");
  EXPECT_EQ(types->itemText(1), "все файлы");

  // A name typed without an extension gets "lir2".
  QTemporaryDir files;
  QFile firmware(files.filePath("fw.lir2"));
  ASSERT_TRUE(firmware.open(QIODevice::WriteOnly));
  d->setDirectory(files.path());
  auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
  ASSERT_NE(edit, nullptr);
  edit->setText("fw");
  static_cast<QDialog*>(d.get())->accept();
  EXPECT_EQ(d->result(), QDialog::Accepted);
  EXPECT_EQ(d->selectedFiles(), QStringList({files.filePath("fw.lir2")}));
}

// Files read one after the other: what the window shows after the last one.
TEST(FormMainFile, HeaderDecodesIntoTheWindow) {
  struct File {
    QString name;
    QByteArray bytes;  // null: the file does not exist
  };
  const struct {
    const char* name;
    QList<File> files;
    bool soundsOn;
    Labels labels;
    QString error;
    bool loadProg;
    quint8 kind;
    int errorSounds;
    QStringList messages;
  } cases[] = {
      {"long form", {{"a.lir2", kGoodFile}}, true, kGoodLabels, "", true, 2, 0, {}},
      {"short form keeps what it lacks",
       {{"a.lir2", kGoodFile}, {"b.lir2", "orb7v9#:00000001FF\r\n"}},
       true,
       {"VerDevice = Orba", "VerPlatPow = 7.x", "VerPlatPic <= 5", "VerPO = 9.4", "CPU 46k22"},
       "",
       true,
       0,
       0,
       {}},
      {"long form without its '#'",
       {{"a.lir2", "lXP3v12_4&06#:00000001FF\r\n"}, {"b.lir2", "pel5v2_7&15:00000001FF\r\n"}},
       true,
       {"VerDevice = Pelix", "VerPlatPow = 5.x", "VerPlatPic = 6", "VerPO = 2.7", "CPU 4525"},
       "",
       true,
       4,
       0,
       {}},
      {"three-digit power board",
       {{"a.lir2", "lir123v12#:00000001FF\r\n"}},
       true,
       {"VerDevice = ЛИР", "VerPlatPow = 0.x", "VerPlatPic <= 5", "VerPO = 12.0", "CPU 4525"},
       "Не верный файл",
       true,
       2,
       1,
       {}},
      {"unknown device first",
       {{"a.lir2", "abc3v12#:00000001FF\r\n"}},
       true,
       {"VerDevice", "VerPlatPow = 3.x", "VerPlatPic <= 5", "VerPO = 12.0", "CPU 4525"},
       "",
       false,
       1,
       1,
       {}},
      {"unknown device after a known one",
       {{"a.lir2", kGoodFile}, {"b.lir2", "abc3v12#:00000001FF\r\n"}},
       false,
       kGoodLabels,
       "",
       true,
       2,
       0,
       {}},
      {"another extension", {{"a.hex", kGoodFile}}, true, kGoodLabels, "", true, 2, 1, {}},
      // Stops at the field: labels, LoadProg and sound stay as they were.
      {"not a number",
       {{"a.lir2", kGoodFile}, {"b.hex", "abc3vx#:00000001FF\r\n"}},
       true,
       kGoodLabels,
       "",
       true,
       2,
       0,
       {"'x' is not a valid integer value"}},
      {"cannot be read",
       {{"a.lir2", kGoodFile}, {"gone.lir2", {}}},
       true,
       kGoodLabels,
       "",
       true,
       2,
       0,
       {"Cannot open file \"%1\". No such file or directory"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimAppRig rig;
    TFormMain& m = rig.main();
    rig.w->FormOptHard->CheckBoxSound->setChecked(c.soundsOn);
    QString last;
    for (const File& f : c.files) {
      last = f.bytes.isNull() ? rig.dir.filePath(f.name) : rig.write(f.name, f.bytes);
      rig.sounds.played.clear();
      m.FileOpen1Accept(last);
    }
    expectLabels(m, c.labels);
    EXPECT_EQ(m.errorText(), c.error);
    EXPECT_EQ(m.LoadProg->isEnabled(), c.loadProg);
    EXPECT_EQ(m.DeviceKind, c.kind);
    EXPECT_EQ(std::count(rig.sounds.played.begin(), rig.sounds.played.end(), Sound::Error),
              c.errorSounds);
    QStringList expected;
    for (const QString& msg : c.messages) expected.append(msg.contains("%1") ? msg.arg(last) : msg);
    EXPECT_EQ(rig.messages, expected);
    // The file as read is shown and kept; the prepared program is not there yet.
    const QByteArray bytes = c.files.last().bytes;
    EXPECT_EQ(m.FirmwareFileName, last);
    EXPECT_EQ(m.fileNameText(), last);
    EXPECT_EQ(m.FirmwareText, bytes.isNull() ? QByteArray() : bytes);
    EXPECT_EQ(rig.w->FormFile->MemoHex->toPlainText(), asMemoText(m.FirmwareText));
    EXPECT_EQ(rig.w->FormFile->MemoHexProg->toPlainText(), "");
  }
}

TEST(FormMainFile, LineBreaksAreReadAsCrLf) {
  SimAppRig rig;
  rig.main().FileOpen1Accept(rig.write("lf.lir2", "lir3v12_4&15#:00000001FF\n:00000001FF\n"));
  EXPECT_EQ(rig.main().FirmwareText, "lir3v12_4&15#:00000001FF\r\n:00000001FF\r\n");
}

// The upload as the user starts it, against the simulated bootloader.
TEST(FormMainUpload, UploadsTheOpenedFileAndReports) {
  SimAppRig rig;
  TFormMain& m = rig.main();
  rig.w->FormOptHard->ComboBoxRate->setCurrentIndex(rig.w->FormOptHard->ComboBoxRate->count() - 1);
  m.FileOpen1Accept(rig.write("fw.lir2", kGoodFile));
  ASSERT_TRUE(m.LoadProg->isEnabled());

  // What the window shows while the transfer runs.
  QString stateDuring, errorDuring;
  qint64 gaugeMax = -1;
  bool locked = false;
  QTimer::singleShot(0, &m, [&] {
    stateDuring = m.stateText();
    errorDuring = m.errorText();
    gaugeMax = m.CGauge1->maxValue();
    locked = m.StopExec->isEnabled() && !m.LoadProg->isEnabled() && !m.FileOpen1->isEnabled() &&
             !m.Translate->isEnabled() && !m.Monitor->isEnabled();
  });
  m.LoadProg->trigger();

  const QByteArray program = kGoodFile.mid(kBootHeader.size());
  EXPECT_EQ(stateDuring, "Загрузка Файла");
  EXPECT_EQ(errorDuring, "Нет ошибок");
  EXPECT_EQ(gaugeMax, program.size() - 1);
  EXPECT_TRUE(locked);
  EXPECT_EQ(rig.model->hostRate(), 19200);
  EXPECT_EQ(rig.received().mode, 'l');
  EXPECT_TRUE(rig.received().completed);
  EXPECT_EQ(rig.received().records, hexRecordsOf(kGoodFile));
  EXPECT_EQ(rig.received().image, imageOf(kImage));
  // Afterwards: reported, stopped, and ready for the next.
  EXPECT_EQ(m.stateText(), "Выключенно");
  EXPECT_EQ(m.errorText(), "Нет ошибок");
  EXPECT_EQ(rig.sounds.played, std::vector<Sound>({Sound::Ok}));
  EXPECT_EQ(m.CGauge1->progress(), 0);
  EXPECT_EQ(m.LVerBoot->text(), "VerBoot = 11");
  EXPECT_EQ(m.L_Time->text(), elapsedTimeText(0));
  EXPECT_EQ(m.RunMode, 0);
  EXPECT_EQ(m.ProgramLength, static_cast<quint32>(program.size()));
  EXPECT_EQ(rig.w->FormFile->MemoHexProg->toPlainText(), asMemoText(program));
  EXPECT_EQ(m.FirmwareText, kGoodFile);
  EXPECT_FALSE(rig.w->FormOptHard->port().PortOpen);
  EXPECT_FALSE(m.StopExec->isEnabled());
  for (QAction* a : {m.LoadProg, m.FileOpen1, m.Translate, m.Monitor}) EXPECT_TRUE(a->isEnabled());
  EXPECT_EQ(rig.w->FormMonitor->exchange().ResultCode, 0);
}

TEST(FormMainUpload, FailuresAreReportedAndTheRunStops) {
  const struct {
    const char* name;
    std::function<void(BootConfig&)> device;
    QByteArray header;
    bool openFails;
    bool soundsOn;
    QString error;
    QString platPow;
  } cases[] = {
      {"power board",
       {},
       "lir4v12_4&15#",
       false,
       true,
       "Не та версия платы",
       "VerPlatPow = 4.x != 3"},
      {"silent", [](BootConfig& b) { b.silent = true; }, kBootHeader, false, true,
       "Долго нет ответа при чтении", "VerPlatPow = 3.x"},
      {"announced 30",
       [](BootConfig& b) {
         b.errorAt = 2;
         b.errorCode = 30;
       },
       kBootHeader, false, true, "Не известная операция", "VerPlatPow = 3.x"},
      // The port's own message is overwritten at the start; the first read then fails.
      {"port does not open",
       {},
       kBootHeader,
       true,
       true,
       "Долго нет ответа при чтении",
       "VerPlatPow = 3.x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimAppRig rig(bootConfig(c.device));
    TFormMain& m = rig.main();
    rig.w->FormOptHard->CheckBoxSound->setChecked(c.soundsOn);
    m.FileOpen1Accept(rig.write("fw.lir2", firmwareFile(c.header, kImage)));
    if (c.openFails) {
      rig.w->FormOptHard->port().setEntries({});  // the selected port has gone
    }
    m.LoadProg->trigger();
    EXPECT_EQ(m.errorText(), c.error);
    EXPECT_EQ(m.stateText(), "Выключенно");
    EXPECT_EQ(m.LVerPlatPow->text(), c.platPow);
    EXPECT_EQ(rig.sounds.played,
              c.soundsOn ? std::vector<Sound>({Sound::Error}) : std::vector<Sound>());
    EXPECT_FALSE(rig.received().completed);
    EXPECT_EQ(m.CGauge1->progress(), 0);
    EXPECT_EQ(m.RunMode, 0);
    EXPECT_FALSE(rig.w->FormOptHard->port().PortOpen);
    EXPECT_TRUE(m.LoadProg->isEnabled());
    EXPECT_EQ(rig.w->FormMonitor->exchange().ResultCode, 0);
  }
}

// A text the upload cannot use starts nothing: no port, no report, no run mode left behind.
TEST(FormMainUpload, UnusableProgramTextStartsNothing) {
  const struct {
    const char* name;
    QByteArray file;  // null: the second file cannot be read
  } cases[] = {
      {"shorter than the header scan", "lir3v12"},
      {"lower-case hexadecimal", "lir3v12_4&15#:0400000001ab0203FF\r\n"},
      {"a blank in a record", "lir3v12_4&15#:04000000 01020304F2\r\n"},
      {"text emptied by an unreadable file", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimAppRig rig;
    TFormMain& m = rig.main();
    rig.w->FormOptHard->CheckBoxSound->setChecked(true);
    m.FileOpen1Accept(rig.write("good.lir2", kGoodFile));
    m.FileOpen1Accept(c.file.isNull() ? rig.dir.filePath("gone.lir2")
                                      : rig.write("bad.lir2", c.file));
    ASSERT_TRUE(m.LoadProg->isEnabled());
    m.setErrorText({});
    rig.sounds.played.clear();
    m.LoadProg->trigger();
    EXPECT_EQ(m.errorText(), "Не верный файл");
    EXPECT_EQ(rig.sounds.played, std::vector<Sound>({Sound::Error}));
    EXPECT_EQ(m.RunMode, 0);
    EXPECT_EQ(rig.model->portOpenings(), 0);
    EXPECT_EQ(m.stateText(), "Выключенно");
    EXPECT_FALSE(m.StopExec->isEnabled());
    for (QAction* a : {m.LoadProg, m.FileOpen1, m.Translate, m.Monitor})
      EXPECT_TRUE(a->isEnabled());
  }
}

TEST(FormMainUpload, TheSameFileTwiceSendsTheSameBytes) {
  SimAppRig rig;
  TFormMain& m = rig.main();
  rig.w->FormOptSoft->CheckBoxWrite->setChecked(true);
  m.FileOpen1Accept(rig.write("fw.lir2", kGoodFile));
  m.LoadProg->trigger();
  const QString first = rig.w->FormWritePort->log()->logText();
  rig.clock.advance(1000);
  m.LoadProg->trigger();
  EXPECT_EQ(rig.model->bootloader()->completedUploads(), 2);
  EXPECT_EQ(m.errorText(), "Нет ошибок");
  EXPECT_EQ(rig.w->FormWritePort->log()->logText(), first);
  EXPECT_TRUE(first.startsWith("lrun\r\nU3A02000004"));
  EXPECT_EQ(m.FirmwareText, kGoodFile);
}

// Stop (Esc) and the closing of the main window reach the transfer between two characters.
TEST(FormMainUpload, StopOrCloseDuringTheTransferEndsItAtTheNextCharacter) {
  for (const bool close : {false, true}) {
    SCOPED_TRACE(close ? "close" : "stop");
    SimAppRig rig;
    TFormMain& m = rig.main();
    rig.w->FormOptHard->CheckBoxSound->setChecked(true);
    m.FileOpen1Accept(rig.write("fw.lir2", kGoodFile));
    QSignalSpy closed(&m, &TFormMain::closed);
    quint64 writtenAtStop = 0;
    int received = -1;
    QTimer::singleShot(0, &m, [&] {
      received = rig.received().transferBytes;
      if (close)
        m.close();
      else
        m.StopExec->trigger();
      writtenAtStop = rig.device->bytesWritten();
    });
    m.LoadProg->trigger();
    EXPECT_EQ(received, 1);  // the opening 'U' went out before the first character
    EXPECT_EQ(rig.device->bytesWritten(), writtenAtStop);
    EXPECT_FALSE(rig.received().completed);
    EXPECT_EQ(m.errorText(), "Прервали операцию");
    EXPECT_EQ(m.stateText(), "Выключенно");
    EXPECT_EQ(rig.sounds.played, std::vector<Sound>({Sound::Error}));
    EXPECT_FALSE(rig.w->FormOptHard->port().PortOpen);
    EXPECT_EQ(m.RunMode, 0);
    EXPECT_EQ(m.CGauge1->progress(), 0);
    EXPECT_EQ(closed.count(), close ? 1 : 0);
    // A closed window stays closed; a stopped one is still there.
    EXPECT_EQ(m.isVisible(), !close);
  }
}

}  // namespace

#include <gtest/gtest.h>

#include <QAction>
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
#include "app/form_opt_hard.h"
#include "app/form_opt_soft.h"
#include "app/form_port_log.h"
#include "app/gauge.h"
#include "app/log_view.h"
#include "monitor/form_monitor.h"
#include "protocol/device_link.h"
#include "upload_rig.h"

namespace {

const QByteArray kImage = sampleImage(200, 11);
const QByteArray kGoodFile = firmwareFile(kBootHeader, kImage);
const QString kGoodLabels =
    "VerDevice = ЛИР|VerPlatPow = 3.x|VerPlatPic <= 5|VerPO = 12.4|CPU 46k22";

QString labelsOf(TFormMain& m) {
  return QStringList{m.LVerDevice->text(), m.LVerPlatPow->text(), m.LVerPlatPic->text(),
                     m.LVerPO->text(), m.LVerCPU->text()}
      .join('|');
}

// After a run, whatever its end: stopped, the port closed, the actions back.
void expectStopped(SimAppRig& rig) {
  TFormMain& m = rig.main();
  EXPECT_EQ(m.stateText(), "Выключенно");
  EXPECT_EQ(m.RunMode, 0);
  EXPECT_EQ(m.CGauge1->progress(), 0);
  EXPECT_FALSE(rig.link().port().PortOpen);
  EXPECT_FALSE(m.StopExec->isEnabled());
  for (QAction* a : {m.LoadProg, m.FileOpen1, m.Translate, m.Monitor}) EXPECT_TRUE(a->isEnabled());
  EXPECT_EQ(rig.link().exchange().ResultCode, 0);
}

TEST(FormMainFile, OpenDialogOffersFirmwareAndAllFiles) {
  SimAppRig rig;
  std::unique_ptr<QFileDialog> d(makeFirmwareOpenDialog(&rig.main()));
  auto* types = d->findChild<QComboBox*>("fileTypeCombo");
  ASSERT_NE(types, nullptr);
  ASSERT_EQ(types->count(), 2);
  EXPECT_EQ(types->itemText(0), "Прошивки ( *.lir2)");
  EXPECT_EQ(types->itemText(1), "все файлы");
  // A name typed without an extension gets "lir2".
  QFile file(rig.dir.filePath("fw.lir2"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  d->setDirectory(rig.dir.path());
  d->findChild<QLineEdit*>("fileNameEdit")->setText("fw");
  static_cast<QDialog*>(d.get())->accept();
  EXPECT_EQ(d->result(), QDialog::Accepted);
  EXPECT_EQ(d->selectedFiles(), QStringList({rig.dir.filePath("fw.lir2")}));
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
       "Cannot open file \"%1\". No such file or directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimAppRig rig;
    TFormMain& m = rig.main();
    rig.w->FormOptHard->CheckBoxSound->setChecked(c.soundsOn);
    if (!c.before.isNull()) rig.open("a.lir2", c.before);
    rig.sounds.played.clear();
    const QString path = rig.open(c.file, c.bytes);
    EXPECT_EQ(labelsOf(m), c.labels);
    EXPECT_EQ(m.errorText(), c.error);
    EXPECT_EQ(m.LoadProg->isEnabled(), c.loadProg);
    EXPECT_EQ(std::count(rig.sounds.played.begin(), rig.sounds.played.end(), Sound::Error),
              c.errorSounds);
    EXPECT_EQ(rig.messages, c.message.isEmpty() ? QStringList() : QStringList{c.message.arg(path)});
    // The file as read is shown and kept; the prepared program is not there yet.
    EXPECT_EQ(m.fileNameText(), path);
    EXPECT_EQ(m.FirmwareText, c.bytes.isNull() ? QByteArray() : c.bytes);
    EXPECT_EQ(rig.w->FormFile->MemoHex->toPlainText(), asMemoText(m.FirmwareText));
    EXPECT_EQ(rig.w->FormFile->MemoHexProg->toPlainText(), "");
  }
}

TEST(FormMainFile, LineBreaksAreReadAsCrLf) {
  SimAppRig rig;
  rig.open("lf.lir2", "lir3v12_4&15#:00000001FF\n:00000001FF\n");
  EXPECT_EQ(rig.main().FirmwareText, "lir3v12_4&15#:00000001FF\r\n:00000001FF\r\n");
}

// The upload as the user starts it, twice, against the simulated bootloader.
TEST(FormMainUpload, UploadsTheOpenedFileAndReports) {
  SimAppRig rig;
  TFormMain& m = rig.main();
  rig.w->FormOptHard->ComboBoxRate->setCurrentIndex(rig.w->FormOptHard->ComboBoxRate->count() - 1);
  rig.w->FormOptSoft->CheckBoxWrite->setChecked(true);
  rig.open("fw.lir2", kGoodFile);
  // What the window shows while the transfer runs.
  QString stateDuring;
  qint64 gaugeMax = -1;
  rig.onWrite = [&](quint64) {
    stateDuring = m.stateText();
    gaugeMax = m.CGauge1->maxValue();
  };
  m.LoadProg->trigger();

  const QByteArray program = kGoodFile.mid(kBootHeader.size());
  EXPECT_EQ(stateDuring, "Загрузка Файла");
  EXPECT_EQ(gaugeMax, program.size() - 1);
  EXPECT_EQ(rig.model->hostRate(), 19200);
  EXPECT_EQ(rig.received().mode, 'l');
  EXPECT_TRUE(rig.received().completed);
  EXPECT_EQ(rig.received().image, imageOf(kImage));
  EXPECT_EQ(m.errorText(), "Нет ошибок");
  EXPECT_EQ(rig.sounds.played, std::vector<Sound>({Sound::Ok}));
  EXPECT_EQ(m.LVerBoot->text(), "VerBoot = 11");
  EXPECT_EQ(rig.w->FormFile->MemoHexProg->toPlainText(), asMemoText(program));
  expectStopped(rig);

  // The same file again sends the same bytes.
  const QString firstLog = rig.w->FormWritePort->log()->logText();
  EXPECT_TRUE(firstLog.startsWith("lrun\r\nU3A02000004"));
  rig.clock.advance(1000);
  m.LoadProg->trigger();
  EXPECT_EQ(rig.model->bootloader()->completedUploads(), 2);
  EXPECT_EQ(rig.w->FormWritePort->log()->logText(), firstLog);
  EXPECT_EQ(m.FirmwareText, kGoodFile);
}

// The samples the README offers, uploaded to the built-in device a newcomer starts with: its
// bootloader greets for a while after the port opens, then its firmware takes over.
TEST(FormMainUpload, SamplesUploadToTheBuiltInDevice) {
  QString root = qEnvironmentVariable("LIR2_SOURCE_DIR");
  if (root.isEmpty()) root = QStringLiteral(LIR2_SOURCE_DIR_BUILT);
  for (const char* name : {"lir-small.lir2", "lir-64k.lir2"}) {
    SimAppRig rig(*simConfigForProfile(QStringLiteral("lir")));
    const QString path = root + QStringLiteral("/samples/") + QLatin1String(name);
    rig.main().FileOpen1Accept(path);
    ASSERT_TRUE(rig.main().LoadProg->isEnabled()) << name;
    rig.main().LoadProg->trigger();
    EXPECT_EQ(rig.main().errorText(), "Нет ошибок") << name;
    EXPECT_EQ(rig.main().stateText(), "Выключенно") << name;
    EXPECT_TRUE(rig.received().completed) << name;
    EXPECT_EQ(rig.received().records, hexRecordsOf(rig.main().FirmwareText)) << name;
  }
}

// A run that fails, or that cannot start because the text is unusable.
TEST(FormMainUpload, FailuresAreReportedAndTheRunStops) {
  const struct {
    const char* name;
    QByteArray file;  // opened after a good one; null: a file that does not exist
    QString error;
    bool opens;  // the device saw the port open
    bool portGone = false;
    QString platPow = "VerPlatPow = 3.x";
  } cases[] = {
      {"power board", firmwareFile("lir4v12_4&15#", kImage), "Не та версия платы", true, false,
       "VerPlatPow = 4.x != 3"},
      // Nothing is sent into a port that is not there: the run ends with the opening's code.
      {"port does not open", kGoodFile, "Ошибка открытия COM порта", false, true},
      // A text that would go out as wrong bytes starts no run at all.
      {"lower-case hexadecimal", "lir3v12_4&15#:0400000001ab0203FF\r\n",
       "Не верный файл, строка 1: недопустимый «a» в столбце 25: в записи бывают только цифры 0–9 "
       "и заглавные буквы A–F",
       false},
      {"text emptied by an unreadable file", {},
       "Не верный файл, строка 1: файл короче заголовка, и в нём нет «#»", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimAppRig rig;
    TFormMain& m = rig.main();
    rig.w->FormOptHard->CheckBoxSound->setChecked(true);
    rig.open("good.lir2", kGoodFile);
    rig.open("fw.lir2", c.file);
    if (c.portGone) rig.link().port().setEntries({});
    m.setErrorText({});
    rig.sounds.played.clear();
    m.LoadProg->trigger();
    EXPECT_EQ(m.errorText(), c.error);
    EXPECT_EQ(m.LVerPlatPow->text(), c.platPow);
    EXPECT_EQ(rig.sounds.played, std::vector<Sound>({Sound::Error}));
    EXPECT_FALSE(rig.received().completed);
    EXPECT_EQ(rig.model->portOpenings() > 0, c.opens);
    expectStopped(rig);
  }
}

// Stop (Esc) and the closing of the main window reach the transfer between two characters.
TEST(FormMainUpload, StopOrCloseDuringTheTransferEndsItAtTheNextCharacter) {
  for (const bool close : {false, true}) {
    SCOPED_TRACE(close ? "close" : "stop");
    SimAppRig rig;
    TFormMain& m = rig.main();
    rig.w->FormOptHard->CheckBoxSound->setChecked(true);
    rig.open("fw.lir2", kGoodFile);
    QSignalSpy closed(&m, &TFormMain::closed);
    quint64 writtenAtStop = 0;
    int received = -1;
    // Stopped as the opening 'U' has gone out.
    rig.onWrite = [&](quint64 written) {
      if (received >= 0 || rig.received().transferBytes == 0) return;
      received = rig.received().transferBytes;
      close ? (void)m.close() : m.StopExec->trigger();
      writtenAtStop = rig.device->bytesWritten();
    };
    m.LoadProg->trigger();
    EXPECT_EQ(received, 1);
    EXPECT_EQ(rig.device->bytesWritten(), writtenAtStop);
    EXPECT_FALSE(rig.received().completed);
    EXPECT_EQ(m.errorText(), "Прервали операцию");
    EXPECT_EQ(rig.sounds.played, std::vector<Sound>({Sound::Error}));
    expectStopped(rig);
    EXPECT_EQ(closed.count(), close ? 1 : 0);
    // A closed window stays closed; a stopped one is still there.
    EXPECT_EQ(m.isVisible(), !close);
  }
}

}  // namespace

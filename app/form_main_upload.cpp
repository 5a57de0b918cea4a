// The main window's firmware file and its upload: FileOpen1 and LoadProg.
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>

#include "app/firmware_open_dialog.h"
#include "app/form_file.h"
#include "app/form_main.h"
#include "app/form_opt_hard.h"
#include "app/form_opt_soft.h"
#include "app/gauge.h"
#include "firmware/firmware_file.h"
#include "firmware/firmware_header.h"
#include "firmware/program_check.h"
#include "firmware/upload.h"
#include "firmware/upload_session.h"
#include "protocol/device_link.h"
#include "protocol/report.h"
#include "protocol/result_messages.h"
#include "protocol/sound.h"
#include "serial/result_code.h"
#include "serial/shown_text.h"

namespace lir2 {

namespace {

const QString kFirmwareFilter = QStringLiteral("Прошивки ( *.lir2)");
const QString kAllFilesFilter = QStringLiteral("все файлы (*)");
const QString kAllFilesName = QStringLiteral("все файлы");
const QString kWrongFile = QStringLiteral("Не верный файл");

}  // namespace

QFileDialog* makeFirmwareOpenDialog(QWidget* parent) {
  auto* dialog = new QFileDialog(parent);
  dialog->setObjectName(QStringLiteral("FileOpen1Dialog"));
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setNameFilters({kFirmwareFilter, kAllFilesFilter});
  dialog->setDefaultSuffix(QStringLiteral("lir2"));
  // Qt needs the pattern in the filter's text; the list shows the filter's own name. The
  // dialog picks its patterns by position, not by this text.
  if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      types && types->count() == 2)
    types->setItemText(1, kAllFilesName);
  return dialog;
}

void TFormMain::FileOpen1Execute() {
  QFileDialog* dialog = makeFirmwareOpenDialog(this);
  const bool accepted = dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty();
  const QString fileName = accepted ? dialog->selectedFiles().constFirst() : QString();
  delete dialog;
  if (accepted) FileOpen1Accept(fileName);
}

void TFormMain::FileOpen1Accept(const QString& fileName) {
  p_.file->showFirmware({});
  FirmwareText.clear();

  FirmwareFileName = fileName;
  bool suspect = !hasFirmwareExtension(FirmwareFileName);
  setFileNameText(shownPath(FirmwareFileName));

  const FirmwareFile file = readFirmwareFile(FirmwareFileName);
  if (!file.read()) {
    dialogs.error(frameworkReadError(file));
    return;
  }
  FirmwareText = file.text;
  p_.file->showFirmware(FirmwareText);

  const FirmwareHeader& h = file.header;
  if (h.deviceKind)
    DeviceKind = *h.deviceKind;
  else
    suspect = true;
  if (h.failedChecks > 0) {
    suspect = true;
    setErrorText(kWrongFile);
  }
  // Values decoded before a field that does not convert are taken, as they were read.
  for (auto [slot, value] : {std::pair{&VerPlatPow, h.VerPlatPow},
                             {&VerPOMajor, h.VerPOMajor},
                             {&VerPOMinor, h.VerPOMinor},
                             {&VerCPU, h.VerCPU},
                             {&VerPlatPic, h.VerPlatPic}})
    if (value) *slot = *value;
  if (h.notANumber) {
    dialogs.error(notAnIntegerMessage(*h.notANumber));
    return;
  }

  if (DeviceKind != kDeviceNone) LVerDevice->setText(deviceLabelText(DeviceKind));
  LVerPlatPow->setText(platPowLabelText(VerPlatPow));
  LVerPlatPic->setText(platPicLabelText(VerPlatPic));
  LVerPO->setText(firmwareVersionLabelText(VerPOMajor, VerPOMinor));
  LVerCPU->setText(cpuLabelText(VerCPU));
  LoadProg->setEnabled(DeviceKind != kDeviceNone);
  if (suspect && p_.hardware->soundsOn()) p_.sounds->play(Sound::Error);
}

bool TFormMain::PrepareProgramText(ProgramFault* fault) {
  p_.file->showProgram({});
  PreparedProgram p = prepareProgramText(FirmwareText);
  ProgramText = std::move(p.text);
  ProgramLength = static_cast<quint32>(ProgramText.size());
  p_.file->showProgram(ProgramText);
  if (fault) *fault = p.fault;
  return p.ok();
}

void TFormMain::LoadProgExecute() {
  RunMode = Run::Upload;
  ProgramFault fault;
  if (!PrepareProgramText(&fault)) {
    // Nothing to send that the device could take: no run starts, and the error bar says
    // where the file is wrong.
    RunMode = Run::None;
    setErrorText(wrongFileText(fault));
    if (p_.hardware->soundsOn()) p_.sounds->play(Sound::Error);
    return;
  }
  setStateText(QStringLiteral("Загрузка Файла"));
  BeginRun();

  UploadJob job;
  job.programText = ProgramText;
  job.versions = {VerPlatPow, VerCPU, VerPlatPic};
  job.keepSettings = p_.software->keepSettings();
  job.port = p_.hardware->settings();
  runSession_ = p_.upload;
  p_.upload->start(job);
}

void TFormMain::connectUpload() {
  UploadSession* upload = p_.upload;
  connect(upload, &UploadSession::bootVersionShown, LVerBoot, &QLabel::setText);
  connect(upload, &UploadSession::powerBoardAppended, this,
          [this](const QString& text) { LVerPlatPow->setText(LVerPlatPow->text() + text); });
  connect(upload, &UploadSession::progressed, CGauge1, &Gauge::setProgress);
  connect(upload, &UploadSession::elapsedShown, L_Time, &QLabel::setText);
  connect(upload, &UploadSession::stateShown, this, &TFormMain::setStateText);
  connect(upload, &UploadSession::errorShown, this, &TFormMain::setErrorText);
  connect(upload, &UploadSession::finished, this, &TFormMain::uploadFinished);
}

void TFormMain::uploadFinished(RunId run, Result code, const QString& reason, bool partial) {
  if (!isCurrentRun(run)) return;
  const bool success = code == Result::Ok;
  QString why = success ? QString() : reason;
  // The device cannot run what it holds now: the user must know before walking away.
  if (partial)
    why = why.isEmpty() ? partialProgramText() : why + QStringLiteral("; ") + partialProgramText();
  runEndedByItself(run, code, why);
  if (success) {
    // A finished upload says so until the next run: the gauge full, the upload's own last state.
    showSuccess(true);
    CGauge1->setProgress(CGauge1->maxValue());
    setStateText(QStringLiteral("Файл Загружен"));
  }
}

}  // namespace lir2

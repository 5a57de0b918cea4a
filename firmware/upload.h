#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QLocale>
#include <QString>
#include <QtGlobal>

#include "firmware/program_check.h"
#include "serial/result_code.h"

namespace lir2 {

class Exchange;

// What a failed upload adds when the device had begun to take the program.
QString partialProgramText();

// The program text of an upload: the firmware text without its header.
struct PreparedProgram {
  enum class Problem {
    None,
    TooShort,   // shorter than the header scan and without any '#'
    BadRecord,  // the records are not whole, well-formed Intel HEX ending in an end record
  };
  QByteArray text;
  Problem problem = Problem::None;
  ProgramFault fault;  // where and why, for any problem; wrongFileText() makes the message
  bool ok() const { return problem == Problem::None; }
};

// Strips the header: everything up to the first '#' among the first 19 characters, or the
// first 20 characters when there is none. Then checks the whole program: a text the upload
// would turn into wrong bytes, or that is cut short, is refused before anything is sent.
PreparedProgram prepareProgramText(QByteArrayView firmwareText);

// What an upload shows in its window and asks of it.
class UploadWindow {
 public:
  virtual ~UploadWindow() = default;
  virtual void setBootVersionText(const QString& text) = 0;    // LVerBoot
  virtual void appendPowerBoardText(const QString& text) = 0;  // behind LVerPlatPow's text
  virtual void setProgress(qint64 value) = 0;                  // the gauge
  virtual void setElapsedText(const QString& text) = 0;        // L_Time
  virtual void setStateText(const QString& text) = 0;          // the state bar
  virtual void setErrorText(const QString& text) = 0;          // the error bar

  // What the failure's message alone does not say, set by the upload: for a board or
  // processor mismatch, the version the device has and the one the file is for. The report
  // puts it behind the message: "Не та версия платы: у устройства 4, файл для 5 (силовая плата)".
  QString failureDetail;
};

// "у устройства 4, файл для 5 (силовая плата)": a version the device reported against the
// file's; part names which board or chip.
QString mismatchText(quint8 device, quint8 file, const QString& part);

// The versions of the opened file that the device must match.
struct FileVersions {
  quint8 VerPlatPow = 0;
  quint8 VerCPU = 0;
  quint8 VerPlatPic = 0;
};

// The dialogue with the device's serial bootloader at 19200 bit/s: the handshake, then the
// transfer of the Intel HEX records as stuffed, echoed bytes. Every failure ends it at once
// with a result code, which is also left in the exchange's ResultCode for the report. A stop
// (the exchange's stop flag) ends it at the next byte with Result::Interrupted.
class BootUpload {
 public:
  // keepSettings: "Не стирать настройки ": the mode character as asked ('l' keeps the
  // device's settings), else 'f', which does not.
  BootUpload(Exchange& exchange, UploadWindow& window, FileVersions file, bool keepSettings = true);

  static constexpr int kLineBufSize = 20;
  static constexpr int kGreetingTimeoutMs = 3000;

  // Waits for "Load\r\n", sends the mode character ('l', or 'f' when the settings are not to
  // be kept), compares the versions the bootloader reports and sends "run".
  Result BootHandshake(char mode);
  // Sends the program between two 'U's and waits for the device's ')'.
  Result TransferProgram(QByteArrayView programText);

  // As the bootloader reported them (character minus '0').
  quint8 VerBoot = 0;
  quint8 DevVerPlatPow = 0;
  quint8 DevVerCPU = 0;
  quint8 DevVerPlatPic = 0;

 private:
  Result fail(Result code);
  void abandon();
  Result exchange(quint8 byte, int logMode);
  Result sendStuffed(quint8 byte);
  bool readVersion(quint8& value);
  Result skipLateGreetings(qint64 start);

  Exchange& ex_;
  UploadWindow& window_;
  FileVersions file_;
  bool keepSettings_;
};

// An elapsed time in the locale's long time format, without its time zone or AM/PM marker:
// hours, minutes and seconds.
QString elapsedTimeText(qint64 ms, const QLocale& locale = QLocale::system());

// The second byte of the 'K' pair that stands for a reserved byte, or 0 for any other byte.
char stuffingLetter(quint8 byte);

}  // namespace lir2

#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>

#include <bitset>
#include <optional>

#include "monitor/device_images.h"
#include "serial/result_code.h"

namespace lir2 {

// A backup of the device's EEPROM as an Intel HEX file: the whole image, 16 bytes a record,
// CR LF line ends, after one comment line that names the device it came from. The reader takes
// such files (and any plain Intel HEX of the EEPROM's range) and checks every record; the
// comparison lists the cells in which a device and a file differ; the restore writes only
// cells it may.

struct DeviceIdentification;

// What a device is, in the words the monitor shows it with: its board, firmware version, power
// and voltage (empty for a device whose voltage is not decoded). What backup headers keep.
struct EepromIdentity {
  QString board;
  QString firmware;
  QString power;
  QString voltage;

  bool operator==(const EepromIdentity&) const = default;
  // "LCD SIN  Ver 9Hi /3 /Net7L -Pro, Ver 13.3, 3 кВт, 24 В" (the parts that are known).
  QString describe() const;
};

// The identification an EEPROM image decodes to.
EepromIdentity identityOf(const DeviceImages::Eeprom& eeprom);
EepromIdentity identityOf(const DeviceIdentification& id);

// The backup file: the header comment with the identification of the image, the moment and the
// program's version, then 64 data records and the end record.
QByteArray writeEepromHex(const DeviceImages::Eeprom& eeprom, const QDateTime& saved,
                          const QString& programVersion);

// Saves that file through saveFile, so a failure leaves an earlier file as it was. Empty, or why
// it was not saved.
QString saveEepromHexFile(const QString& path, const DeviceImages::Eeprom& eeprom,
                          const QDateTime& saved, const QString& programVersion);

// A read EEPROM file: the bytes it gives and which cells it gives them for, and the device its
// header names (none for a file without our header).
struct EepromHexFile {
  DeviceImages::Eeprom data{};
  std::bitset<DeviceImages::kEepromSize> present;
  std::optional<EepromIdentity> identity;
  QString savedText;  // when it was saved, as the header says
  // The device the file is for: its header's identification, else the one its own bytes decode
  // to when it holds the identification cells.
  std::optional<EepromIdentity> deviceIdentity() const;
};

// The reader's answer: the file, or why it was refused (a Russian sentence naming the line).
struct EepromHexRead {
  std::optional<EepromHexFile> file;
  QString error;
};

// Reads Intel HEX text: records of data (type 00) within addresses 0 to 1023 and the end record
// (01); comment lines starting with ";" before the first record; blank lines; CR LF, LF or CR
// line ends; upper- or lower-case digits. Refuses anything else.
EepromHexRead readEepromHex(const QByteArray& bytes);
// The same from a file, which must exist and be of a plausible size.
EepromHexRead readEepromHexFile(const QString& path);

// Cells a restore may write: never the command register and the identification (0 to 4), never
// beyond the EEPROM.
constexpr quint16 kFirstRestorableAddress = 5;
constexpr bool isRestorable(int address) {
  return address >= kFirstRestorableAddress && address < DeviceImages::kEepromSize;
}

// One cell in which the device and the file differ.
struct CellDifference {
  quint16 address = 0;
  quint8 device = 0;
  quint8 file = 0;
  QString meaning;  // empty for cells the monitor does not decode
  bool operator==(const CellDifference&) const = default;
};

// The cells the file gives whose value the device does not hold, by address.
QList<CellDifference> compareEeprom(const DeviceImages::Eeprom& device, const EepromHexFile& file);

// How a restore ended: what it wrote, where it stopped and why, and the EEPROM as read back
// afterwards.
struct EepromRestoreResult {
  QList<EepromWrite> written;         // the cells written and confirmed by the device, in order
  std::optional<EepromWrite> failed;  // the cell whose write failed
  // What reading the failed cell back found. A write whose reply came garbled or not at all may
  // have reached the device all the same.
  enum class FailedCell {
    NotWritten,  // the write failed before its value was sent
    Written,     // read back: it holds the value
    Unchanged,   // read back: it does not
    Unknown,     // possibly written: it could not be read back
  };
  FailedCell failedCell = FailedCell::NotWritten;
  Result code = Result::Ok;       // the failure's result code (the write's or the read-back's)
  bool stopped = false;           // the user stopped it between two cells
  QString refusal;                // nothing was written, and why
  bool readBack = false;          // the whole EEPROM was read again afterwards
  DeviceImages::Eeprom eeprom{};  // what it held then
};

// "0x017 (23)" and "0x07 (7)": an address and a value, as the comparison shows them.
QString cellAddressText(quint16 address);
QString cellValueText(quint8 value);
// The cells of a list as "0x017 (23), 0x018 (24)", the first `most` of them and how many more.
QString cellList(const QList<EepromWrite>& cells, int most = 20);

// What a finished restore comes to, in the comparison's words: its sentence; whether it failed
// (a refusal, a failed write, no read-back, a written cell that does not hold its value; cells
// left unchosen are no failure); and, after a read-back, the cells that still differ from the
// file.
struct RestoreOutcome {
  QString text;
  bool failure = false;
  std::optional<QList<CellDifference>> remaining;
};
RestoreOutcome describeRestore(const EepromRestoreResult& r, const EepromHexFile& file);

// A file of another kind of device: its board (EEPROM 0), generation (1), voltage class (6) or
// power model (5) is not the device's. A restore writes cells 5 and 6 too, so restoring such a
// file would turn the device into another model, with settings made for another board; it
// takes an explicit second yes. What differs ("напряжение 12 В в файле, 24 В на линии; ..."),
// or empty when the kinds agree or the file does not hold those cells.
QString otherDeviceKind(const EepromHexFile& file, const DeviceImages::Eeprom& device);

}  // namespace lir2

Q_DECLARE_METATYPE(lir2::EepromRestoreResult)

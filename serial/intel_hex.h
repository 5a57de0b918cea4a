#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace lir2 {

// Intel HEX, the one reader and writer of the program: firmware files, EEPROM backups and the
// tools that make sample files all go through here. Records are ':' and pairs of hexadecimal
// digits: byte count, address (high byte first), type, data, checksum (the two's complement of
// the sum of the bytes before it). CR LF, a lone CR and a lone LF each end a line.
namespace intel_hex {

enum RecordType : quint8 {
  Data = 0x00,
  EndOfFile = 0x01,
  ExtendedSegmentAddress = 0x02,
  StartSegmentAddress = 0x03,
  ExtendedLinearAddress = 0x04,
  StartLinearAddress = 0x05,
};

// How much a text may stray from the form a writer gives it.
enum class Strictness {
  // Each line exactly a record: upper-case digits only, no blank before or after it. A firmware
  // file goes to the device character by character, so anything else would arrive as wrong
  // bytes.
  Exact,
  // What editors and other programs leave: lower-case digits, blanks around a line, a UTF-8
  // byte order mark at the start.
  Tolerant,
};

struct Options {
  Strictness strictness = Strictness::Exact;
  // Lines starting with ';' before the first record are comments, handed back as they are.
  bool comments = false;
  // Where the records start: what comes before (a firmware file's header) is skipped, but its
  // lines are counted, so a line number is the one an editor shows.
  qsizetype from = 0;
};

struct Record {
  int line = 0;  // from 1, counted from the start of the text
  quint8 type = 0;
  quint16 address = 0;
  QByteArray data;
};

// Why a text is not Intel HEX, and where.
struct Fault {
  enum class Kind {
    BadRecord,    // a line that starts like a record but is not a well-formed one
    NotARecord,   // a line that does not start with ':'
    AfterEnd,     // a line after the end-of-file record
    NoRecords,    // no record at all
    NoEndOfFile,  // the records stop without the end-of-file record
  };
  Kind kind = Kind::BadRecord;
  int line = 0;  // for the last two: the line after the last one that holds anything
  QString reason;
  bool beforeFirstRecord = false;  // NotARecord: no record had come yet
};

struct Parsed {
  QList<Record> records;
  QList<QByteArray> comments;  // without their ';'
  std::optional<Fault> fault;
  bool ok() const { return !fault.has_value(); }
};

// Reads the records of text. The end-of-file record must come, and nothing but line ends after
// it; record types above 05 are refused. What the records mean (which types a caller takes,
// which addresses) is the caller's to check.
Parsed parse(QByteArrayView text, const Options& options = {});

// One record as a line without its line end: ":0400000001020304F2".
QByteArray record(quint8 type, quint16 address, QByteArrayView data = {});
inline QByteArray endOfFile() {
  return record(EndOfFile, 0);
}

// An image at address as records with CR LF line ends: an extended linear address record in
// front of the first data and wherever the upper 16 address bits change (only with
// linearAddresses), data records of at most recordBytes bytes that never cross a 64 KiB
// boundary, and the end-of-file record.
QByteArray write(QByteArrayView image, quint32 address = 0, int recordBytes = 16,
                 bool linearAddresses = true);

}  // namespace intel_hex

}  // namespace lir2

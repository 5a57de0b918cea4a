// lir2-make-firmware: writes a sample firmware file (.lir2) for the simulated device.
//   lir2-make-firmware [--header TEXT] [--image-bytes N | --text-bytes N] [--seed N]
//                      [--address N] [--record-bytes N] OUT
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

#include "serial/safe_save.h"
#include "serial/shown_text.h"
#include "tools/firmware_writer.h"

namespace lir2 {}  // namespace lir2

using namespace lir2;

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCommandLineParser cl;
  cl.setApplicationDescription(QStringLiteral(
      "Writes a firmware file: a version header and the Intel HEX records of a pseudo-random\n"
      "program image, lines ending in CR LF. The default header suits lir2-sim --profile boot."));
  cl.addHelpOption();
  const QCommandLineOption header({QStringLiteral("header")},
                                  QStringLiteral("Version header (default lir3v12_4&15#)."),
                                  QStringLiteral("text"), QStringLiteral("lir3v12_4&15#"));
  const QCommandLineOption imageBytes({QStringLiteral("image-bytes")},
                                      QStringLiteral("Program image size in bytes (default 256)."),
                                      QStringLiteral("n"), QStringLiteral("256"));
  const QCommandLineOption textBytes({QStringLiteral("text-bytes")},
                                     QStringLiteral("Make the file about this long instead."),
                                     QStringLiteral("n"));
  const QCommandLineOption seed({QStringLiteral("seed")},
                                QStringLiteral("Seed of the image bytes (default 1)."),
                                QStringLiteral("n"), QStringLiteral("1"));
  const QCommandLineOption address(
      {QStringLiteral("address")},
      QStringLiteral("Load address of the image (default 0; 0x.. allowed)."), QStringLiteral("n"),
      QStringLiteral("0"));
  const QCommandLineOption recordBytes(
      {QStringLiteral("record-bytes")},
      QStringLiteral("Data bytes per record, 1 to 255 (default 16)."), QStringLiteral("n"),
      QStringLiteral("16"));
  cl.addOptions({header, imageBytes, textBytes, seed, address, recordBytes});
  cl.addPositionalArgument(QStringLiteral("out"), QStringLiteral("File to write."));
  cl.process(app);
  if (cl.positionalArguments().size() != 1) {
    std::fprintf(stderr, "lir2-make-firmware: name one file to write (see --help)\n");
    return 2;
  }
  bool ok[5] = {true, true, true, true, true};
  const QByteArray head = cl.value(header).toLatin1();
  int size = cl.value(imageBytes).toInt(&ok[0]);
  if (cl.isSet(textBytes)) size = imageBytesForText(cl.value(textBytes).toInt(&ok[1]), head.size());
  const quint32 s = cl.value(seed).toUInt(&ok[2], 0);
  const quint32 at = cl.value(address).toUInt(&ok[3], 0);
  const int per = cl.value(recordBytes).toInt(&ok[4]);
  for (bool good : ok) {
    if (!good || size < 0 || per < 1 || per > 255) {
      std::fprintf(stderr, "lir2-make-firmware: a number is not valid (see --help)\n");
      return 2;
    }
  }
  const QString out = cl.positionalArguments().constFirst();
  QString reason;
  if (!saveFile(out, firmwareFile(head, sampleImage(size, s), at, per), &reason)) {
    std::fprintf(stderr, "lir2-make-firmware: %s: %s\n", shownPath(out).toUtf8().constData(),
                 reason.toUtf8().constData());
    return 1;
  }
  return 0;
}

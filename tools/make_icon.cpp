// Writes the Windows icon of the programs from the desktop icon:
//   lir2-make-icon packaging/org.lir2gui.Lir2Gui.svg packaging/windows/lir2gui.ico
// The sizes Windows asks for (16 to 48 pixels in lists and title bars, 256 in large views),
// each rendered from the drawing rather than scaled from another. The small ones are stored as
// 32-bit bitmaps, which every reader of icons takes (the installer builder too); 256 as PNG, as
// Windows stores it.
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtEndian>

#include <cstdio>

#include "serial/safe_save.h"

namespace lir2 {

namespace {

constexpr int kSizes[] = {16, 20, 24, 32, 40, 48, 64, 256};

void put16(QByteArray& out, quint16 v) {
  v = qToLittleEndian(v);
  out.append(reinterpret_cast<const char*>(&v), 2);
}
void put32(QByteArray& out, quint32 v) {
  v = qToLittleEndian(v);
  out.append(reinterpret_cast<const char*>(&v), 4);
}

// A device-independent bitmap as an icon holds it: the header with twice the height (the colour
// rows, then the transparency mask), rows bottom-up in BGRA, then the 1-bit mask, which 32-bit
// readers ignore but older ones need.
QByteArray bitmapEntry(const QImage& image) {
  const int n = image.width();
  QByteArray out;
  put32(out, 40);
  put32(out, n);
  put32(out, 2 * n);
  put16(out, 1);
  put16(out, 32);
  put32(out, 0);  // no compression
  const int maskStride = ((n + 31) / 32) * 4;
  put32(out, n * n * 4 + maskStride * n);
  put32(out, 0);
  put32(out, 0);
  put32(out, 0);
  put32(out, 0);
  for (int y = n - 1; y >= 0; --y) {
    for (int x = 0; x < n; ++x) {
      const QRgb p = image.pixel(x, y);  // not premultiplied: the format below
      out.append(char(qBlue(p)))
          .append(char(qGreen(p)))
          .append(char(qRed(p)))
          .append(char(qAlpha(p)));
    }
  }
  for (int y = n - 1; y >= 0; --y) {
    QByteArray row(maskStride, '\0');
    for (int x = 0; x < n; ++x)
      if (qAlpha(image.pixel(x, y)) == 0) row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
    out.append(row);
  }
  return out;
}

}  // namespace

}  // namespace lir2

using namespace lir2;

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: lir2-make-icon DRAWING.svg OUT.ico\n");
    return 2;
  }
  QSvgRenderer drawing(QString::fromLocal8Bit(argv[1]));
  if (!drawing.isValid()) {
    std::fprintf(stderr, "lir2-make-icon: %s is no drawing\n", argv[1]);
    return 1;
  }
  QList<QByteArray> entries;
  for (const int n : kSizes) {
    QImage image(n, n, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawing.render(&painter, QRectF(0, 0, n, n));
    painter.end();
    image = image.convertToFormat(QImage::Format_ARGB32);
    if (n < 256) {
      entries.append(bitmapEntry(image));
    } else {
      QByteArray png;
      QBuffer buffer(&png);
      buffer.open(QIODevice::WriteOnly);
      image.save(&buffer, "PNG");
      entries.append(png);
    }
  }
  // The directory: a header, one record per image, then the images one after another.
  QByteArray ico;
  put16(ico, 0);
  put16(ico, 1);  // an icon
  put16(ico, quint16(entries.size()));
  quint32 offset = 6 + 16 * quint32(entries.size());
  for (qsizetype i = 0; i < entries.size(); ++i) {
    const int n = kSizes[i];
    ico.append(char(n >= 256 ? 0 : n)).append(char(n >= 256 ? 0 : n));  // 0 means 256
    ico.append(char(0)).append(char(0));                                // no palette, reserved
    put16(ico, 1);                                                      // planes
    put16(ico, 32);                                                     // bits per pixel
    put32(ico, quint32(entries[i].size()));
    put32(ico, offset);
    offset += quint32(entries[i].size());
  }
  for (const QByteArray& e : entries) ico.append(e);
  QString reason;
  if (!saveFile(QString::fromLocal8Bit(argv[2]), ico, &reason)) {
    std::fprintf(stderr, "lir2-make-icon: %s not saved: %s\n", argv[2], qPrintable(reason));
    return 1;
  }
  return 0;
}

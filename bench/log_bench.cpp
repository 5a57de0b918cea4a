// Appending traffic to a port log window: the program's own path (a buffered append at the end
// of the view) against the naive one (the view's whole text replaced on every byte).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>

#include "app/form_port_log.h"
#include "app/log_view.h"
#include "serial/traffic_log.h"

using namespace lir2;

namespace {

// Resident memory of this process in MB (Linux).
double residentMb() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:"))
      return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
  return -1;
}

// One byte as log mode 2 shows it.
QStringView hexOf(quint8 byte, QChar (&buf)[2]) {
  const int n = formatLoggedByte(byte, LogHex, buf);
  return QStringView(buf, n);
}

void BM_LogAppendBuffered(benchmark::State& state) {
  const int bytes = static_cast<int>(state.range(0));
  for (auto _ : state) {
    TFormPortLog window(TFormPortLog::Kind::Read);
    LogView* log = window.findChild<LogView*>();
    window.show();
    QApplication::processEvents();
    QChar buf[2];
    for (int i = 0; i < bytes; ++i) {
      log->append(hexOf(static_cast<quint8>(i), buf));
      // The upload lets the window handle its events between characters. Bringing the view up
      // to date every 1024 bytes is more often than its timer does: the worst case.
      if ((i & 1023) == 0) {
        log->flush();
        QApplication::processEvents();
      }
    }
    log->flush();
    QApplication::processEvents();  // the view paints what it has
    benchmark::DoNotOptimize(log->logText().size());
    state.counters["rss_MB_with_log"] = residentMb();
  }
  state.SetItemsProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_LogAppendBuffered)
    ->Arg(2500)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_LogAppendNaive(benchmark::State& state) {
  const int bytes = static_cast<int>(state.range(0));
  for (auto _ : state) {
    QPlainTextEdit edit;
    edit.setUndoRedoEnabled(false);
    edit.resize(309, 282);
    edit.show();
    QApplication::processEvents();
    QChar buf[2];
    for (int i = 0; i < bytes; ++i) {
      edit.setPlainText(edit.toPlainText() + hexOf(static_cast<quint8>(i), buf).toString());
      if ((i & 1023) == 0) QApplication::processEvents();
    }
    QApplication::processEvents();
    benchmark::DoNotOptimize(edit.document()->characterCount());
  }
  state.SetItemsProcessed(state.iterations() * bytes);
}
// Quadratic: a million bytes would take hours, so it runs at sizes that finish.
BENCHMARK(BM_LogAppendNaive)
    ->Arg(2500)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

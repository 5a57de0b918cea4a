// lir2-cli serve with 1 and with 8 devices (lir2-sim on pseudo-terminals at an emulated
// 19200 bit/s) publishing to Debian's mosquitto on a local port: serve's processor time per
// device per hour of polling, and the time from a RAM decode to its state message at a
// subscriber (median and 99th percentile) for the messages a change sent. The state's "time" is
// the decode's, in milliseconds: the latencies are good to about a millisecond. LIR2_BENCH_SECONDS
// sets the measured time (default 60).
#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <vector>

#include <unistd.h>

#include "common/mqtt_broker.h"

namespace {

// utime + stime of a running process, in seconds.
double processCpuSeconds(qint64 pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return 0;
  const QByteArray text = stat.readAll();
  // The fields after the command's closing parenthesis; utime and stime are the 12th and 13th.
  const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
  if (fields.size() < 13) return 0;
  return (fields[11].toDouble() + fields[12].toDouble()) / sysconf(_SC_CLK_TCK);
}

struct Process {
  QProcess proc;
  ~Process() {
    proc.kill();
    proc.waitForFinished(5000);
  }
};

void BM_ServeDevices(benchmark::State& state) {
  const int devices = static_cast<int>(state.range(0));
  const int seconds = qEnvironmentVariableIsSet("LIR2_BENCH_SECONDS")
                          ? qEnvironmentVariableIntValue("LIR2_BENCH_SECONDS")
                          : 60;
  if (MqttBroker::program().isEmpty()) {
    state.SkipWithError("Debian's mosquitto broker is not installed");
    return;
  }
  for (auto _ : state) {
    MqttBroker broker;
    if (!broker.start()) {
      state.SkipWithError("mosquitto did not start");
      return;
    }
    QTemporaryDir dir;
    std::vector<std::unique_ptr<Process>> sims;
    QString conf = QStringLiteral("mqtt = %1\nmin_interval = 0\n").arg(broker.url());
    for (int i = 0; i < devices; ++i) {
      auto sim = std::make_unique<Process>();
      sim->proc.start(QStringLiteral(LIR2_SIM_BUILT),
                      {"--profile", "gen9", "--emulate-rate", "--rate", "19200"});
      QDeadlineTimer deadline(5000);
      while (!sim->proc.canReadLine() && !deadline.hasExpired()) sim->proc.waitForReadyRead(50);
      conf += QStringLiteral("[device]\nport = %1\nname = d%2\n")
                  .arg(QString::fromLocal8Bit(sim->proc.readLine()).trimmed())
                  .arg(i);
      sims.push_back(std::move(sim));
    }
    QFile file(dir.filePath("bench.conf"));
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(conf.toUtf8());
    file.close();

    MqttListener sub(broker.port(), "lir2/+/state");
    Process serve;
    serve.proc.start(QStringLiteral(LIR2_CLI_BUILT), {"serve", "--config", file.fileName()});
    // Polling in its stride: every device has published.
    const bool running = sub.waitFor(
        [&] {
          for (int i = 0; i < devices; ++i)
            if (sub.on(QStringLiteral("lir2/d%1/state").arg(i)).isEmpty()) return false;
          return true;
        },
        60000);
    if (!running) {
      state.SkipWithError("serve did not publish every device");
      return;
    }
    const qint64 from = sub.nowMs();
    const double cpu0 = processCpuSeconds(serve.proc.processId());
    QThread::sleep(seconds);
    const double cpu = processCpuSeconds(serve.proc.processId()) - cpu0;

    // Only the messages a change sent: the minute's full state repeats the last pass, whose
    // decode may be a pass old.
    std::vector<double> latencies;
    QMap<QString, QJsonObject> previous;
    for (const auto& m : sub.messages()) {
      QJsonObject state = QJsonDocument::fromJson(m.payload).object();
      const QDateTime decoded =
          QDateTime::fromString(state.take("time").toString(), Qt::ISODateWithMs);
      const bool changed = previous.value(m.topic) != state;
      previous.insert(m.topic, state);
      if (m.atMs >= from && changed && decoded.isValid())
        latencies.push_back(double(m.wallMs - decoded.toMSecsSinceEpoch()));
    }
    std::sort(latencies.begin(), latencies.end());
    const auto quantile = [&](double q) {
      return latencies.empty() ? 0.0 : latencies[size_t(q * (latencies.size() - 1))];
    };
    state.counters["cpu_s_per_device_hour"] = cpu / seconds * 3600 / devices;
    state.counters["latency_median_ms"] = quantile(0.5);
    state.counters["latency_p99_ms"] = quantile(0.99);
    state.counters["state_messages"] = double(latencies.size());
  }
}
BENCHMARK(BM_ServeDevices)->Arg(1)->Arg(8)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

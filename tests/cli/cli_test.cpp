// lir2-cli as a script runs it: the built program in a process of its own, against lir2-sim on a
// pseudo-terminal and against its built-in simulated device.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <numeric>

#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "common/samples.h"
#include "common/signal_process.h"
#include "common/sim_process.h"
#include "common/small_tmpfs.h"
#include "firmware/firmware_file.h"
#include "firmware/upload.h"
#include "serial/safe_save.h"

using namespace lir2;

namespace {

// Generous: a guard against hanging, not a measure of speed.
constexpr int kPatienceMs = 30000;

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Cli {
  QProcess proc;
  QString out, err;

  explicit Cli(const QStringList& args) {
    proc.start(QStringLiteral(LIR2_CLI_BUILT), args);
    proc.waitForStarted();
  }
  ~Cli() {
    proc.kill();
    proc.waitForFinished();
  }
  void take() {
    out += QString::fromUtf8(proc.readAllStandardOutput());
    err += QString::fromUtf8(proc.readAllStandardError());
  }
  // Waits until the output holds text; false when the program ended or time ran out first.
  bool waitFor(const QString& text, int ms = kPatienceMs) {
    QDeadlineTimer deadline(ms);
    while (!out.contains(text) && !deadline.hasExpired() && proc.state() == QProcess::Running) {
      proc.waitForReadyRead(50);
      take();
    }
    return out.contains(text);
  }
  // The exit status, or -1 when the program did not end in time.
  int status() {
    const bool ended = proc.waitForFinished(kPatienceMs);
    take();
    return ended && proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -1;
  }
};

// lir2-sim on a pseudo-terminal; its process at hand for the faults.
struct Sim {
  QProcess proc;
  QString path;
  explicit Sim(const QStringList& args) {
    proc.start(SimProcess::program(), args);
    QDeadlineTimer deadline(5000);
    while (!proc.canReadLine() && !deadline.hasExpired()) proc.waitForReadyRead(50);
    path = QString::fromLocal8Bit(proc.readLine()).trimmed();
  }
  ~Sim() {
    signalProcess(proc, SIGCONT);
    proc.terminate();
    if (!proc.waitForFinished(5000)) proc.kill();
  }
  void signal(int sig) { signalProcess(proc, sig); }
};

const QStringList kFastBoot = {"--profile",         "boot", "--greet-first-ms", "20",
                               "--greet-period-ms", "20"};

// The line options for lir2-sim started with simArgs, or for the built-in device when none.
QStringList lineFor(const QStringList& simArgs, std::unique_ptr<Sim>& sim) {
  if (simArgs.isEmpty()) return {"--simulated"};
  sim = std::make_unique<Sim>(simArgs);
  return {"--port", sim->path};
}

struct Expect {
  int status;
  QStringList says;  // fragments of standard output and error together
};

// A run against lir2-sim started with simArgs (the built-in device when empty), with more
// arguments, and what it should end with.
struct LineCase {
  const char* name;
  QStringList simArgs;
  QStringList extra;
  Expect expect;
};

void check(Cli& cli, const Expect& e) {
  EXPECT_EQ(cli.status(), e.status) << cli.err.toStdString();
  for (const QString& s : e.says)
    EXPECT_TRUE((cli.out + cli.err).contains(s)) << s.toStdString() << " in\n"
                                                 << (cli.out + cli.err).toStdString();
}

// What is refused before any device is spoken to: the command line, the file, the port.
TEST(Cli, RefusesBadCommandLinesFilesAndPorts) {
  QTemporaryDir dir;
  const auto file = [&](const char* name, const QByteArray& bytes) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return f.fileName();
  };
  const QString small = sample("lir-small.lir2");
  const QString noPort = "/dev/ttyLIR-none";
  // The port named does not exist: a file fault is found before the port is touched.
  const auto upload = [&](const QString& f) { return QStringList{"upload", f, "--port", noPort}; };
  const struct {
    QStringList args;
    Expect expect;
  } cases[] = {
      {{}, {2, {"не указана команда", "Коды завершения"}}},
      {{"frobnicate"}, {2, {"неизвестная команда «frobnicate»"}}},
      {{"upload", small, "--simulated", "--bogus"}, {2, {"неизвестный параметр «--bogus»"}}},
      {{"upload", small, "--simulated", "--rate", "9600"}, {2, {"«--rate»"}}},
      {{"upload", "--simulated"}, {2, {"не хватает аргументов", "upload ФАЙЛ"}}},
      {{"upload", small, "--simulated", "--reserve", "--erase-settings"}, {2, {"исключают"}}},
      {{"identify"}, {2, {"--port ПУТЬ или --simulated"}}},
      {{"identify", "--simulated", "--sim-profile", "nope"}, {2, {"«nope»", "gen9"}}},
      {{"identify", "--simulated", "--rate", "38400"}, {2, {"«38400»"}}},
      {{"identify", "--port"}, {2, {"нужно значение"}}},
      {{"--help"}, {0, {"upload", "identify", "ports", "130"}}},
      {{"upload", "--help"}, {0, {"«Не стирать настройки »", "--erase-settings", "19200"}}},
      {{"--version"}, {0, {"lir2-cli 8.0"}}},
      {upload(dir.filePath("none.lir2")), {66, {"не найден"}}},
      {upload(dir.path()), {66, {"папка"}}},
      {upload(file("text.lir2", "hello, world\n")), {65, {"Не верный файл", "«hel»"}}},
      {upload(file("head.lir2", "lir3v12_4&15#")), {65, {"нет ни одной записи"}}},
      {upload(file("hdr.lir2", "lir123v12#:00000001FF\r\n")), {65, {"«lir123v12#» не по формату"}}},
      {upload(file("low.lir2", "lir3v12_4&15#\n:00000001ff\n")), {65, {"строка 2", "«f»"}}},
      {upload(small), {69, {"Ошибка открытия COM порта", noPort + " не найден"}}},
      {{"identify", "--port", noPort}, {69, {"Подключён ли адаптер?"}}},
      {{"eeprom"}, {2, {"укажите dump, diff, restore"}}},
      {{"eeprom", "frob"}, {2, {"«eeprom frob»"}}},
      {{"eeprom", "dump", "--simulated"}, {2, {"-o ФАЙЛ"}}},
      {{"eeprom", "diff", "--help"}, {0, {"«Сравнение EEPROM с файлом»", "65"}}},
      {{"record", "-o", "x.csv", "--simulated", "--seconds", "0"}, {2, {"«0»"}}},
      {{"record", "--help"}, {0, {"«Запись...»", "130"}}},
      {{"eeprom", "dump", "-o", dir.filePath("no/e.hex"), "--simulated"}, {73, {"не создаётся"}}},
      {{"eeprom", "dump", "-o", dir.filePath("e.hex"), "--port", noPort}, {69, {noPort}}},
      {{"record", "-o", dir.filePath("r.csv"), "--port", noPort}, {69, {noPort}}},
      {{"record", "-o", dir.filePath("no/r.csv"), "--simulated"}, {73, {"не создаётся"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    Cli cli(c.args);
    check(cli, c.expect);
  }
  // A port that does not open leaves no file behind.
  EXPECT_FALSE(QFile::exists(dir.filePath("e.hex")));
  EXPECT_FALSE(QFile::exists(dir.filePath("r.csv")));
}

// The upload to lir2-sim's bootloader and to the built-in device, and its failures.
TEST(Cli, UploadsAsTheWindowDoes) {
  QTemporaryDir dir;
  const QString dump = dir.filePath("image.hex");
  const LineCase cases[] = {
      {"pty",
       kFastBoot + QStringList{"--dump-image", dump},
       {},
       {0, {"VerBoot = 11", "100%", "Файл Загружен", "Нет ошибок"}}},
      {"simulated", {}, {"--keep-settings"}, {0, {"Симулятор LIR (профиль lir)", "Нет ошибок"}}},
      // A bootloader that takes only 'f' tells which mode character came.
      {"settings erased",
       kFastBoot + QStringList{"--mode-answer", "F"},
       {"--erase-settings"},
       {0, {"настройки стираются", "Нет ошибок"}}},
      {"settings kept",
       kFastBoot + QStringList{"--mode-answer", "F"},
       {},
       {7, {"Не правильная версия загрузчика"}}},
      {"power board",
       kFastBoot + QStringList{"--power-board", "4"},
       {},
       {14, {"VerPlatPow = 3.x != 4", "Не та версия платы: у устройства 4, файл для 3"}}},
      {"device error",
       kFastBoot + QStringList{"--error-at", "40"},
       {},
       {8, {"Ошибка записи в Память Программ", "Передано"}}},
      {"no bootloader",
       kFastBoot + QStringList{"--boot-silent"},
       {},
       {20, {"Долго нет ответа при чтении"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<Sim> sim;
    Cli cli(QStringList{"upload", sample("lir-small.lir2")} + lineFor(c.simArgs, sim) + c.extra);
    check(cli, c.expect);
  }
  // The device holds exactly the file's records.
  const QByteArray program = prepareProgramText(readAll(sample("lir-small.lir2"))).text;
  ASSERT_FALSE(program.isEmpty());
  EXPECT_EQ(readAll(dump), program);
}

// At the real line rate the 64 KB sample takes over a minute: what ends it in the middle.
TEST(Cli, UploadEndsCleanlyWhenInterruptedOrLeftAlone) {
  const struct {
    const char* name;
    int signal;
    bool toSim;
    Expect expect;
  } cases[] = {
      {"Ctrl-C", SIGINT, false, {130, {"Прервали операцию"}}},
      {"device falls silent", SIGSTOP, true, {20, {"Долго нет ответа при чтении", "Передано"}}},
      {"device goes away", SIGKILL, true, {74, {"Связь с портом", "потеряна"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Sim sim(kFastBoot + QStringList{"--emulate-rate"});
    Cli cli({"upload", sample("lir-64k.lir2"), "--port", sim.path});
    ASSERT_TRUE(cli.waitFor("VerBoot = 11")) << cli.err.toStdString();
    QThread::msleep(300);  // well into the transfer
    c.toSim ? sim.signal(c.signal) : signalProcess(cli.proc, c.signal);
    check(cli, c.expect);
    if (c.toSim) continue;
    // The port was closed and its lock let go.
    QSerialPort port(sim.path);
    EXPECT_TRUE(port.open(QIODevice::ReadWrite)) << port.errorString().toStdString();
  }
}

// The identification the monitor shows, from lir2-sim and from the built-in device's profiles.
TEST(Cli, IdentifiesTheDevice) {
  const LineCase cases[] = {
      {"gen9 on a pty",
       {"--profile", "gen9"},
       {},
       {0,
        {"Версия Платы: LCD SIN  Ver 9", " -Pro", "Версия ПО:    Ver 13.3", "Мощность:     3 кВт",
         "Напряжение:   24 В"}}},
      {"gen5 built in",
       {},
       {"--sim-profile", "gen5"},
       {0, {"Версия Платы: LCD Ver 5.", "Ver 10.1", "1,5 кВт", "12 В"}}},
      {"at the device's rate",
       {"--profile", "gen9", "--device-rate", "9600"},
       {"--rate", "9600"},
       {0, {"Ver 13.3"}}},
      {"at another rate",
       {"--profile", "gen9", "--device-rate", "9600"},
       {},
       {20, {"Долго нет ответа при чтении"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<Sim> sim;
    Cli cli(QStringList{"identify"} + lineFor(c.simArgs, sim) + c.extra);
    check(cli, c.expect);
  }
  // The same as JSON, from the window's default device.
  Cli cli({"identify", "--simulated", "--json"});
  ASSERT_EQ(cli.status(), 0) << cli.err.toStdString();
  const QJsonObject o = QJsonDocument::fromJson(cli.out.toUtf8()).object();
  EXPECT_EQ(o["firmware"].toString(), "Ver 13.3");
  EXPECT_EQ(o["voltage"].toString(), "24 В");
  EXPECT_EQ(o["firmwareVersion"].toInt(), 133);
  EXPECT_TRUE(o["binaryFrames"].toBool());
  EXPECT_TRUE(o["board"].toString().startsWith("LCD SIN  Ver 9"));
}

// The 1024 bytes of an EEPROM backup's data records, each record's checksum checked here on its
// own; with edits, the copy at to gets those cells (and right checksums, unless broken is set:
// then the edited records' are one off).
QByteArray eepromOf(const QString& from, const QString& to = {}, const QMap<int, int>& edits = {},
                    bool broken = false) {
  QByteArray data(1024, '\0');
  QList<QByteArray> lines = readAll(from).split('\n');
  for (QByteArray& line : lines) {
    if (!line.startsWith(":10")) continue;
    QByteArray r = QByteArray::fromHex(line.trimmed().mid(1));
    quint8 sum = 0;
    for (char b : r) sum += quint8(b);
    EXPECT_EQ(sum, 0) << line.toStdString();
    const int address = quint8(r[1]) * 256 + quint8(r[2]);
    bool edited = false;
    for (auto [a, v] : edits.asKeyValueRange())
      if (a >= address && a < address + 16) r[4 + a - address] = char(v), edited = true;
    r.back() = char(-std::accumulate(r.begin(), r.end() - 1, 0) + (broken && edited ? 1 : 0));
    data.replace(address, 16, r.mid(4, 16));
    line = ':' + r.toHex().toUpper() + '\r';
  }
  if (!to.isEmpty()) {
    QFile f(to);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(lines.join('\n'));
  }
  return data;
}

// Backup, comparison and restore against one lir2-sim device, whose EEPROM outlives each run.
TEST(Cli, BacksUpComparesAndRestoresTheEeprom) {
  QTemporaryDir dir;
  const QString saved = dir.filePath("saved.hex"), edited = dir.filePath("edited.hex"),
                bad = dir.filePath("bad.hex"), image = dir.filePath("device.bin");
  auto sim = std::make_unique<Sim>(QStringList{"--dump-eeprom", image});
  const QStringList port = {"--port", sim->path};
  {
    Cli cli(QStringList{"eeprom", "dump", "-o", saved} + port);
    check(cli, {0, {"сохранена"}});
  }
  EXPECT_TRUE(readAll(saved).startsWith("; EEPROM LIR | плата: LCD SIN  Ver 9"));
  const QByteArray before = eepromOf(saved);
  eepromOf(saved, edited, {{2, 0x6E}, {4, 7}, {23, 9}, {71, 20}});
  eepromOf(saved, bad, {{23, 9}}, true);
  const struct {
    QStringList args;
    Expect expect;
  } steps[] = {
      {{"diff", saved}, {0, {"EEPROM устройства совпадает с файлом."}}},
      {{"diff", edited},
       {1,
        {"0x017 (23)    0x10 (16)     0x09 (9)      Мёртвое время", "Коэффициент синуса",
         "0x002 (2)", "Различаются ячеек: 4."}}},
      {{"diff", bad}, {65, {"строка 3: неверная контрольная сумма"}}},
      {{"restore", bad, "--yes"}, {65, {"неверная контрольная сумма"}}},
      {{"restore", dir.filePath("none.hex"), "--yes"}, {66, {"не найден"}}},
      {{"restore", edited}, {2, {"--yes"}}},  // no terminal to ask
      {{"restore", edited, "--yes"},
       {0,
        {"не записываются: 0x002 (2), 0x004 (4).", "2 из 2: 0x047 (71) = 0x14 (20)",
         "Записано ячеек: 2. EEPROM прочитана заново: от файла отличаются ещё ячеек: 2."}}},
      {{"diff", edited}, {1, {"Различаются ячеек: 2."}}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.args.join(' ').toStdString());
    Cli cli(QStringList{"eeprom"} + step.args + port);
    check(cli, step.expect);
  }
  sim.reset();  // writes the device's EEPROM
  QByteArray expected = before;
  expected[23] = 9;
  expected[71] = 20;
  EXPECT_EQ(readAll(image), expected);

  // Faults after the dump (110 reads): cell 23 is announced by command 111 and written by 112.
  // Whatever the line does then, the summary says what the device holds afterwards.
  const QString one = "Записаны ячейки (1): 0x017 (23).", read = "значение записано";
  const std::pair<QStringList, Expect> faults[] = {
      {{"--silent-after", "112"}, {20, {"0x047 (71)", one}}},
      {{"--fault-frames", "1", "--bad-checksum"}, {17, {read, one}}},
      {{"--fault-frames", "1", "--drop-reply"}, {20, {read, one}}},
      {{"--drop-reply"}, {20, {"0x017 (23) возможно записана", "Других"}}},
  };
  for (const auto& [fault, expect] : faults) {
    SCOPED_TRACE(fault.join(' ').toStdString());
    {
      Sim faulty(QStringList{"--fault-from", "112", "--no-chatter", "--dump-eeprom", image} +
                 fault);
      Cli cli({"eeprom", "restore", edited, "--yes", "--port", faulty.path});
      check(cli, expect);
    }
    const QByteArray device = readAll(image);
    EXPECT_TRUE(device.size() == 1024 && device[23] == 9 && device[71] == before[71]);
  }
}

// The README's table of exit statuses, walked: a run in each situation it names ends with its
// status, the program's help lists the same, and nothing any run prints holds a raw control
// character (a firmware header with ESC and BEL among them). What -o names is never replaced by
// anything but a whole file: a device node, a FIFO or a link to one is refused and left as it
// was, and a full disk keeps the old backup.
TEST(Cli, ExitStatusesAreTheReadmesTable) {
  QFile readme(QString(LIR2_SOURCE_DIR_BUILT) + "/README.md");
  ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
  static const QRegularExpression row("^\\| (\\d+)(?:–(\\d+))? \\|",
                                      QRegularExpression::MultilineOption);
  QList<std::pair<int, int>> table;
  for (const auto& m : row.globalMatch(QString::fromUtf8(readme.readAll())))
    table.append({m.captured(1).toInt(),
                  m.captured(2).isEmpty() ? m.captured(1).toInt() : m.captured(2).toInt()});

  QTemporaryDir dir;
  SmallTmpfs disk;
  const auto file = [&](const char* name, const QByteArray& bytes) {
    EXPECT_TRUE(saveFile(dir.filePath(name), bytes, nullptr));
    return dir.filePath(name);
  };
  QFile big(file("big.lir2", "lir3v12_4&15#"));
  ASSERT_TRUE(big.resize(kMaxFirmwareFileBytes + 1));
  const QString csv = dir.filePath("r.csv"), keep = disk.path("keep.hex");
  const QByteArray node = QFile::encodeName(dir.filePath("node")), old = "; yesterday's\r\n";
  // A node of its own, never the system's /dev/null: as root a failure would replace it.
  const bool haveNode = ::mknod(node.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
  ASSERT_EQ(::symlink("fifo", QFile::encodeName(dir.filePath("link")).constData()), 0);
  ASSERT_TRUE(!disk.ok() || saveFile(keep, old, nullptr));
  disk.fill();
  const auto interrupt = [](int sig) {
    return [sig](Cli& cli, Sim* sim) {
      EXPECT_TRUE(cli.waitFor("Запись:"));
      QThread::msleep(500);
      sim ? sim->signal(sig) : signalProcess(cli.proc, sig);
    };
  };
  const QStringList dump = {"eeprom", "dump", "-o"};
  const QString esc = file("esc.lir2", "li\x1b]0;p\x98\x07r3v1\x1b[2J#\r\n:00000001FF\r\n");
  const struct {
    int status;
    QStringList simArgs;  // empty: --simulated, where the command takes a line
    QStringList args;     // an empty one: not possible here
    std::function<void(Cli&, Sim*)> meanwhile;
    QStringList says;
  } cases[] = {
      {0, {}, {"identify"}, {}, {"Ver 13.3"}},
      {1, {}, {"eeprom", "diff", file("one.hex", ":01001700FFE9\n:00000001FF\n")}, {}, {}},
      {2, {}, {"upload"}, {}, {"не хватает аргументов"}},
      {25, {"--error-byte", "16"}, {"identify"}, {}, {"MErr - не было предварительно"}},
      {65, {}, {"upload", esc}, {}, {"«li\\x1B»"}},
      {65, {}, {"upload", big.fileName()}, {}, {"слишком велик"}},
      {66, {}, {"upload", dir.filePath("none.lir2")}, {}, {"не найден"}},
      {69, {}, {"identify", "--port", "ttyLIR-none"}, {}, {"/dev/ttyLIR-none не найден"}},
      {73, {}, dump + QStringList{haveNode ? dir.filePath("node") : ""}, {}, {"это устройство"}},
      {73, {}, dump + QStringList{dir.filePath("fifo")}, {}, {"это именованный канал"}},
      {73, {}, dump + QStringList{dir.filePath("link")}, {}, {"это ссылка на"}},
      {73, {}, dump + QStringList{disk.ok() ? keep : ""}, {}, {"No space left on device"}},
      {74, {"--profile", "gen9"}, {"record", "-o", csv}, interrupt(SIGKILL), {"Связь с портом"}},
      {130, {}, {"record", "-o", csv}, interrupt(SIGINT), {"Прервали операцию"}},
      {143, {}, {"record", "-o", csv}, interrupt(SIGTERM), {"Записано в"}},
  };
  static const QRegularExpression control("[\\x00-\\x09\\x0B-\\x1F\\x7F-\\x9F]");
  QSet<int> walked;
  for (const auto& c : cases) {
    if (c.args.contains(QString())) continue;
    SCOPED_TRACE((c.args.join(' ') + " → " + QString::number(c.status)).toStdString());
    std::unique_ptr<Sim> sim;
    const bool line = (c.args[0] != "upload" || c.args.size() > 1) && !c.args.contains("--port");
    Cli cli(c.args + (line ? lineFor(c.simArgs, sim) : QStringList()));
    if (c.meanwhile) c.meanwhile(cli, sim.get());
    check(cli, {c.status, c.says});
    EXPECT_FALSE((cli.out + cli.err).contains(control)) << (cli.out + cli.err).toStdString();
    for (const auto& [from, to] : table)
      if (c.status >= from && c.status <= to) walked << from;
  }
  Cli help({"--help"});
  ASSERT_EQ(help.status(), 0);
  ASSERT_FALSE(table.isEmpty());
  for (const auto& [from, to] : table) {
    EXPECT_TRUE(walked.contains(from)) << "no run ends with status " << from;
    EXPECT_TRUE(help.out.contains(QRegularExpression(QString("\\n  %1[ -]").arg(from))))
        << from << " missing from --help";
  }
  struct stat st {};
  EXPECT_TRUE(!haveNode || (::stat(node.constData(), &st) == 0 && S_ISCHR(st.st_mode)));
  EXPECT_TRUE(::lstat(QFile::encodeName(dir.filePath("link")).constData(), &st) == 0 &&
              S_ISLNK(st.st_mode));
  EXPECT_TRUE(!disk.ok() || readAll(keep) == old);
}

// The monitor's CSV recording, for N seconds or until Ctrl-C, with its alarms on standard error;
// a device that holds still still gives a row every pass over its RAM (about 1.5 s apart).
TEST(Cli, RecordsTheMonitorsValues) {
  QTemporaryDir dir;
  const struct {
    const char* name;
    QStringList simArgs;  // empty: --simulated
    QStringList extra;
    int signal;
    Expect expect;
    int valueRows = 1;  // at least
  } cases[] = {
      {"seconds", {}, {"--seconds", "2"}, 0, {0, {"Записано в"}}},
      {"alarms",
       {"--alarm", "protection:1"},
       {"--seconds", "3"},
       0,
       {0, {"Напряжение Аккумулятора выше допустимого"}}},
      {"still", {"--no-drift"}, {"--seconds", "5"}, 0, {0, {"Записано в"}}, 2},
      {"Ctrl-C", {}, {}, SIGINT, {130, {"Прервали операцию"}}},
      {"SIGTERM", {}, {}, SIGTERM, {143, {"Записано в"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString csv = dir.filePath(QString(c.name) + ".csv");
    std::unique_ptr<Sim> sim;
    Cli cli(QStringList{"record", "-o", csv} + lineFor(c.simArgs, sim) + c.extra);
    if (c.signal) {
      ASSERT_TRUE(cli.waitFor("Запись:"));
      QDeadlineTimer deadline(kPatienceMs);
      while (readAll(csv).count('\n') < 2 && !deadline.hasExpired()) QThread::msleep(50);
      signalProcess(cli.proc, c.signal);
    }
    check(cli, c.expect);
    // A header and whole rows of the same columns, the last one ended.
    const QByteArray text = readAll(csv);
    const QList<QByteArray> rows = text.split('\n');
    ASSERT_GE(rows.size(), 3) << text.toStdString();
    EXPECT_TRUE(rows[0].startsWith("Время,Запись,Режим,")) << rows[0].toStdString();
    EXPECT_TRUE(rows[1].contains(",Значения,")) << rows[1].toStdString();
    EXPECT_TRUE(text.endsWith("\r\n"));
    EXPECT_GE(text.count(",Значения,"), c.valueRows) << text.toStdString();
  }
}

// A device at another rate than --rate: each subcommand that reads the monitor's way ends at
// once and names the option to use.
TEST(Cli, NamesTheRateTheDeviceAnswersAt) {
  QTemporaryDir dir;
  const QStringList commands[] = {{"identify"},
                                  {"eeprom", "dump", "-o", dir.filePath("e.hex")},
                                  {"record", "-o", dir.filePath("r.csv")}};
  for (const QStringList& command : commands) {
    SCOPED_TRACE(command.join(' ').toStdString());
    std::unique_ptr<Sim> sim;
    Cli cli(command + lineFor({"--profile", "gen9", "--device-rate", "9600"}, sim));
    check(cli, {20,
                {"Долго нет ответа при чтении. Устройство отвечает на скорости 9600 — укажите "
                 "--rate 9600"}});
    EXPECT_FALSE(cli.err.contains("Железо")) << cli.err.toStdString();
  }
}

// The ports the window would list, each with a path --port takes; or the window's "Нет COM".
TEST(Cli, ListsThePorts) {
  Cli cli({"ports"});
  ASSERT_EQ(cli.status(), 0);
  const QStringList lines = cli.out.split('\n', Qt::SkipEmptyParts);
  if (lines.isEmpty()) {
    EXPECT_TRUE(cli.err.startsWith("Нет COM"));
  }
  for (const QString& l : lines)
    EXPECT_TRUE(l.section('\t', 1, 1).startsWith("/dev/")) << l.toStdString();
}

}  // namespace

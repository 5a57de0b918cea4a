// The monitor window and its service records with all the program's windows around them, on the
// in-process simulated device, in virtual time: the timer's ticks are given by the test.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSysInfo>
#include <QTableWidget>

#include "app/form_opt_hard.h"
#include "app/form_port_log.h"
#include "app/log_view.h"
#include "common/find.h"
#include "common/sim_rig.h"
#include "monitor/csv_recording.h"
#include "monitor/eeprom_cells.h"
#include "monitor/form_eeprom.h"
#include "monitor/form_eeprom_diff.h"
#include "monitor/form_monitor.h"
#include "monitor/monitor_session.h"
#include "monitor/monitor_sheet.h"
#include "monitor/settings_writes.h"
#include "protocol/result_messages.h"
#include "serial/window_timer.h"
#include "sim/device_model.h"

using namespace lir2;

namespace {

SimConfig stillConfig(const char* profile, const std::function<void(SimConfig&)>& fault) {
  SimConfig cfg = simProfile(profile);
  cfg.firmware.drift = false;
  if (fault) fault(cfg);
  return cfg;
}

// The windows on the simulated device of a profile, its measurements held still, `fault`
// changing its firmware; the monitor's dialogs are answered by the test.
struct Rig : SimApp {
  QString savePath, openPath;
  bool answer = true;
  qsizetype declined = 0;  // the question answered no whatever answer says (1 = the first)
  int choice = 0;          // the button taken of a question with several
  QStringList questions, warnings;

  explicit Rig(const char* profile = "gen9", const std::function<void(SimConfig&)>& fault = {},
               bool openFails = false)
      : SimApp(stillConfig(profile, fault), openFails) {
    WindowDialogs d;
    d.savePath = [this](auto&&...) { return savePath; };
    d.openPath = [this](auto&&...) { return openPath; };
    d.confirm = [this](const QString&, const QString& text) {
      questions << text;
      return answer && questions.size() != declined;
    };
    d.choose = [this](const QString&, const QString& text, const QStringList&) {
      return questions << text, choice;
    };
    d.warn = [this](const QString&, const QString& text) { warnings << text; };
    mon().dialogs = map().dialogs = diff().dialogs = d;
  }
  TFormMonitor& mon() { return *w->FormMonitor; }
  TFormEEProm& map() { return *w->FormEEProm; }
  TFormEEPromDiff& diff() { return *map().diffWindow(); }
  MonitorSession& s() { return *w->monitorSession; }
  const DeviceMemory::Eeprom& eeprom() { return model->memory().eeprom(); }
  // The poll timer's next tick, if it is ticking: its pause passes, then the handler runs.
  bool fire() {
    if (!s().Timer3->isActive()) return false;
    clock.advance(s().Timer3->interval());
    s().Timer3Timer();
    return true;
  }
  void ticks(int n) {
    for (int i = 0; i < n; ++i) ASSERT_TRUE(fire());
  }
  // The monitor started: the parameters and a whole pass over the RAM window.
  Rig& monitoring() {
    action(main(), "Monitor")->trigger();
    ticks(6);
    return *this;
  }
  // A comparison with the file at path: the device's EEPROM is read afresh in the next tick.
  void compare(const QString& path) {
    openPath = path;
    map().B_CompareMapClick();
    ticks(1);
  }
  QString write(const char* name, const QByteArray& bytes) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    return f.fileName();
  }
};

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The Monitor action starts a run from its first tick in text frames, keeping the images and
// the reconnect debt of the last. The window's EEPROM decode chooses the frame format from the
// device's identification; "lir" is the whole built-in device, which starts its program when
// the first command comes.
TEST(FormMonitor, MonitorActionStartsARunThatPollsTheDevice) {
  const std::pair<const char*, bool> cases[] = {{"gen9", true}, {"gen5", false}, {"lir", true}};
  for (auto [profile, binary] : cases) {
    SCOPED_TRACE(profile);
    Rig rig(profile);
    TFormMonitor& m = rig.mon();
    rig.link().frameState().BinaryFrames = true;
    rig.s().poll().RamOffset = 32;
    rig.link().exchange().ReconnectCount = 1;
    rig.s().images().EepromImage[500] = 7;
    child<QPlainTextEdit>(m, "RichEditErr")->setPlainText("old alarm");
    rig.w->FormWritePort->append(u"old");
    action(rig.main(), "Monitor")->trigger();
    EXPECT_FALSE(rig.main().isVisible());
    EXPECT_TRUE(m.isVisible());
    EXPECT_EQ(rig.main().RunMode, '!');
    EXPECT_TRUE(child<QPlainTextEdit>(m, "RichEditErr")->toPlainText().isEmpty());
    EXPECT_EQ(rig.w->FormWritePort->logText(), "");
    EXPECT_EQ(rig.s().Timer3->interval(), 10);
    EXPECT_FALSE(rig.link().frameState().BinaryFrames);
    EXPECT_EQ(rig.s().poll().RamOffset, 0);
    ASSERT_TRUE(rig.fire());
    EXPECT_EQ(rig.link().frameState().BinaryFrames, binary);
    rig.ticks(5);
    EXPECT_EQ(rig.link().exchange().ReconnectCount, 0);  // the first good tick paid it back
    EXPECT_EQ(rig.s().images().EepromImage[500], 7);
    EXPECT_EQ(child<QProgressBar>(m, "ProgressBarRS232")->value(), 6);
    // Closed by the user's hand: polling stops, the line stays open, nothing is reported.
    m.close();
    EXPECT_FALSE(rig.s().Timer3->isEnabled());
    EXPECT_TRUE(rig.main().isVisible());
    EXPECT_EQ(rig.main().RunMode, '!');  // left as the monitor left it
    EXPECT_TRUE(rig.link().port().PortOpen);
    EXPECT_TRUE(rig.sounds.played.empty());
  }
}

// Failing ticks: five silent reconnects, then the sixth failure is reported and the window
// closes.
TEST(FormMonitor, RepeatedFailuresEndTheRunWithTheirMessage) {
  const struct {
    const char* name;
    bool openFails;
    std::function<void(SimConfig&)> fault;
    int code;
    qint64 minMs, maxMs;  // virtual time the six ticks take, their pauses included
  } cases[] = {
      // Each tick waits a little more than 3000 ms for the echo of its first byte; the first
      // one also asks at the four other rates whether the device is set to one of them.
      {"device falls silent", false, [](SimConfig& s) { s.firmware.silentAfterFrames = 0; }, 20,
       10 * 3000, 10 * 3000 + 6 * 300 + 100},
      // Every command fails at its first byte, at once; what ended the run is the port that
      // does not open, and that is what the report says, with the reason.
      {"port cannot be opened", true, {}, 2, 0, 6 * 310},
      {"device answers every command with an error", false,
       [](SimConfig& s) { s.firmware.errorByte = 0x10; }, 25, 0, 6 * 310},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig("gen9", c.fault, c.openFails);
    TFormMonitor& m = rig.mon();
    action(rig.main(), "Monitor")->trigger();
    for (int i = 1; i <= 5; ++i) {
      ASSERT_TRUE(rig.fire());
      EXPECT_EQ(rig.link().exchange().ReconnectCount, i);
      // Silent: the failure is neither shown nor heard.
      EXPECT_TRUE(m.isVisible());
      EXPECT_NE(rig.main().errorText(), resultMessage(resultFromCode(c.code)));
      EXPECT_TRUE(rig.sounds.played.empty());
    }
    ASSERT_TRUE(rig.fire());
    EXPECT_FALSE(m.isVisible());
    EXPECT_TRUE(rig.main().isVisible());
    EXPECT_FALSE(rig.s().Timer3->isEnabled());
    EXPECT_EQ(rig.main().stateText(), "Выключенно");
    EXPECT_TRUE(rig.main().errorText().startsWith(resultMessage(resultFromCode(c.code))));
    EXPECT_GE(rig.clock.nowMs(), c.minMs);
    EXPECT_LE(rig.clock.nowMs(), c.maxMs);
    EXPECT_EQ(rig.sounds.played, std::vector<Sound>{Sound::Error});
    EXPECT_EQ(rig.link().exchange().ResultCode, Result::Ok);
    EXPECT_EQ(rig.main().RunMode, '!');
    // The debt is carried into the next run: its first failure is reported at once.
    action(rig.main(), "Monitor")->trigger();
    ASSERT_TRUE(rig.fire());
    EXPECT_FALSE(m.isVisible());
    EXPECT_EQ(rig.sounds.played.size(), 2u);
  }
}

// A device set to another rate than the options: the first tick finds it at its rate, and the
// run ends at once saying which; the options keep their rate.
TEST(FormMonitor, DeviceAtAnotherRateIsNamed) {
  Rig rig("gen9", [](SimConfig& s) { s.lineRate = 9600; });
  action(rig.main(), "Monitor")->trigger();
  ASSERT_TRUE(rig.fire());
  EXPECT_FALSE(rig.mon().isVisible());
  EXPECT_EQ(rig.main().errorText(),
            "Долго нет ответа при чтении. Устройство отвечает на скорости 9600 — выберите её в "
            "«Железо»");
  EXPECT_EQ(rig.w->FormOptHard->settings().BaudRate, 19200);
  EXPECT_EQ(rig.model->hostRate(), 19200);  // the line is back at the configured rate
}

// Closing the window while the first tick looks for the device at the other rates is the user's
// close: nothing reported, no sound, no reconnect; the line is left at the configured rate.
TEST(FormMonitor, CloseDuringTheRateProbeIsTheUsersClose) {
  Rig rig("gen9", [](SimConfig& s) { s.lineRate = 9600; });
  child<QCheckBox>(*rig.w->FormOptHard, "CheckBoxSound")->setChecked(true);
  int openings = 0;
  rig.onWrite = [&] {
    if (openings || rig.model->hostRate() == 19200) return;
    openings = rig.model->portOpenings();
    rig.mon().close();
  };
  action(rig.main(), "Monitor")->trigger();
  rig.fire();
  EXPECT_NE(openings, 0);  // the probe was reached
  EXPECT_EQ(rig.main().errorText(), "");
  EXPECT_TRUE(rig.sounds.played.empty());
  EXPECT_FALSE(rig.s().Timer3->isActive());
  EXPECT_EQ(rig.model->portOpenings(), openings + 1);  // back at 19200, then nothing
  EXPECT_EQ(rig.model->hostRate(), 19200);
  EXPECT_TRUE(rig.main().isVisible());
}

// A silent device: the first failure looks once at the other rates, then five silent reconnects,
// and the sixth failure ends the run: six exchanges of 3000 ms and one probe of four.
TEST(FormMonitor, SilentDeviceEndsTheRunAfterFiveReconnectsAndOneProbe) {
  Rig rig("gen9", [](SimConfig& s) { s.firmware.silentAfterFrames = 0; });
  action(rig.main(), "Monitor")->trigger();
  int ticks = 0;
  while (rig.fire()) ++ticks;
  EXPECT_EQ(ticks, 6);
  EXPECT_LE(rig.clock.nowMs(), (6 + 4) * 3000 + 6 * 300 + 100);
  EXPECT_EQ(rig.main().errorText(), "Долго нет ответа при чтении");
  EXPECT_EQ(rig.model->portOpenings(), 1 + 4 + 1 + 5);  // start, probe and back, reconnects
}

// Typed values at the edges of a signed and an unsigned cell, in both frame formats: a value the
// cell cannot hold turns its field red, says what the field takes, and sends nothing at all;
// the others reach the device's cell as typed.
TEST(FormMonitor, FieldRangesAtTheDevice) {
  const char* const edges[] = {"-129", "-128", "127", "128", "255", "256", "65536"};
  const struct {
    const char *field, *button;
    int address;
    const char* range;
    int bytes[7];  // the cell afterwards, by edge; -1: refused
  } cells[] = {
      {"E_I_0Gen", "B_I_0Gen", 20, "от -128 до 127", {-1, 0x80, 127, -1, -1, -1, -1}},
      {"E_DeathTime", "B_DeathTime", 23, "от 0 до 255", {-1, -1, 127, 128, 255, -1, -1}},
  };
  for (const auto& [profile, binary] : {std::pair{"gen5", false}, std::pair{"gen9", true}}) {
    Rig rig(profile);
    rig.mon().applyServiceMode(true);
    rig.monitoring();
    ASSERT_EQ(rig.link().frameState().BinaryFrames, binary) << profile;
    MonitorSheet& sheet = rig.mon().sheet();
    for (const auto& cell : cells) {
      for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(std::string(profile) + " " + cell.field + " " + edges[i]);
        rig.model->memory().write(cell.address, 0x55);
        qobject_cast<QLineEdit*>(sheet.control(cell.field))->setText(edges[i]);
        const QByteArray sent = rig.wire;
        qobject_cast<QAbstractButton*>(sheet.control(cell.button))->click();
        if (cell.bytes[i] < 0) {
          EXPECT_EQ(rig.wire, sent);
          EXPECT_EQ(rig.eeprom()[cell.address], 0x55);
          EXPECT_TRUE(child<QLabel>(sheet, "L_FieldError")->text().contains(cell.range))
              << child<QLabel>(sheet, "L_FieldError")->text().toStdString();
        } else {
          EXPECT_NE(rig.wire, sent);
          EXPECT_EQ(rig.eeprom()[cell.address], cell.bytes[i]);
          EXPECT_TRUE(child<QLabel>(sheet, "L_FieldError")->text().isEmpty());
        }
      }
    }
  }
}

// "Инициализация" asks first, naming what it resets. Cancelled, nothing goes out; agreed to, the
// command goes out exactly as it did when it was not asked; with a backup, the EEPROM is read and
// saved first, and a backup that cannot be saved stops it. The log says what happened.
TEST(FormMonitor, InitialisationAsksFirstAndOffersABackup) {
  enum { Backup, WithoutBackup, Cancel, NoDialog };
  const struct {
    const char* name;
    int choice;
    bool unwritable, initialised;
    const char* logged;
  } cases[] = {
      {"cancelled", Cancel, false, false, ""},
      {"no one to ask", NoDialog, false, false, ""},
      {"without a backup", WithoutBackup, false, true, "Инициализация выполнена"},
      {"with a backup", Backup, false, true, "Копия EEPROM сохранена"},
      {"backup not saved", Backup, true, false, "Инициализация не выполнена"},
  };
  for (const char* profile : {"gen9", "gen5"}) {
    QByteArray command;  // written directly, as the button wrote it before it asked
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(profile) + " " + c.name);
      Rig rig(profile);
      rig.monitoring();
      if (command.isEmpty()) {
        const qsizetype at = rig.wire.size();
        rig.s().sendCommand(DeviceCommand::InitEeprom);
        command = rig.wire.mid(at);
        child<QPlainTextEdit>(rig.mon(), "RichEditErr")->clear();
      }
      rig.model->memory().write(64, 0x70);  // a calibration the factory's image does not hold
      const DeviceMemory::Eeprom before = rig.eeprom();
      rig.choice = c.choice;
      if (c.choice == NoDialog) rig.mon().dialogs.choose = nullptr;
      rig.savePath = rig.dir.filePath(c.unwritable ? "no/such/folder/copy.hex" : "before-init");
      const qsizetype at = rig.wire.size();
      qobject_cast<QAbstractButton*>(rig.mon().sheet().control("B_InitEE"))->click();
      if (c.choice == Backup) {
        rig.ticks(1);                       // the map for the backup
        QCoreApplication::processEvents();  // then the command, between two ticks
      }
      const QByteArray sent = rig.wire.mid(at);
      EXPECT_EQ(rig.questions.size(), c.choice == NoDialog ? 0 : 1);
      for (const QString& q : rig.questions)
        EXPECT_TRUE(q.contains("всю EEPROM устройства к заводским значениям") &&
                    q.contains("калибровка"));
      EXPECT_EQ(rig.eeprom()[64] != 0x70, c.initialised);
      // Nothing at all, the command alone, or the map's reads and then the command.
      EXPECT_EQ(sent.endsWith(command), c.initialised);
      EXPECT_EQ(sent.isEmpty(), c.choice >= Cancel);
      EXPECT_EQ(sent == command, c.choice == WithoutBackup);
      if (c.choice == Backup && !c.unwritable) {
        const EepromHexRead copy = readEepromHexFile(rig.savePath + ".hex");
        ASSERT_TRUE(copy.file) << copy.error.toStdString();
        EXPECT_TRUE(std::equal(before.begin(), before.end(), copy.file->data.begin()));
      }
      EXPECT_EQ(rig.warnings.size(), c.unwritable ? 1 : 0);
      const QString log = child<QPlainTextEdit>(rig.mon(), "RichEditErr")->toPlainText();
      EXPECT_TRUE(*c.logged ? log.contains(QString::fromUtf8(c.logged)) : log.isEmpty())
          << log.toStdString();
    }
  }
}

// With -s on a laptop's screen (1366 or 1024 wide, about 700 high under the title and the task
// bar) every control keeps at least the size it asks for, none covers another, and all of the
// sheet is in view: the alarm log gives up its height first.
TEST(FormMonitor, ServiceSheetFitsALaptopScreen) {
  for (const char* profile : {"gen9", "gen5"}) {
    Rig rig(profile);
    rig.mon().applyServiceMode(true);
    rig.monitoring();
    TFormMonitor& m = rig.mon();
    for (const QSize size : {QSize(1366, 700), QSize(1024, 700)}) {
      SCOPED_TRACE(std::string(profile) + " " + std::to_string(size.width()));
      m.resize(size);
      for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
      ASSERT_EQ(m.size(), size);
      const auto* area = m.findChild<QScrollArea*>("SheetArea");
      ASSERT_NE(area, nullptr);
      const QRect view(area->viewport()->mapTo(&m, QPoint()), area->viewport()->size());
      QList<QPair<QString, QRect>> placed;
      QList<QWidget*> controls{child<QPushButton>(m, "B_Record"), child<QPushButton>(m, "B_Trend"),
                               child<QPlainTextEdit>(m, "RichEditErr"),
                               child<QProgressBar>(m, "ProgressBarRS232")};
      for (const QString& name : m.sheet().controlNames()) {
        QWidget* w = m.sheet().control(name);
        // Containers hold controls; the controls themselves are what must not collide.
        if (!qobject_cast<QGroupBox*>(w) && name != "PC_Mon" && name != "TS_LIR") controls << w;
      }
      for (QWidget* w : controls) {
        if (!w->isVisibleTo(&m)) continue;
        const QString name = w->objectName();
        const QSize least = (w->minimumSize().isNull() ? w->minimumSizeHint() : w->minimumSize())
                                .boundedTo(w->maximumSize());
        EXPECT_GE(w->width(), least.width()) << name.toStdString();
        EXPECT_GE(w->height(), std::min(w->sizeHint().height(), w->maximumHeight()))
            << name.toStdString();
        const QRect at(w->mapTo(&m, QPoint()), w->size());
        if (w->parentWidget() != &m) {
          EXPECT_TRUE(view.contains(at)) << name.toStdString();
        }
        for (const auto& [other, rect] : placed)
          EXPECT_FALSE(rect.intersects(at)) << name.toStdString() << " / " << other.toStdString();
        placed.append({name, at});
      }
      EXPECT_GE(child<QPlainTextEdit>(m, "RichEditErr")->height(),
                child<QPlainTextEdit>(m, "RichEditErr")->minimumSizeHint().height());
    }
  }
}

// Dump, save, three cells changed on the device, compare, restore: the device holds the saved
// file again.
TEST(Records, EepromRoundTripRestoresTheSavedCells) {
  Rig rig;
  rig.monitoring().mon().sheet().SB_EEPromMapClick();
  rig.ticks(1);
  rig.savePath = rig.dir.filePath("backup");  // the type's extension is added
  rig.map().B_SaveMapClick();
  const QString path = rig.dir.filePath("backup.hex");
  const EepromHexRead saved = readEepromHexFile(path);
  ASSERT_TRUE(saved.file) << saved.error.toStdString();
  EXPECT_TRUE(std::equal(rig.eeprom().begin(), rig.eeprom().end(), saved.file->data.begin()));

  // A broken file is refused before anything is read or written.
  rig.compare(rig.write("broken.hex", fileBytes(path).replace(":10000000", ":10000001")));
  ASSERT_EQ(rig.warnings.size(), 1);
  EXPECT_TRUE(rig.warnings[0].contains("не принят: строка 2: неверная контрольная сумма"))
      << rig.warnings[0].toStdString();
  EXPECT_FALSE(rig.diff().isVisible());
  EXPECT_TRUE(child<QPushButton>(rig.map(), "B_CompareMap")->isEnabled());

  const std::map<int, quint8> changes = {
      {23, quint8(rig.eeprom()[23] + 1)}, {64, 100}, {900, 0x42}};
  QList<CellDifference> want;
  for (auto [a, v] : changes) {
    rig.model->memory().write(a, v);
    want.append({quint16(a), v, saved.file->data[a], eepromCellMeaning(a)});
  }
  rig.compare(path);
  ASSERT_TRUE(rig.diff().isVisible());
  EXPECT_EQ(rig.diff().differences(), want);
  EXPECT_EQ(want[1].meaning, "Коррекция тока АКБ");

  rig.diff().B_SelectAllClick();
  rig.diff().B_WriteSelectedClick();
  ASSERT_EQ(rig.questions.size(), 1);  // the same device: only the list of changes is asked
  EXPECT_TRUE(rig.questions[0].contains(QString("0x040 (64) Коррекция тока АКБ: 0x64 (100) → %1")
                                            .arg(cellValueText(saved.file->data[64]))));
  EXPECT_TRUE(std::equal(rig.eeprom().begin(), rig.eeprom().end(), saved.file->data.begin()));
  EXPECT_TRUE(rig.diff().differences().isEmpty());
  EXPECT_EQ(child<QLabel>(rig.diff(), "L_RestoreState")->text(),
            "Записано ячеек: 3. EEPROM прочитана заново и совпадает с файлом.");
  EXPECT_TRUE(rig.s().Timer3->isActive());  // the monitor polls on
}

// What a restore refuses or stops at, and what it then says: nothing of another device's file
// is written unless the user agrees, the command register and the identification never, and a
// failed write names the cells written before it, a stop those written before it.
TEST(Records, RestoreWarnsRefusesAndStops) {
  enum After { Nothing, LineFails, UserStops };
  const struct {
    const char* name;
    bool otherDevice;  // the file is a gen5 board's
    bool answer;
    qsizetype declined;               // the question answered no
    std::vector<EepromWrite> direct;  // cells asked of the monitor directly, not through the window
    After afterFirst;                 // what happens once the first cell is written
    int questions;
    const char* state;
    std::vector<int> written;
  } cases[] = {
      {"other device, not confirmed", true, false, 0, {}, Nothing, 1, "", {}},
      // Another board generation and power: a second, explicit question.
      {"other kind, second question declined", true, true, 2, {}, Nothing, 2, "", {}},
      {"other device, confirmed", true, true, 0, {}, Nothing, 3, "Записано ячеек: 2", {23, 30}},
      {"identification cells", false, true, 0, {{30, 1}, {4, 1}}, Nothing, 0, "", {}},
      {"beyond the EEPROM", false, true, 0, {{1024, 1}}, Nothing, 0, "", {}},
      // clang-format off
      {"stopped after the first", false, true, 0, {}, UserStops, 1, "Запись остановлена. Записано "
       "ячеек: 1 (0x017 (23)). EEPROM прочитана заново: от файла отличаются ещё ячеек: 1.", {23}},
      {"second write fails", false, true, 0, {}, LineFails, 1, "Запись прервана на ячейке 0x01E (30): "
       "Ошибка записи COM порта. Записаны ячейки (1): 0x017 (23).", {23}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.monitoring().answer = c.answer;
    rig.declined = c.declined;
    const DeviceMemory::Eeprom before = rig.eeprom();
    DeviceMemory::Eeprom target = before;
    target[23] ^= 0x11, target[30] ^= 0x22;
    if (c.otherDevice)  // its identification
      std::copy_n(DeviceMemory::defaultEeprom(simProfile("gen5").firmware).begin(), 7,
                  target.begin());
    if (!c.direct.empty()) {
      EepromRestoreResult result;
      QObject::connect(&rig.s(), &MonitorSession::restoreFinished,
                       [&](const EepromRestoreResult& r) { result = r; });
      rig.s().restoreEeprom(QList<EepromWrite>(c.direct.begin(), c.direct.end()));
      EXPECT_FALSE(result.refusal.isEmpty());
      EXPECT_TRUE(result.written.isEmpty());
    } else {
      rig.compare(
          rig.write("target.hex", writeEepromHex(target, QDateTime::currentDateTime(), "8.0")));
      for (int row = 0; row < rig.diff().differences().size(); ++row)
        if (QList<int>{23, 30}.contains(rig.diff().differences()[row].address))
          child<QTableWidget>(rig.diff(), "TW_Diff")->item(row, 0)->setCheckState(Qt::Checked);
      QObject::connect(&rig.s(), &MonitorSession::restoreProgress, [&rig, &c](int written, int) {
        if (written == 1 && c.afterFirst == LineFails) rig.device->setWriteFails(true);
        if (written == 1 && c.afterFirst == UserStops) rig.diff().B_StopRestoreClick();
      });
      rig.diff().B_WriteSelectedClick();
      EXPECT_EQ(rig.questions.size(), c.questions);
      if (c.otherDevice) {  // both devices named, as the identification labels name them
        const QString both = "В файле: " + identityOf(target).describe() +
                             ".\nНа линии: " + identityOf(before).describe() + ".";
        EXPECT_TRUE(rig.questions[0].contains(both)) << rig.questions[0].toStdString();
        EXPECT_TRUE(both.contains("LCD Ver 5") && both.contains("LCD SIN  Ver 9"));
      }
      if (c.questions > 1 && c.otherDevice) {
        EXPECT_TRUE(
            rig.questions[1].contains("другого типа: плата LCD в файле, LCD SIN на линии; "
                                      "поколение 5 в файле, 9 на линии"))
            << rig.questions[1].toStdString();
      }
      EXPECT_TRUE(child<QLabel>(rig.diff(), "L_RestoreState")->text().startsWith(c.state))
          << child<QLabel>(rig.diff(), "L_RestoreState")->text().toStdString();
    }
    for (int a = 0; a < 1024; ++a) {
      const bool written = std::find(c.written.begin(), c.written.end(), a) != c.written.end();
      ASSERT_EQ(rig.eeprom()[a], written ? target[a] : before[a]) << a;
    }
  }
}

// RFC 4180: a field is quoted ("" inside it is one quote) or plain; rows end in CR LF.
QList<QStringList> parseCsv(const QString& text) {
  static const QRegularExpression field(R"re(("(?:[^"]|"")*"|[^,"\r\n]*)(,|\r\n))re");
  QList<QStringList> rows{{}};
  qsizetype at = 0;
  for (const QRegularExpressionMatch& m : field.globalMatch(text)) {
    EXPECT_EQ(m.capturedStart(), at) << "not CSV: " << text.mid(at, 40).toStdString();
    at = m.capturedEnd();
    QString f = m.captured(1);
    rows.last() << (f.startsWith('"') ? f.mid(1).chopped(1).replace("\"\"", "\"") : f);
    if (m.captured(2) == "\r\n") rows << QStringList();
  }
  EXPECT_EQ(at, text.size());
  rows.removeLast();
  return rows;
}

// The rows of a run with fixed RAM cells hold what the labels show, with a decimal point; the
// recording goes on through a silent reconnect and ends with the run. A file that cannot be
// written stops only the recording.
TEST(Records, CsvRowsHoldTheLabelsValues) {
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  Rig rig;
  DeviceMemory& memory = rig.monitoring().model->memory();
  // A file that cannot be made, or a device named as the file, stops the recording with a
  // message (a full disk: saving_test.cpp); the monitor polls on.
  const std::pair<const char*, const char*> unwritable[] = {
      {"missing/values.csv", "не создаётся"},
      {"/dev/full", "не создаётся: это устройство, а не обычный файл"}};
  for (auto [path, message] : unwritable) {
    SCOPED_TRACE(path);
    // A disk that is full on demand is Linux's; Windows has none.
    if (QString(path) == "/dev/full" && QSysInfo::kernelType() != "linux") continue;
    rig.warnings.clear();
    rig.savePath = QString(path).startsWith('/') ? path : rig.dir.filePath(path);
    rig.mon().B_RecordClick();
    ASSERT_EQ(rig.warnings.size(), 1);
    EXPECT_TRUE(rig.warnings[0].contains(message)) << rig.warnings[0].toStdString();
    EXPECT_FALSE(rig.mon().recording().isRecording());
    EXPECT_EQ(child<QPushButton>(rig.mon(), "B_Record")->text(), "Запись...");
    EXPECT_TRUE(child<QPushButton>(rig.mon(), "B_Record")->isEnabled());
    const int before = rig.s().poll().ActivityCount;
    rig.ticks(3);
    EXPECT_EQ(rig.s().poll().ActivityCount, before + 3);
  }
  memory.setLive(false);
  const std::pair<int, int> cells[] = {{0, 4},   {2, 1},   {12, 30},   {5, 0},     {6, 251},
                                       {7, 126}, {8, 12},  {34, 130},  {39, 125},  {35, 3},
                                       {49, 41}, {67, 1},  {68, 0x80}, {36, 13},   {46, 75},
                                       {47, 96}, {48, 40}, {60, 0},    {44, 0x81}, {42, 0}};
  for (auto [offset, value] : cells) memory.write(1024 + offset, quint8(value));
  rig.ticks(2);  // the alarms stand, and are logged, before the recording starts
  rig.savePath = rig.dir.filePath("values.csv");
  rig.mon().B_RecordClick();
  EXPECT_EQ(child<QPushButton>(rig.mon(), "B_Record")->text(), "Стоп записи");
  rig.ticks(5);
  rig.device->setWriteFails(true);  // a failed tick: the line is opened again, silently
  rig.ticks(7);
  EXPECT_EQ(rig.link().exchange().ReconnectCount, 0);
  EXPECT_EQ(child<QPushButton>(rig.mon(), "B_Record")->text(), "Стоп записи");
  rig.mon().close();  // the run ends, and the recording with it
  EXPECT_EQ(child<QPushButton>(rig.mon(), "B_Record")->text(), "Запись...");

  const QList<QStringList> rows = parseCsv(QString::fromUtf8(fileBytes(rig.savePath)));
  ASSERT_GE(rows.size(), 4);
  EXPECT_EQ(rows[0], csvColumns());
  EXPECT_EQ(child<QLabel>(rig.mon(), "L_Record")->text(),
            QString("Записано в values.csv: строк %1").arg(rows.size() - 1));
  QStringList alarms, last;
  static const QRegularExpression iso(
      "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$");
  for (const QStringList& row : rows.mid(1)) {
    ASSERT_EQ(row.size(), rows[0].size());
    EXPECT_TRUE(iso.match(row[0]).hasMatch()) << row[0].toStdString();
    if (row[1] == "Тревога") alarms << row[19] + "/" + row[20] + " " + row.back();
    if (row[1] == "Значения") last = row;
  }
  // The alarms standing at the start, then each as the log shows it: again after the
  // reconnect's settings refresh.
  QStringList logged = child<QPlainTextEdit>(rig.mon(), "RichEditErr")->toPlainText().split('\n');
  for (QString& line : logged) line = line.section("    ", 1);
  ASSERT_EQ(alarms.size(), 4);
  for (int i = 0; i < alarms.size(); ++i)
    EXPECT_EQ(alarms[i], (i % 2 ? "44/7 " : "44/0 ") + logged.value(i));
  EXPECT_EQ(logged.mid(0, 2), QStringList({"Аккумулятор разряжен", "Многократное КЗ Заряда"}));

  // The last row of values against the labels: the number, the point for the comma.
  // clang-format off
  const std::pair<const char*, const char*> columns[] = {
      {"Режим работы", "L_OnOff"}, {"Напряжение АКБ, В", "L_UAcc"}, {"Ток АКБ, А", "L_IAcc"},
      {"Напряжение АКБ под нагрузкой, В", "L_UAccLoad"}, {"Вход сети, В", "Lb_UNET"},
      {"Выход ЛИР, В", "Lb_UOUT"}, {"Ток сети, А", "Lb_INET"}, {"Мощность, кВт", "Lb_Pow"},
      {"Температура окр. среды, °C", "L_Tokr"}, {"Температура транса, °C", "L_Ttrans"},
      {"Температура транзисторов, °C", "L_Tirf"}};
  // clang-format on
  static const QRegularExpression number("^[+-]?\\d+(,\\d+)?");
  for (auto [column, control] : columns) {
    const QString shown = static_cast<QLabel*>(rig.mon().sheet().control(control))->text();
    QString want = QString(control) == "L_OnOff" ? shown : number.match(shown).captured(0);
    if (QString(control) != "L_OnOff") {
      if (want.startsWith('+') || want == "-0") want = QString::number(want.toInt());
      want.replace(',', '.');
    }
    EXPECT_EQ(last.value(csvColumns().indexOf(column)), want)
        << column << " / " << shown.toStdString();
  }
  EXPECT_EQ(last.mid(2, 2),
            QStringList({"4", "Включен, Пропускаем сеть, Идет поддерживающий заряд"}));
  EXPECT_EQ(last.mid(15, 4), QStringList({"0", "0", "129", "0"}));
  QLocale::setDefault(QLocale::c());
}

}  // namespace

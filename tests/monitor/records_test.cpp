// Service records with all the program's windows on the in-process simulated device, in virtual
// time: the EEPROM backup's round trip and restore, the CSV recording.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>

#include "app/app_windows.h"
#include "app/form_main.h"
#include "common/recorders.h"
#include "monitor/csv_recording.h"
#include "monitor/eeprom_cells.h"
#include "monitor/form_eeprom.h"
#include "monitor/form_eeprom_diff.h"
#include "monitor/form_monitor.h"
#include "monitor/monitor_session.h"
#include "monitor/monitor_sheet.h"
#include "protocol/device_link.h"
#include "serial/window_timer.h"
#include "sim/device_model.h"
#include "sim/simulated_device.h"

namespace {

// The windows on a simulated device held still, their dialogs answered by the test.
struct Rig {
  QTemporaryDir dir;
  VirtualClock clock;
  SoundRecorder sounds;
  std::shared_ptr<DeviceModel> model;
  SimulatedSerialDevice* line = nullptr;  // the line of the last opening
  std::unique_ptr<AppWindows> w;
  QString savePath, openPath;
  bool answer = true;
  QStringList questions, warnings;

  explicit Rig(const char* profile = "gen9") {
    SimConfig cfg = *simConfigForProfile(profile);
    cfg.firmware.drift = false;
    model = std::make_shared<DeviceModel>(cfg);
    AppOptions options;
    options.configPath = dir.filePath("data/config.txt");
    options.simulatedDevice = [this](const PortEntry&) {
      auto device = std::make_unique<SimulatedSerialDevice>(model, clock);
      line = device.get();
      return device;
    };
    w = std::make_unique<AppWindows>(options, clock, sounds);
    WindowDialogs d;
    d.savePath = [this](auto&&...) { return savePath; };
    d.openPath = [this](auto&&...) { return openPath; };
    d.confirm = [this](const QString&, const QString& text) { return questions << text, answer; };
    d.warn = [this](const QString&, const QString& text) { warnings << text; };
    mon().dialogs = map().dialogs = diff().dialogs = d;
    w->FormMain->show();
    w->FormMain->Monitor->trigger();
    ticks(6);  // the parameters and a whole pass over the RAM window
  }
  TFormMonitor& mon() { return *w->FormMonitor; }
  TFormEEProm& map() { return *w->FormEEProm; }
  TFormEEPromDiff& diff() { return *map().diffWindow(); }
  MonitorSession& s() { return *w->monitorSession; }
  const DeviceMemory::Eeprom& eeprom() { return model->memory().eeprom(); }
  void ticks(int n) {
    for (int i = 0; i < n; ++i) {
      ASSERT_TRUE(s().Timer3->isActive());
      clock.advance(s().Timer3->interval());
      s().Timer3Timer();
    }
  }
  // A comparison with the file at path: the device's EEPROM is read afresh in the next tick.
  void compare(const QString& path) {
    openPath = path;
    map().B_CompareMapClick();
    ticks(1);
  }
  // Chooses the rows of these addresses.
  void choose(std::initializer_list<int> addresses) {
    for (int row = 0; row < diff().differences().size(); ++row)
      if (std::find(addresses.begin(), addresses.end(), diff().differences()[row].address) !=
          addresses.end())
        diff().TW_Diff->item(row, 0)->setCheckState(Qt::Checked);
  }
};

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Dump, save, three cells changed on the device, compare, restore: the device holds the saved
// file again.
TEST(Records, EepromRoundTripRestoresTheSavedCells) {
  Rig rig;
  rig.mon().sheet().SB_EEPromMapClick();
  rig.ticks(1);
  rig.savePath = rig.dir.filePath("backup");  // the type's extension is added
  rig.map().B_SaveMapClick();
  const QString path = rig.dir.filePath("backup.hex");
  const EepromHexRead saved = ReadEepromHexFile(path);
  ASSERT_TRUE(saved.file) << saved.error.toStdString();
  EXPECT_TRUE(std::equal(rig.eeprom().begin(), rig.eeprom().end(), saved.file->data.begin()));
  EXPECT_EQ(saved.file->identity, IdentityOf(saved.file->data));

  // A broken file is refused before anything is read or written.
  QFile broken(rig.dir.filePath("broken.hex"));
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  broken.write(ReadAll(path).replace(":10000000", ":10000001"));
  broken.close();
  rig.compare(broken.fileName());
  ASSERT_EQ(rig.warnings.size(), 1);
  EXPECT_TRUE(rig.warnings[0].contains("не принят: строка 2: неверная контрольная сумма"))
      << rig.warnings[0].toStdString();
  EXPECT_FALSE(rig.diff().isVisible());
  EXPECT_TRUE(rig.map().B_CompareMap->isEnabled());

  const std::map<int, quint8> changes = {
      {23, quint8(rig.eeprom()[23] + 1)}, {64, 100}, {900, 0x42}};
  for (auto [a, v] : changes) rig.model->memory().write(a, v);
  rig.compare(path);
  ASSERT_TRUE(rig.diff().isVisible());
  ASSERT_EQ(rig.diff().differences().size(), 3);
  for (const CellDifference& d : rig.diff().differences()) {
    ASSERT_TRUE(changes.count(d.address)) << d.address;
    EXPECT_EQ(d.device, changes.at(d.address));
    EXPECT_EQ(d.file, saved.file->data[d.address]);
    EXPECT_EQ(d.meaning, EepromCellMeaning(d.address));
  }
  EXPECT_EQ(rig.diff().differences()[1].meaning, "Коррекция тока АКБ");

  rig.diff().B_SelectAllClick();
  rig.diff().B_WriteSelectedClick();
  ASSERT_EQ(rig.questions.size(), 1);  // the same device: only the list of changes is asked
  EXPECT_TRUE(rig.questions[0].contains(QString("0x040 (64) Коррекция тока АКБ: 0x64 (100) → %1")
                                            .arg(CellValueText(saved.file->data[64]))));
  EXPECT_TRUE(std::equal(rig.eeprom().begin(), rig.eeprom().end(), saved.file->data.begin()));
  EXPECT_TRUE(rig.diff().differences().isEmpty());
  EXPECT_EQ(rig.diff().L_RestoreState->text(),
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
    std::vector<EepromWrite> direct;  // cells asked of the monitor directly, not through the window
    After afterFirst;                 // what happens once the first cell is written
    int questions;
    const char* state;
    std::vector<int> written;
  } cases[] = {
      {"other device, not confirmed", true, false, {}, Nothing, 1, "", {}},
      {"other device, confirmed", true, true, {}, Nothing, 2, "Записано ячеек: 2", {23, 30}},
      {"identification cells", false, true, {{30, 1}, {4, 1}}, Nothing, 0, "", {}},
      {"beyond the EEPROM", false, true, {{1024, 1}}, Nothing, 0, "", {}},
      {"stopped after the first",
       false,
       true,
       {},
       UserStops,
       1,
       "Запись остановлена. Записано ячеек: 1 (0x017 (23)). EEPROM прочитана заново: от файла "
       "отличаются ещё ячеек: 1.",
       {23}},
      {"second write fails",
       false,
       true,
       {},
       LineFails,
       1,
       "Запись прервана на ячейке 0x01E (30): Ошибка записи COM порта. Записаны ячейки (1): "
       "0x017 (23).",
       {23}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.answer = c.answer;
    const DeviceMemory::Eeprom before = rig.eeprom();
    DeviceMemory::Eeprom target = before;
    target[23] ^= 0x11, target[30] ^= 0x22;
    if (c.otherDevice) {
      SimConfig gen5 = *simConfigForProfile("gen5");
      const DeviceMemory::Eeprom other = DeviceMemory::defaultEeprom(gen5.firmware);
      std::copy_n(other.begin(), 7, target.begin());  // its identification
    }
    const QString path = rig.dir.filePath("target.hex");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(WriteEepromHex(target, QDateTime::currentDateTime(), "8.0"));
    f.close();

    if (!c.direct.empty()) {
      EepromRestoreResult result;
      QObject::connect(&rig.s(), &MonitorSession::restoreFinished,
                       [&](const EepromRestoreResult& r) { result = r; });
      rig.s().restoreEeprom(QList<EepromWrite>(c.direct.begin(), c.direct.end()));
      EXPECT_FALSE(result.refusal.isEmpty());
      EXPECT_TRUE(result.written.isEmpty());
    } else {
      rig.compare(path);
      rig.choose({23, 30});
      QObject::connect(&rig.s(), &MonitorSession::restoreProgress, [&rig, &c](int written, int) {
        if (written != 1) return;
        if (c.afterFirst == LineFails) rig.line->setWriteFails(true);
        if (c.afterFirst == UserStops) rig.diff().B_StopRestoreClick();
      });
      rig.diff().B_WriteSelectedClick();
      EXPECT_EQ(rig.questions.size(), c.questions);
      if (c.otherDevice) {  // both devices named, as the identification labels name them
        const QString both = "В файле: " + IdentityOf(target).describe() +
                             ".\nНа линии: " + IdentityOf(before).describe() + ".";
        EXPECT_TRUE(rig.questions[0].contains(both)) << rig.questions[0].toStdString();
        EXPECT_TRUE(both.contains("LCD Ver 5") && both.contains("LCD SIN  Ver 9"));
      }
      EXPECT_TRUE(rig.diff().L_RestoreState->text().startsWith(c.state))
          << rig.diff().L_RestoreState->text().toStdString();
    }
    for (int a = 5; a < 1024; ++a) {
      const bool written = std::find(c.written.begin(), c.written.end(), a) != c.written.end();
      ASSERT_EQ(rig.eeprom()[a], written ? target[a] : before[a]) << a;
    }
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 5, rig.eeprom().begin()));
  }
}

// RFC 4180: fields split at commas outside quotes, "" inside quotes is one quote, rows end in
// CR LF.
QList<QStringList> ParseCsv(const QString& text) {
  QList<QStringList> rows;
  QStringList row;
  QString field;
  bool quoted = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar ch = text[i];
    if (quoted) {
      if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"')
        field += '"', ++i;
      else if (ch == '"')
        quoted = false;
      else
        field += ch;
    } else if (ch == '"') {
      quoted = true;
    } else if (ch == ',') {
      row << field, field.clear();
    } else if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      rows << (row << field), row.clear(), field.clear(), ++i;
    } else {
      field += ch;
    }
  }
  return rows;
}

// The rows of a run with fixed RAM cells hold what the labels show, with a decimal point; the
// recording goes on through a silent reconnect and ends with the run.
TEST(Records, CsvRowsHoldTheLabelsValues) {
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  Rig rig;
  DeviceMemory& memory = rig.model->memory();
  memory.setLive(false);
  const std::pair<int, int> cells[] = {{0, 4},   {2, 1},   {12, 30},   {5, 0},     {6, 251},
                                       {7, 126}, {8, 12},  {34, 130},  {39, 125},  {35, 3},
                                       {49, 41}, {67, 1},  {68, 0x80}, {36, 13},   {46, 75},
                                       {47, 96}, {48, 40}, {60, 0},    {44, 0x81}, {42, 0}};
  for (auto [offset, value] : cells) memory.write(1024 + offset, quint8(value));
  rig.savePath = rig.dir.filePath("values.csv");
  rig.mon().B_RecordClick();
  EXPECT_EQ(rig.mon().B_Record->text(), "Стоп записи");
  rig.ticks(5);
  rig.line->setWriteFails(true);  // a failed tick: the line is opened again, silently
  rig.ticks(7);
  EXPECT_EQ(rig.w->link->exchange().ReconnectCount, 0);
  EXPECT_EQ(rig.mon().B_Record->text(), "Стоп записи");
  rig.mon().close();  // the run ends, and the recording with it
  EXPECT_EQ(rig.mon().B_Record->text(), "Запись...");

  const QList<QStringList> rows = ParseCsv(QString::fromUtf8(ReadAll(rig.savePath)));
  ASSERT_GE(rows.size(), 4);
  EXPECT_EQ(rows[0], CsvColumns());
  EXPECT_EQ(rig.mon().L_Record->text(),
            QString("Записано в values.csv: строк %1").arg(rows.size() - 1));
  QStringList alarms;
  for (const QStringList& row : rows.mid(1)) {
    ASSERT_EQ(row.size(), rows[0].size());
    EXPECT_TRUE(
        QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$")
            .match(row[0])
            .hasMatch())
        << row[0].toStdString();
    if (row[1] == "Тревога") alarms << row[19] + "/" + row[20] + " " + row.back();
  }
  // The alarms of the log, each as it appeared: again after the reconnect's settings refresh.
  QStringList logged = rig.mon().RichEditErr->toPlainText().split('\n');
  for (QString& line : logged) line = line.section("    ", 1);
  ASSERT_EQ(alarms.size(), 4);
  for (int i = 0; i < alarms.size(); ++i)
    EXPECT_EQ(alarms[i], (i % 2 ? "44/7 " : "44/0 ") + logged.value(i));
  EXPECT_EQ(logged.mid(0, 2), QStringList({"Аккумулятор разряжен", "Многократное КЗ Заряда"}));

  // The last row of values against the labels: the number, the point for the comma.
  QStringList last;
  for (const QStringList& row : rows)
    if (row[1] == "Значения") last = row;
  auto label = [&rig](const char* name) {
    return static_cast<QLabel*>(rig.mon().sheet().control(name))->text();
  };
  const std::pair<const char*, const char*> columns[] = {
      {"Режим работы", "L_OnOff"},
      {"Напряжение АКБ, В", "L_UAcc"},
      {"Напряжение АКБ под нагрузкой, В", "L_UAccLoad"},
      {"Ток АКБ, А", "L_IAcc"},
      {"Вход сети, В", "Lb_UNET"},
      {"Выход ЛИР, В", "Lb_UOUT"},
      {"Ток сети, А", "Lb_INET"},
      {"Мощность, кВт", "Lb_Pow"},
      {"Температура окр. среды, °C", "L_Tokr"},
      {"Температура транса, °C", "L_Ttrans"},
      {"Температура транзисторов, °C", "L_Tirf"}};
  static const QRegularExpression number("^[+-]?\\d+(,\\d+)?");
  for (auto [column, control] : columns) {
    const QString shown = label(control);
    QString want = QString(control) == "L_OnOff" ? shown : number.match(shown).captured(0);
    if (QString(control) != "L_OnOff") {
      if (want.startsWith('+') || want == "-0") want = QString::number(want.toInt());
      want.replace(',', '.');
    }
    EXPECT_EQ(last[CsvColumns().indexOf(column)], want) << column << " / " << shown.toStdString();
  }
  EXPECT_EQ(last.mid(2, 2),
            QStringList({"4", "Включен, Пропускаем сеть, Идет поддерживающий заряд"}));
  EXPECT_EQ(last.mid(4, 11), QStringList({"25.1", "25.2", "24", "230", "225", "-2.6", "1.3", "25",
                                          "46", "-10", "30"}));
  EXPECT_EQ(last.mid(15, 4), QStringList({"0", "0", "129", "0"}));
  QLocale::setDefault(QLocale::c());
}

// A file that cannot be made or that fills the disk stops the recording with a message; the
// monitor polls on.
TEST(Records, UnwritableCsvStopsTheRecordingNotTheMonitor) {
  const std::pair<const char*, const char*> cases[] = {
      {"missing/values.csv", "не создаётся"},
      {"/dev/full", "остановлена: не записывается даже заголовок (No space left on device)"}};
  for (auto [path, message] : cases) {
    SCOPED_TRACE(path);
    Rig rig;
    rig.savePath = QString(path).startsWith('/') ? path : rig.dir.filePath(path);
    rig.mon().B_RecordClick();
    ASSERT_EQ(rig.warnings.size(), 1);
    EXPECT_TRUE(rig.warnings[0].contains(message)) << rig.warnings[0].toStdString();
    EXPECT_FALSE(rig.mon().recording().isRecording());
    EXPECT_EQ(rig.mon().B_Record->text(), "Запись...");
    EXPECT_TRUE(rig.mon().B_Record->isEnabled());
    const int before = rig.s().poll().ActivityCount;
    rig.ticks(3);
    EXPECT_EQ(rig.s().poll().ActivityCount, before + 3);
    EXPECT_EQ(rig.w->link->exchange().ReconnectCount, 0);
  }
}

}  // namespace

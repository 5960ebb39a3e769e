// The desktop tool end to end: start-up discovery through the real port
// dialog, then the one-click update against the simulated module.
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QComboBox>
#include <QPushButton>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <csignal>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/conf_err_dlg.h"
#include "app/config_dlg.h"
#include "app/confirm1_dlg.h"
#include "window/broken_off_run.h"
#include "app/kv9_application.h"
#include "app/log_memo.h"
#include "app/main_window.h"
#include "link/flash_wr_rx_cont.h"
#include "app/open_com1_dlg.h"
#include "app/qt_message_pump.h"
#include "app/stop_signals.h"
#include "link/eeprom_backup_text.h"
#include "link/eeprom_procedures.h"
#include "platform/resources.h"
#include "sim/eeprom_images.h"
#include "tests/cli/kv9flash_run.h"
#include "tests/support/modal_driver.h"
#include "tests/support/renewed_eeprom_words.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_dir.h"
#include "window/window_texts.h"

namespace {

using Steps = kv9::test::ModalSteps;
using kv9::test::AnswerMessageBox;
using kv9::test::ModalDriver;

std::function<bool(QWidget*)> ClickOpen() {
  return [](QWidget* w) {
    auto* dlg = qobject_cast<TOpenCom1Dlg*>(w);
    if (!dlg) return false;
    dlg->OKBtn->click();
    return true;
  };
}

// A step on the port dialog of start-up, before Open: the search has not
// ended, so the update commands are disabled, and a menu key that reaches
// the update anyway does nothing. `tried` tells that the step ran and found
// them disabled.
std::function<bool(QWidget*)> TryTheUpdateDuringStartUp(TRXProgAppForm* form, bool* tried) {
  return [form, tried](QWidget* w) {
    if (!qobject_cast<TOpenCom1Dlg*>(w)) return false;
    *tried = !form->TB_Write->isEnabled() && !form->findChild<QAction*>("MnProgram")->isEnabled();
    form->TB_WriteClick();
    return true;
  };
}

// A window whose gauge raises an error halfway through programming, as a
// failing component would while the stage runs.
class FailingGaugeForm : public TRXProgAppForm {
 public:
  void SetGauge(int percent) override {
    TRXProgAppForm::SetGauge(percent);
    if (armed && STTitle->text() == QStringLiteral("ライト") && percent >= 50) {
      armed = false;
      throw std::runtime_error("gauge failed");
    }
  }
  bool armed = true;
};

// Records, at every gauge step, whether the main window and the progress
// window took input: neither may while an update runs. Halfway through the
// write it asks both windows to close, as the title-bar box or Alt+F4 does.
class WatchingForm : public TRXProgAppForm {
 public:
  void SetGauge(int percent) override {
    TRXProgAppForm::SetGauge(percent);
    if (!closeTried && STTitle->text() == QStringLiteral("ライト") && percent >= 50) {
      closeTried = true;
      closeAccepted = close();
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == "Confirm1Dlg" && w->isVisible()) progressCloseAccepted = w->close();
      }
    }
    if (percent > 0) {
      ++steps;
      if (isEnabled()) ++enabledSteps;
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == "Confirm1Dlg" && w->isVisible()) {
          ++progressShown;
          if (w->isEnabled()) ++progressEnabled;
        }
      }
    }
  }
  bool closeTried = false;
  bool closeAccepted = true;
  bool progressCloseAccepted = true;
  int steps = 0, enabledSteps = 0, progressShown = 0, progressEnabled = 0;
};

// Is told to end, as a logout tells it with SIGTERM, halfway through the write.
class TerminatedForm : public TRXProgAppForm {
 public:
  void SetGauge(int percent) override {
    TRXProgAppForm::SetGauge(percent);
    if (!raised && STTitle->text() == QStringLiteral("ライト") && percent >= 30) {
      raised = true;
      std::raise(SIGTERM);
    }
  }
  bool raised = false;
};

// One S-record line of `type` with an address of `addressBytes` bytes.
QByteArray SRecord(char type, int addressBytes, quint32 address, const QByteArray& data) {
  QByteArray bytes;
  bytes.append(char(data.size() + addressBytes + 1));
  for (int shift = 8 * (addressBytes - 1); shift >= 0; shift -= 8) bytes.append(char(address >> shift));
  bytes.append(data);
  quint32 sum = 0;
  for (char b : bytes) sum += quint8(b);
  bytes.append(char(0xFF - (sum & 0xFF)));
  return QByteArray("S") + type + bytes.toHex().toUpper() + "\n";
}

const QString kReWriteAdvice =
    QStringLiteral("再度ソフトを起動し、［再書込み行う］にチェックを入れてもう一度書き込みを行ってください。");
const QString kReWriteBoxPlace = QString::fromUtf8(kv9::window::kReWriteBoxPlace);
const QString kPortVanished = QString::fromUtf8(kv9::window::kPortVanished);

// The lines of a run record without their times: "2026-01-02 10:11:12.345  text".
QStringList RecordTexts(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  QStringList texts;
  for (const QString& line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
    texts << (line.size() >= 25 && line.mid(23, 2) == "  " ? line.mid(25) : "?" + line);
  }
  return texts;
}

std::string ReadText(const std::string& path) {
  QFile file(QString::fromStdString(path));
  return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

const QStringList kStagesOk = {"", "書込設定   : OK", "ID照合     : OK", "イレース   : OK", "ライト     : OK",
                               "ベリファイ : OK"};

}  // namespace

class UpdateEndToEndTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<kv9::test::PortFolder> folder_;
  std::unique_ptr<kv9::test::TracedSim> sim_;

  void StartSim(kv9::sim::SimOptions options = {}) {
    folder_ = std::make_unique<kv9::test::PortFolder>();
    sim_ = std::make_unique<kv9::test::TracedSim>(*folder_, 3, options);
  }

  // Shows the window and lets start-up find the module through the port dialog.
  void StartUp(TRXProgAppForm& form, Steps steps = {ClickOpen()}) {
    ModalDriver driver(std::move(steps));
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(driver.Done(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(form.SPTMemo->Lines().contains("Module : Q508     ") || !form.Model().Controller() ||
                                 form.Model().Controller()->ModuleMessage.size() > 0,
                             10000);
  }

  // The lines the update added after start-up.
  static QStringList LinesAfter(TRXProgAppForm& form, int from) { return form.SPTMemo->Lines().mid(from); }

 private slots:
  void init() { sim_.reset(), folder_.reset(); }
  void cleanup() { sim_.reset(), folder_.reset(); }

  void successWithoutFactoryRestoreLogsTheForcedLinesAndClosesThePort() {
    StartSim();
    TRXProgAppForm form;
    form.InitAfterUpdate = 0;
    bool tried = false;
    StartUp(form, {TryTheUpdateDuringStartUp(&form, &tried), ClickOpen()});
    QVERIFY(tried);
    for (const std::string& frame : sim_->Received()) QVERIFY(frame.rfind("02 00 4E 0A 9B", 0) != 0);
    QVERIFY(!form.SPTMemo->Lines().contains("書込設定   : OK"));
    QVERIFY(form.TB_Write->isEnabled());
    QCOMPARE(form.Model().Controller()->ModuleSupported, 1);
    const int before = form.SPTMemo->LineCount();
    form.TB_Write->click();
    QCOMPARE(LinesAfter(form, before),
             (kStagesOk + QStringList{"ROM Verision : V2.00.00 ", "アップデートが正常に終了しました。", ""}));
    QVERIFY(!form.Model().Controller()->CommX1.Connected());
    QCOMPARE(form.LastUpdateResult(), QStringLiteral("OK"));
    QVERIFY(form.isEnabled());
    QVERIFY(form.TB_Write->isEnabled());
    QCOMPARE(form.CGauge1->value(), 0);
    const kv9::ResourceBlob image = kv9::FindResource("HEXDATA", "HexData1");
    QVERIFY((*sim_)->Snapshot().FlashAt(0xFFFC0000, 245760) ==
            std::vector<std::uint8_t>(image.data, image.data + 245760));
    // A second update after a success starts again from the boot-mode request;
    // with the backup ticked it first copies the firmware into the data
    // folder, which is made on first use.
    QTemporaryDir data;
    kv9::test::ScopedEnv dataHome("XDG_DATA_HOME", data.path().toStdString());
    form.MnFwBackup->setChecked(true);
    const int second = form.SPTMemo->LineCount();
    form.TB_Write->click();
    const QStringList lines = LinesAfter(form, second);
    QCOMPARE(lines.mid(0, 3), kStagesOk.mid(0, 3));
    const QString backup = lines.value(3).mid(QStringLiteral("FIRMWARE BACKUP : ").size());
    QVERIFY2(QRegularExpression(QRegularExpression::escape(data.path() + "/kv9update/firmware/") +
                                R"(fw-\d{8}-\d{6}-COM3-V2\.00\.00\.mot)")
                 .match(backup)
                 .hasMatch(),
             qPrintable(lines.value(3)));
    QVERIFY(QFile::exists(backup));
    QCOMPARE(lines.mid(4, 4), QStringList{"ROM保存    : OK"} + kStagesOk.mid(3));
    QCOMPARE(form.SPTMemo->Lines().last(2).first(), QStringLiteral("アップデートが正常に終了しました。"));
  }

  void successWithFactoryRestoreRestoresTheEeprom() {
    StartSim();
    TRXProgAppForm form;
    StartUp(form);
    const auto eepromBefore = (*sim_)->Snapshot();
    const int before = form.SPTMemo->LineCount();
    form.findChild<QAction*>("N2")->trigger();
    QStringList lines = LinesAfter(form, before);
    // Where the EEPROM copy went is said after the run, by name.
    const QString backup = lines.takeLast();
    QVERIFY2(backup.startsWith("EEPROM BACKUP : ") && QFile::exists(backup.mid(16)), qPrintable(backup));
    QCOMPARE(lines, (kStagesOk + QStringList{"FLASH DATA : OK", "", "ROM Verision : V2.00.00 ",
                                            "アップデートが正常に終了しました。", ""}));
    // The old values stay; words 25, 31 and 39..61 come from the freshly
    // initialised factory data, which the module renews from its defaults.
    const auto expectedFactory = kv9::test::WithRenewedWords(eepromBefore.eepromFactory);
    const auto expectedAllData = kv9::test::WithRenewedWords(eepromBefore.eepromAllData);
    const auto after = (*sim_)->Snapshot();
    QVERIFY(after.eepromFactory == expectedFactory);
    QVERIFY(after.eepromAllData == expectedAllData);
    QVERIFY(after.commandCounts.at("fw:4E:71") == 1);  // one initialisation
  }

  void programmingFailureGivesTheStageThreeAdviceAndLocksTheUpdate() {
    kv9::sim::SimOptions options;
    kv9::sim::FaultRule refuse;
    refuse.kind = kv9::sim::FaultRule::Kind::ErrorReply;
    refuse.site.side = kv9::sim::FaultSite::Side::Boot;
    refuse.site.code = 0x50;
    refuse.site.occurrence = 400;
    refuse.errorCode = 0x53;
    options.faults.rules.push_back(refuse);
    StartSim(options);
    kv9::test::TempDir data;
    kv9::test::ScopedEnv dataHome("XDG_DATA_HOME", data.Path().string());
    TRXProgAppForm form;
    StartUp(form);
    const int before = form.SPTMemo->LineCount();
    form.TB_Write->click();
    const QStringList advice = {"ソフトを終了し、R/Wの電源を入れ直してください。", kReWriteAdvice, kReWriteBoxPlace};
    const QStringList runLines = QStringList{"", "書込設定   : OK", "ID照合     : OK", "イレース   : OK", "ライト     : NG",
                                             "アップデートに失敗しました。", ""} + advice;
    QCOMPARE(LinesAfter(form, before), runLines);
    QCOMPARE(form.LastUpdateResult(), QStringLiteral("NG"));
    // The NG window stays with the advice until it is confirmed.
    auto* progress = form.findChild<TConfirm1Dlg*>("Confirm1Dlg");
    QVERIFY(progress && progress->isVisible() && progress->isEnabled() && progress->OKBtn->isEnabled());
    QCOMPARE(progress->Label1->text(), QStringLiteral("NG"));
    QCOMPARE(progress->Advice->text(), advice.join('\n'));
    // The main window keeps the stage and how far it got.
    QCOMPARE(form.STTitle->text(), QStringLiteral("ライト"));
    QCOMPARE(form.CGauge1->value(), progress->Gauge->value());
    QVERIFY(form.CGauge1->value() > 0 && form.CGauge1->value() < 100);
    QTest::keyClick(progress, Qt::Key_Return);
    QTRY_VERIFY(!form.findChild<TConfirm1Dlg*>("Confirm1Dlg"));
    // The run's lines, with their times, in one new file of the log folder.
    const std::filesystem::path logs = data.Path() / "kv9update" / "logs";
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(logs)) {
      if (entry.path().extension() == ".log") files.push_back(entry.path().string());
    }
    QCOMPARE(files.size(), std::size_t(1));
    // Beside it the run's JSON object, as kv9flash --report writes it.
    const std::string json = ReadText(files[0].substr(0, files[0].size() - 4) + ".json");
    QVERIFY2(json.rfind("{\"port\":\"COM" , 0) == 0, json.c_str());
    QVERIFY2(json.find("\"outcome\":\"failed\",\"exit\":1,\"stage\":\"write\",\"module_state\":\"partly programmed\"") !=
                 std::string::npos, json.c_str());
    QVERIFY(json.back() == '\n');
    QStringList record = RecordTexts(files[0]);
    QVERIFY2(record.size() == runLines.size() + 3, qPrintable(record.join('|')));
    QVERIFY(record.first().startsWith("# kv9update "));
    QCOMPARE(record.mid(2, runLines.size()), runLines);
    QCOMPARE(record.last(), QStringLiteral("# outcome: NG (failed, stage write, module partly programmed)"));
    QVERIFY(!form.TB_Write->isEnabled());
    QVERIFY(!form.MnFarm->isEnabled());
    QVERIFY(form.isEnabled());
    QVERIFY(form.findChild<QAction*>("MnProgram")->isEnabled());
  }

  void exceptionInTheProgrammingStageGivesStageZeroAdviceThenTheErrorBox() {
    StartSim();
    FailingGaugeForm form;
    StartUp(form);
    QStringList boxes;
    KV9Application::SetErrorBoxHook([&](const QString& m) { boxes << m; });
    const int before = form.SPTMemo->LineCount();
    QTimer::singleShot(0, form.TB_Write, &QToolButton::click);  // through the event loop, as a click
    QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 30000);
    KV9Application::SetErrorBoxHook({});
    QCOMPARE(boxes[0], QStringLiteral("gauge failed"));
    QCOMPARE(LinesAfter(form, before),
             (QStringList{"", "書込設定   : OK", "ID照合     : OK", "イレース   : OK", "アップデートに失敗しました。", "",
                          "R/Wの接続、設定を確認してください。", "ソフトを終了し、R/Wの電源を入れ直してください。",
                          "再度ソフトを起動し、もう一度書き込みを行ってください。"}));
    QVERIFY(form.isEnabled());
    QCOMPARE(form.STTitle->text(), QStringLiteral("ライト"));  // where the run ended
  }

  void anImageForAnotherAreaOrNoImageGivesOneLineAndNoBytesOnTheWire() {
    StartSim();
    TRXProgAppForm form;
    StartUp(form);
    const std::size_t framesBefore = sim_->Received().size();
    // "384K" chosen in the settings dialog: the image the tool carries starts
    // 128 KB above that area. The window says so in a box and the log.
    kv9::test::WhenModal<TConfigDlg>([](TConfigDlg* dlg) {
      dlg->CBRomSize->setCurrentIndex(dlg->CBRomSize->findText("384K"));
      dlg->OKBtn->click();
    });
    form.MnSetConfigClick();
    const QString refusal = QStringLiteral("ＲＯＭデータは 0xFFFC0000 からのデータですが、ROMサイズ設定の先頭は 0xFFFA0000 です。設定を確認してください。");
    QString box;
    kv9::test::WhenModal<QMessageBox>([&box](QMessageBox* message) {
      box = message->text();
      message->accept();
    });
    int before = form.SPTMemo->LineCount();
    form.TB_Write->click();
    QCOMPARE(box, refusal);
    QCOMPARE(LinesAfter(form, before), QStringList{refusal});
    before = form.SPTMemo->LineCount();
    form.Model().Controller()->ImageLoaded = 0;
    form.TB_Write->click();
    QCOMPARE(LinesAfter(form, before), QStringList{"ＲＯＭデータがありません。読み込んでから再実行してください"});
    // A frame sent afterwards on the same line marks the end: anything the
    // click had sent would have reached the module before it.
    kv9::TFlashWrRXCont* cont = form.Model().Controller();
    if (!cont->CommX1.Connected()) QCOMPARE(cont->OpenPort(3), 1);
    QCOMPARE(cont->ReadRomVersion(0), 1);
    const std::vector<std::string> frames = sim_->Received();
    QCOMPARE(frames.size(), framesBefore + 1);
    QCOMPARE(frames.back(), std::string("02 00 4F 02 90 00 03 E6 0D"));
    QCOMPARE(form.LastUpdateResult(), QString());
  }

  void portThatFailsToOpenGivesTheStageZeroAdvice() {
    StartSim();
    TRXProgAppForm form;
    StartUp(form);
    sim_.reset();  // the module's port disappears
    QStringList messages;
    ModalDriver driver({AnswerMessageBox(&messages)});
    const int before = form.SPTMemo->LineCount();
    form.TB_Write->click();
    QCOMPARE(messages, QStringList{"COM3がオープン出来ません!!\n\n  ポートを及びパラメータ設定を再確認してください。"});
    QCOMPARE(LinesAfter(form, before),
             (QStringList{"", "NG: Port Open", "アップデートに失敗しました。", "", "R/Wの接続、設定を確認してください。",
                          "ソフトを終了し、R/Wの電源を入れ直してください。",
                          "再度ソフトを起動し、もう一度書き込みを行ってください。"}));
  }

  void reWriteModeSendsNoModuleFrameAndLocksTheUpdateAfterSuccess() {
    kv9::sim::SimOptions options;
    options.startIn = kv9::sim::StartIn::Boot;
    StartSim(options);
    TRXProgAppForm form;
    form.InitAfterUpdate = 0;
    Steps steps{
        [](QWidget* w) {
          auto* dlg = qobject_cast<TOpenCom1Dlg*>(w);
          if (!dlg) return false;
          QTimer::singleShot(0, dlg->MnBtErr, &QPushButton::click);
          return true;
        },
        [](QWidget* w) {
          auto* dlg = qobject_cast<TConfErrDlg*>(w);
          if (!dlg) return false;
          dlg->CBReWrite->setChecked(true);
          dlg->OKBtn->click();
          return true;
        },
        ClickOpen()};
    ModalDriver driver(std::move(steps));
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(driver.Done(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(form.Model().Controller()->ModuleSupported, 1, 10000);
    QVERIFY(form.SPTMemo->Lines().contains("再書き込みモードで、ファームのアップデートを実行します。"));
    form.TB_Write->click();
    QCOMPARE(form.SPTMemo->Lines().last(2).first(), QStringLiteral("アップデートが正常に終了しました。"));
    for (const auto& line : sim_->Trace()) QVERIFY2(line.find("] 02 00 4E 0A 9B") == std::string::npos, line.c_str());
    const kv9::ResourceBlob image = kv9::FindResource("HEXDATA", "HexData1");
    QVERIFY((*sim_)->Snapshot().FlashAt(0xFFFC0000, 245760) ==
            std::vector<std::uint8_t>(image.data, image.data + 245760));
    QVERIFY(!form.TB_Write->isEnabled());
    QVERIFY(!form.MnFarm->isEnabled());
  }

  void unsupportedModelIsRefusedBeforeAnyBootModeFrame() {
    kv9::sim::SimOptions options;
    options.modelName = "Q509";
    StartSim(options);
    TRXProgAppForm form;
    QStringList boxes;
    StartUp(form, {ClickOpen(), AnswerMessageBox(&boxes)});
    QCOMPARE(form.Model().Controller()->ModuleSupported, 0);
    QVERIFY(!form.TB_Write->isEnabled());  // the search found no supported module
    ModalDriver driver({AnswerMessageBox(&boxes)});
    const QStringList logBefore = form.SPTMemo->Lines();
    form.TB_WriteClick();
    QCOMPARE(form.SPTMemo->Lines(), logBefore);  // the box, and nothing else
    const QString text = QStringLiteral("対応外のR/Wモジュールです。お使いのRW対応のツールをお使いください。");
    QCOMPARE(boxes, (QStringList{text, text}));
    for (const auto& frame : sim_->Received()) QVERIFY(frame.rfind("02 00 4E 0A 9B", 0) != 0);
  }

  void windowsTakeNoInputAndStayWhileTheUpdateRuns() {
    StartSim();
    WatchingForm form;
    form.InitAfterUpdate = 0;
    StartUp(form);
    form.TB_Write->click();
    QVERIFY(form.steps > 100);  // erase, write and check moved the gauge
    QCOMPARE(form.enabledSteps, 0);
    QCOMPARE(form.progressShown, form.steps);  // still shown after the close request
    QCOMPARE(form.progressEnabled, 0);
    QVERIFY(form.closeTried);
    QVERIFY(!form.closeAccepted);
    QVERIFY(!form.progressCloseAccepted);
    QVERIFY(form.SPTMemo->Lines().contains(QStringLiteral("アップデートが正常に終了しました。")));
    QVERIFY(form.isEnabled());
    QVERIFY(form.close());  // once the run has ended the window closes
  }

  void sigtermDuringTheWriteStopsAtAFrameGivesTheAdviceAndEndsTheTool() {
    StartSim();
    kv9::test::TempDir data;
    kv9::test::ScopedEnv dataHome("XDG_DATA_HOME", data.Path().string());
    TerminatedForm form;
    StopSignals stopSignals;
    connect(&stopSignals, &StopSignals::stopAsked, &form, &TRXProgAppForm::StopAsked);
    StartUp(form);
    const int before = form.SPTMemo->LineCount();
    form.TB_Write->click();
    QVERIFY(form.raised);
    QCOMPARE(LinesAfter(form, before),
             (QStringList{"", "書込設定   : OK", "ID照合     : OK", "イレース   : OK", "ライト     : NG",
                          "アップデートに失敗しました。", "", "ソフトを終了し、R/Wの電源を入れ直してください。",
                          kReWriteAdvice, kReWriteBoxPlace}));
    // Then the tool ends: the window closes and the port with it.
    QTRY_VERIFY_WITH_TIMEOUT(form.Model().Controller() == nullptr, 10000);
    QVERIFY(!form.isVisible());
    // The data folder keeps a marker that names the run's record and its
    // advice, for the next start.
    const kv9::window::BrokenOffRun marker = kv9::window::ReadBrokenOffRun();
    QVERIFY2(marker.recordPath.rfind((data.Path() / "kv9update" / "logs" / "kv9update-").string(), 0) == 0,
             marker.recordPath.c_str());
    QVERIFY(std::filesystem::exists(marker.recordPath));
    QCOMPARE(marker.advice, (std::vector<std::string>{"ソフトを終了し、R/Wの電源を入れ直してください。",
                                                      QString(kReWriteAdvice).toStdString()}));
    // The module was left between two whole frames, in its boot program.
    const kv9::sim::SimSnapshot stopped = (*sim_)->Snapshot();
    QCOMPARE(stopped.personality, kv9::sim::Personality::Boot);
    QCOMPARE(stopped.noiseBytes, 0u);
    QCOMPARE(stopped.blocksProgrammed, stopped.blocksReceived);
    QVERIFY(stopped.blocksProgrammed >= 200 && stopped.blocksProgrammed < 400);
    // What the advice asks for: a power cycle (a new module in its boot
    // program with the half-written flash) and a re-write, which succeeds.
    const std::string flashFile = folder_->Path() + "/half-written.bin";
    std::ofstream(flashFile, std::ios::binary)
        .write(reinterpret_cast<const char*>(stopped.flash.data()), std::streamsize(stopped.flash.size()));
    kv9::sim::SimOptions boot;
    boot.startIn = kv9::sim::StartIn::Boot;
    boot.flashFile = flashFile;
    sim_.reset();
    sim_ = std::make_unique<kv9::test::TracedSim>(*folder_, 3, boot);
    const auto r = kv9::test::Kv9flash({"--port", "COM3", "--rewrite", "--no-init", "update"});
    QVERIFY2(r.exitCode == 0, (r.out + r.err).c_str());
    const kv9::ResourceBlob image = kv9::FindResource("HEXDATA", "HexData1");
    QVERIFY((*sim_)->Snapshot().FlashAt(0xFFFC0000, 245760) ==
            std::vector<std::uint8_t>(image.data, image.data + 245760));
  }

  void moduleVanishingDuringProgrammingEndsTheRunWithoutAHang() {
    kv9::sim::SimOptions options;
    options.faults.disconnectAtBlock = 30;
    StartSim(options);
    TRXProgAppForm form;
    StartUp(form);
    QStringList boxes;
    KV9Application::SetErrorBoxHook([&](const QString& m) { boxes << m; });
    const int before = form.SPTMemo->LineCount();
    QTimer::singleShot(0, form.TB_Write, &QToolButton::click);
    QTRY_VERIFY_WITH_TIMEOUT(form.SPTMemo->Lines().mid(before).contains("アップデートに失敗しました。"), 30000);
    QTRY_VERIFY(form.isEnabled());
    KV9Application::SetErrorBoxHook({});
    const QStringList lines = form.SPTMemo->Lines().mid(before);
    if (lines.contains("ライト     : NG")) {
      // The tool was waiting for the block's reply: the write stage failed.
      // The port is gone from the system: the cable advice comes last.
      QCOMPARE(lines.last(3), (QStringList{kReWriteAdvice, kReWriteBoxPlace, kPortVanished}));
      QVERIFY(boxes.isEmpty());
    } else {
      // The tool was writing: the port's error, the stage-0 advice, the
      // cable advice, then the error box.
      QCOMPARE(lines.last(2), (QStringList{QStringLiteral("再度ソフトを起動し、もう一度書き込みを行ってください。"), kPortVanished}));
      QVERIFY(lines.contains("R/Wの接続、設定を確認してください。"));
      QTRY_COMPARE(boxes.size(), 1);
    }
    QVERIFY(!form.TB_Write->isEnabled());
  }

  void eepromItemsOfTheSettingsMenuReachTheSimulatedEeprom() {
    StartSim();
    TRXProgAppForm form;
    StartUp(form);
    auto run = [&](const char* item) {
      const int before = form.SPTMemo->LineCount();
      form.findChild<QAction*>(item)->trigger();
      return form.SPTMemo->Lines().mid(before);
    };
    auto putWord = [](kv9::EepromImage& image, std::size_t word, std::uint16_t value) {
      image[2 * word] = std::uint8_t(value), image[2 * word + 1] = std::uint8_t(value >> 8);
    };

    // The factory data listed is the module's factory image, byte for byte.
    auto s = (*sim_)->Snapshot();
    QString hex;
    for (std::uint8_t b : s.eepromFactory) hex += QString::asprintf("%02X ", b);
    QCOMPARE(run("MngetInitData"), (QStringList{"EEPROM_FACTALLDATA : OK", hex}));

    // A reference power outside 200..300 read back is replaced by 250, stored
    // at word 41 with the all-data kind (which lands in the factory image);
    // nothing else changes.
    const std::uint8_t outOfRange[2] = {0x90, 0x01};  // 400
    QCOMPARE(form.Model().Controller()->EepromWrite(255, 41, 1, outOfRange), 1);
    s = (*sim_)->Snapshot();
    QVERIFY(s.eepromFactory[80] == 0x90 && s.eepromFactory[81] == 0x01);
    form.DispDebugInfo = 1;
    const QStringList power = run("MnGetPower");
    form.DispDebugInfo = 0;
    QVERIFY(power.contains("POWER       : 243"));
    QVERIFY2(power.contains("REF POWER   : 400"), qPrintable(power.join('|')));
    QCOMPARE(power.last(), QStringLiteral("Set PowerRef : OK"));
    QCOMPARE(QString::fromStdString(sim_->Received().back()), QStringLiteral("02 00 4E 06 83 FF 29 01 FA 00 03 FF 0D"));
    kv9::EepromImage expectedFactory = s.eepromFactory, expectedAllData = s.eepromAllData;
    putWord(expectedFactory, 40, 250);
    s = (*sim_)->Snapshot();
    QVERIFY(s.eepromFactory == expectedFactory);
    QVERIFY(s.eepromAllData == expectedAllData);

    // Initialisation renews the factory words from the firmware's defaults.
    QCOMPARE(run("MnInit"), QStringList{"TxInitEEPROM : OK"});
    expectedFactory = kv9::test::WithRenewedWords(expectedFactory);
    s = (*sim_)->Snapshot();
    QVERIFY(s.eepromFactory == expectedFactory);
    QVERIFY(s.eepromAllData == expectedAllData);

    // Restoring the factory settings carries the renewed words into the all-data image.
    QCOMPARE(run("mnSetFactInit"), QStringList{" : OK"});
    expectedAllData = kv9::test::WithRenewedWords(expectedAllData);
    s = (*sim_)->Snapshot();
    QVERIFY(s.eepromFactory == expectedFactory);
    QVERIFY(s.eepromAllData == expectedAllData);
  }

  // The ファイル menu's EEPROM backup items with another module's copy: the
  // window asks, No leaves the module as it was; Yes continues the
  // factory-setting step from it (the module ends as module 0 after a good
  // update); the roll-back writes the file's images as they are.
  void eepromBackupItemsAskBeforeAnotherModulesFile() {
    kv9::sim::SimOptions options;
    options.serial = 5;
    StartSim(options);
    TRXProgAppForm form;
    StartUp(form);
    QTemporaryDir data;
    kv9::test::ScopedEnv dataHome("XDG_DATA_HOME", data.path().toStdString());
    const kv9::sim::EepromImages moduleZero(0);
    const QString path = data.filePath("eeprom-module0.txt");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(
        kv9::EepromBackupText({"COM3", "Q508", "V2.00.00"}, 0, moduleZero.Factory(), moduleZero.AllData())));
    file.close();
    auto choose = [&path](QWidget* w) {
      auto* dlg = qobject_cast<QFileDialog*>(w);
      if (!dlg) return false;
      auto* name = dlg->findChild<QLineEdit*>("fileNameEdit");
      name->setText(path);
      QTest::keyClick(name, Qt::Key_Return);
      return true;
    };
    QStringList questions;
    auto answer = [&questions](QMessageBox::StandardButton button) {
      return [&questions, button](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box) return false;
        questions.append(box->text());
        box->button(button)->click();
        return true;
      };
    };
    const auto before = (*sim_)->Snapshot();
    {
      ModalDriver driver({choose, answer(QMessageBox::No)});
      form.findChild<QAction*>("MnFileEepromRestore")->trigger();
      QVERIFY(driver.Done());
    }
    QCOMPARE(questions, QStringList{QString::fromUtf8(kv9::window::kOtherModuleQuestion)});
    QVERIFY(form.SPTMemo->Lines().contains("EEPROM BACKUP FILE : NG " + path +
                                           ": another module's file (its factory data differs from this module's)"));
    QVERIFY((*sim_)->Snapshot().eepromFactory == before.eepromFactory);
    QVERIFY((*sim_)->Snapshot().eepromAllData == before.eepromAllData);
    {
      ModalDriver driver({choose, answer(QMessageBox::Yes)});
      form.findChild<QAction*>("MnFileEepromRestore")->trigger();
      QVERIFY(driver.Done());
    }
    QVERIFY(form.SPTMemo->Lines().contains("FLASH DATA : OK"));
    QVERIFY((*sim_)->Snapshot().eepromFactory == kv9::test::WithRenewedWords(moduleZero.Factory()));
    QVERIFY((*sim_)->Snapshot().eepromAllData == kv9::test::WithRenewedWords(moduleZero.AllData()));
    // The module now holds module 0's calibration: the file is its own, and
    // the roll-back asks nothing.
    {
      ModalDriver driver({choose});
      form.findChild<QAction*>("MnFileEepromRollBack")->trigger();
      QVERIFY(driver.Done());
    }
    QCOMPARE(questions.size(), 2);
    QVERIFY((*sim_)->Snapshot().eepromFactory == moduleZero.Factory());
    QVERIFY((*sim_)->Snapshot().eepromAllData == moduleZero.AllData());
  }

  void droppedSRecordFileIsWhatTheUpdateWritesToTheFlash() {
    StartSim();
    TRXProgAppForm form;
    form.InitAfterUpdate = 0;
    StartUp(form);
    // As objcopy writes it: a header, 16-byte S3 records, an S7 termination.
    std::vector<std::uint8_t> expected(0x3C000, 0xFF);
    QByteArray text = SRecord('0', 2, 0, "fw.mot");
    auto put = [&](quint32 address, int count, int seed) {
      QByteArray data;
      for (int i = 0; i < count; ++i) data.append(char(i * 13 + seed));
      for (int at = 0; at < count; at += 16) text += SRecord('3', 4, address + at, data.mid(at, 16));
      std::copy(data.begin(), data.end(), expected.begin() + (address - 0xFFFC0000));
    };
    put(0xFFFC0000, 512, 5);
    put(0xFFFE1230, 100, 77);  // crosses a block boundary
    put(0xFFFFBF80, 128, 1);   // just below the loader
    text += SRecord('7', 4, 0xFFFC0000, {});
    QTemporaryDir dir;
    const QString path = dir.filePath("fw.mot");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    file.close();
    // Chosen in "ROMデータを開く...": what a drop does, and the line saying
    // what will be written (four blocks of 256 bytes hold data).
    kv9::test::WhenModal<QFileDialog>([&](QFileDialog* dlg) {
      auto* name = dlg->findChild<QLineEdit*>("fileNameEdit");  // typed as a person does
      name->setText(path);
      QTest::keyClick(name, Qt::Key_Return);
    });
    form.findChild<QAction*>("MnOpenRom")->trigger();
    const QString crc = QString::asprintf("0x%04X", form.Model().Controller()->ImageCrc());
    QCOMPARE(form.SPTMemo->Lines().last(2),
             (QStringList{"OK: Read ROM Data", "ROMデータ : " + path + "  書込 1024バイト  CRC " + crc + "  バージョン なし"}));
    const int before = form.SPTMemo->LineCount();
    form.TB_Write->click();
    QCOMPARE(LinesAfter(form, before).mid(0, 6), kStagesOk);
    QCOMPARE(form.LastUpdateResult(), QStringLiteral("OK"));
    QVERIFY((*sim_)->Snapshot().FlashAt(0xFFFC0000, 0x3C000) == expected);
  }

  void searchAgainFromTheMenuFindsAModulePluggedInLaterAndUpdatesIt() {
    folder_ = std::make_unique<kv9::test::PortFolder>();  // no module yet
    TRXProgAppForm form;
    form.InitAfterUpdate = 0;
    StartUp(form);
    QTRY_VERIFY_WITH_TIMEOUT(form.SPTMemo->Lines().contains("R/Wモジュールが見つかりませんでした。"), 10000);
    QVERIFY(!form.TB_Write->isEnabled());
    sim_ = std::make_unique<kv9::test::TracedSim>(*folder_, 3);
    ModalDriver driver({ClickOpen()});
    form.findChild<QAction*>("MnSearchAgain")->trigger();
    QVERIFY(driver.Done());
    QCOMPARE(form.Model().Controller()->ModuleSupported, 1);
    QVERIFY(form.SPTMemo->Lines().contains("Module : Q508     "));
    QVERIFY(form.TB_Write->isEnabled());
    form.TB_Write->click();
    QCOMPARE(form.LastUpdateResult(), QStringLiteral("OK"));
    const kv9::ResourceBlob image = kv9::FindResource("HEXDATA", "HexData1");
    QVERIFY((*sim_)->Snapshot().FlashAt(0xFFFC0000, 245760) ==
            std::vector<std::uint8_t>(image.data, image.data + 245760));
  }

  void cancelInThePortDialogEndsTheToolWithoutUsingTheController() {
    StartSim();
    TRXProgAppForm form;
    ModalDriver driver({[](QWidget* w) {
      auto* dlg = qobject_cast<TOpenCom1Dlg*>(w);
      if (!dlg) return false;
      dlg->CancelBtn->click();
      return true;
    }});
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(driver.Done(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(form.Model().Controller() == nullptr, 10000);
    QVERIFY(!form.isVisible());
    QVERIFY(sim_->Received().empty());
  }
};

int main(int argc, char** argv) {
  KV9Application app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  QtMessagePump pump;
  kv9::SetPump(&pump);
  UpdateEndToEndTest test;
  const int result = QTest::qExec(&test, argc, argv);
  kv9::SetPump(nullptr);
  return result;
}

#include "update_e2e_test.moc"

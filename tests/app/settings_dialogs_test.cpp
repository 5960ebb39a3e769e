// The settings dialog, the COM port dialog with its port list, and the port
// items of the settings menu, on the real main window (offscreen) and
// against the simulated module where a port is needed.
#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "app/com_combo_box.h"
#include "app/config_dlg.h"
#include "app/kv9_application.h"
#include "app/log_memo.h"
#include "app/main_window.h"
#include "link/flash_wr_rx_cont.h"
#include "app/num_edit.h"
#include "app/port_list_dlg.h"
#include "app/port_set_dlg.h"
#include "app/qt_message_pump.h"
#include "link/firmware_update.h"
#include "window/settings_conversions.h"
#include "serial/port_name.h"
#include "tests/support/modal_driver.h"
#include "tests/support/sim_fixture.h"

namespace {

// The shared driver with the window by reference; `seen` tells whether it ran.
template <class T>
void WhenModal(std::function<void(T&)> act, std::shared_ptr<bool> seen = std::make_shared<bool>()) {
  kv9::test::WhenModal<T>([act, seen](T* window) {
    *seen = true;
    act(*window);
  });
}

// Replaces whatever a numeric edit shows with typed text, as a person would.
void Type(TNumEdit* edit, const QString& text) {
  auto* line = edit->findChild<QLineEdit*>();
  QVERIFY(line);
  line->selectAll();
  QTest::keyClick(line, Qt::Key_Delete);
  QTest::keyClicks(line, text);
  edit->interpretText();
}

// Writes a port-list entry: a file named COM<n> in the port folder.
void AddPortFile(const kv9::test::PortFolder& folder, const std::string& name) {
  std::ofstream(folder.Path() + "/" + name) << "";
}

QStringList Items(const QComboBox& box) {
  QStringList items;
  for (int i = 0; i < box.count(); ++i) items << box.itemText(i);
  return items;
}

void CompareSettings(const kv9::TProgSettings& a, const kv9::TProgSettings& b) {
  QCOMPARE(a.PortNumber, b.PortNumber);
  QCOMPARE(a.BitRate, b.BitRate);
  QCOMPARE(a.ParityCode, b.ParityCode);
  QCOMPARE(a.FlowMode, b.FlowMode);
  QCOMPARE(a.WriteSpeedIndex, b.WriteSpeedIndex);
  QCOMPARE(a.Multiplier1, b.Multiplier1);
  QCOMPARE(a.Multiplier2, b.Multiplier2);
  QCOMPARE(a.InputFreqMHz, b.InputFreqMHz);
  QCOMPARE(a.BootBitRate, b.BootBitRate);
  QCOMPARE(a.CpuCode, b.CpuCode);
  QCOMPARE(a.RomSizeIndex, b.RomSizeIndex);
}

std::vector<std::uint8_t> ImageBytes(kv9::TFlashWrRXCont& cont) {
  const std::uint8_t* bytes = cont.ImageStream.Memory();
  return std::vector<std::uint8_t>(bytes, bytes + cont.ImageStream.Size());
}

// What the settings dialog shows, read while it is up.
struct Shown {
  QString cpu, romSize, freq, teibai1, teibai2, speed, resTime, progSpeed;
  bool debug = false, tx = false, rx = false, init = false, scanMode = false;
};

Shown ShownBy(TConfigDlg& dlg) {
  Shown s;
  s.cpu = dlg.CBSelCPU->currentText();
  s.romSize = dlg.CBRomSize->currentText();
  s.freq = dlg.EdFreq->text();
  s.teibai1 = dlg.EdTeibai1->text();
  s.teibai2 = dlg.EdTeibai2->text();
  s.speed = dlg.EdSpeed->text();
  s.resTime = dlg.EdResTime->text();
  QAbstractButton* speedButton = dlg.RGProgSpeedButtons->checkedButton();
  s.progSpeed = speedButton ? speedButton->text() : QString();
  s.debug = dlg.CBDispDebugInfo->isChecked();
  s.tx = dlg.CBDispTxInfo->isChecked();
  s.rx = dlg.CBDispRecInfo->isChecked();
  s.init = dlg.CBInit->isChecked();
  s.scanMode = dlg.CBInitScanMode->isChecked();
  return s;
}

// Opens the settings dialog from the main window, reads what it shows and
// leaves it with Cancel.
Shown OpenAndCancelConfig(TRXProgAppForm& form) {
  Shown shown;
  auto seen = std::make_shared<bool>(false);
  WhenModal<TConfigDlg>([&](TConfigDlg& dlg) {
    shown = ShownBy(dlg);
    dlg.CancelBtn->click();
  }, seen);
  form.MnSetConfigClick();
  if (!*seen) qWarning("the settings dialog did not come up");
  return shown;
}

}  // namespace

class SettingsDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  // --- conversions of the settings dialog ---
  void conversionsTruncateKeepLowBitsAndMapCpuEntries() {
    QCOMPARE(kv9::CpuCodeOfEntry(0), 6);
    QCOMPARE(kv9::CpuCodeOfEntry(1), 7);
    QCOMPARE(kv9::CpuCodeOfEntry(2), 5);
    QCOMPARE(kv9::CpuCodeOfEntry(-1), 5);  // nothing selected
    QCOMPARE(kv9::CpuCodeOfEntry(3), 5);
    QCOMPARE(kv9::CpuEntryOfCode(6), 0);
    QCOMPARE(kv9::CpuEntryOfCode(7), 1);
    QCOMPARE(kv9::CpuEntryOfCode(5), 2);
    QCOMPARE(kv9::CpuEntryOfCode(0), 2);
    QCOMPARE(kv9::CpuEntryOfCode(-6), 2);

    QCOMPARE(kv9::TruncToInt32(12.9), 12);
    QCOMPARE(kv9::TruncToInt32(-12.9), -12);
    QCOMPARE(kv9::TruncToInt32(0.999), 0);
    QCOMPARE(kv9::TruncToInt32(2147483647.0), std::numeric_limits<std::int32_t>::max());
    QCOMPARE(kv9::TruncToInt32(1e12), std::numeric_limits<std::int32_t>::max());
    QCOMPARE(kv9::TruncToInt32(-1e12), std::numeric_limits<std::int32_t>::min());
    QCOMPARE(kv9::TruncToInt32(std::nan("")), 0);

    QCOMPARE(kv9::MultiplierOf(258), std::uint8_t{2});
    QCOMPARE(kv9::MultiplierOf(12.9), std::uint8_t{12});
    QCOMPARE(kv9::MultiplierOf(255.99), std::uint8_t{255});
    QCOMPARE(kv9::MultiplierOf(256), std::uint8_t{0});
    QCOMPARE(kv9::MultiplierOf(-1), std::uint8_t{255});
  }

  // --- TConfigDlg through MnSetConfigClick ---
  void configDialogShowsTheDefaults() {
    TRXProgAppForm form;
    const Shown s = OpenAndCancelConfig(form);
    QCOMPARE(s.cpu, QStringLiteral("RX231"));
    QCOMPARE(s.romSize, QStringLiteral("256K"));
    QCOMPARE(s.freq, QStringLiteral("13.56"));
    QCOMPARE(s.teibai1, QStringLiteral("4"));
    QCOMPARE(s.teibai2, QStringLiteral("2"));
    QCOMPARE(s.speed, QStringLiteral("115200"));
    QCOMPARE(s.resTime, QStringLiteral("1000"));
    QCOMPARE(s.progSpeed, QStringLiteral("115.2kbps"));
    QVERIFY(!s.debug && !s.tx && !s.rx);
    QVERIFY(s.init);
    QVERIFY(!s.scanMode);
  }

  void okStoresTruncatedValuesAndCopiesThemIntoTheController() {
    TRXProgAppForm form;
    kv9::TFlashWrRXCont& cont = *form.Model().Controller();
    const std::vector<std::uint8_t> imageBefore = ImageBytes(cont);
    QCOMPARE(cont.RomStart, 0xFFFC0000u);

    WhenModal<TConfigDlg>([](TConfigDlg& dlg) {
      dlg.CBSelCPU->setCurrentIndex(dlg.CBSelCPU->findText("RX630"));
      dlg.CBRomSize->setCurrentIndex(dlg.CBRomSize->findText("384K"));
      Type(dlg.EdFreq, "12.5");
      Type(dlg.EdTeibai1, "258");
      Type(dlg.EdTeibai2, "12.9");
      Type(dlg.EdSpeed, "38400.7");
      Type(dlg.EdResTime, "-5.5");  // no minimum: stored as entered, truncated
      dlg.RGProgSpeedButtons->button(1)->click();
      dlg.CBDispDebugInfo->setChecked(true);
      dlg.CBDispTxInfo->setChecked(true);
      dlg.CBDispRecInfo->setChecked(true);
      dlg.CBInit->setChecked(false);
      dlg.CBInitScanMode->setChecked(true);
      dlg.OKBtn->click();
    });
    form.MnSetConfigClick();

    QCOMPARE(form.ProgSettings.CpuCode, 6);
    QCOMPARE(form.ProgSettings.RomSizeIndex, 13);
    QCOMPARE(form.ProgSettings.InputFreqMHz, 12.5f);
    QCOMPARE(form.ProgSettings.Multiplier1, std::uint8_t{2});
    QCOMPARE(form.ProgSettings.Multiplier2, std::uint8_t{12});
    QCOMPARE(form.ProgSettings.BootBitRate, 38400);
    QCOMPARE(form.ResetWaitMs, -5);
    QCOMPARE(form.ProgSettings.WriteSpeedIndex, 1);
    QCOMPARE(form.DispDebugInfo, 1);
    QCOMPARE(form.DispTxInfo, 1);
    QCOMPARE(form.DispRecInfo, 1);
    QCOMPARE(form.InitAfterUpdate, 0);
    QCOMPARE(form.InitScanMode, 1);
    // Fields the dialog does not show stay.
    QCOMPARE(form.ProgSettings.PortNumber, 1);
    QCOMPARE(form.ProgSettings.BitRate, 19200);

    // The controller follows: switches, whole record, flash area.
    QCOMPARE(cont.DebugLog, 1);
    QCOMPARE(cont.TxLog, 1);
    QCOMPARE(cont.RxLog, 1);
    CompareSettings(cont.Settings, form.ProgSettings);
    QCOMPARE(cont.RomStart, 0xFFFA0000u);
    QCOMPARE(QByteArray(cont.DeviceCode.data(), 4), QByteArray("7505"));
    QVERIFY(ImageBytes(cont) == imageBefore);  // the image stays as it was
    // ...and belongs to 0xFFFC0000 on, so an update now refuses it.
    QCOMPARE(QString::fromStdString(kv9::ImageAreaProblem(cont)),
             QStringLiteral("ＲＯＭデータは 0xFFFC0000 からのデータですが、ROMサイズ設定の先頭は 0xFFFA0000 です。設定を確認してください。"));

    // Reopened, the dialog shows what was stored.
    const Shown s = OpenAndCancelConfig(form);
    QCOMPARE(s.cpu, QStringLiteral("RX630"));
    QCOMPARE(s.romSize, QStringLiteral("384K"));
    QCOMPARE(s.freq, QStringLiteral("12.50"));
    QCOMPARE(s.teibai1, QStringLiteral("2"));
    QCOMPARE(s.teibai2, QStringLiteral("12"));
    QCOMPARE(s.speed, QStringLiteral("38400"));
    QCOMPARE(s.resTime, QStringLiteral("-5"));
    QCOMPARE(s.progSpeed, QStringLiteral("19.2kbps"));
    QVERIFY(s.debug && s.tx && s.rx && !s.init && s.scanMode);
  }

  void rx63tAndUnlistedCodesAreShownAndStoredByTheirEntries() {
    TRXProgAppForm form;
    form.ProgSettings.CpuCode = 7;
    QCOMPARE(OpenAndCancelConfig(form).cpu, QStringLiteral("RX63T"));
    form.ProgSettings.CpuCode = 9;  // unknown: shown as RX231 and stored as 5 on OK
    form.ProgSettings.RomSizeIndex = 40;  // no such entry: nothing selected
    form.ProgSettings.WriteSpeedIndex = 9;
    QString cpu, romSize;
    int speedIndex = 0;
    WhenModal<TConfigDlg>([&](TConfigDlg& dlg) {
      cpu = dlg.CBSelCPU->currentText();
      romSize = dlg.CBRomSize->currentText();
      speedIndex = dlg.ProgSpeedIndex();
      dlg.OKBtn->click();
    });
    form.MnSetConfigClick();
    QCOMPARE(cpu, QStringLiteral("RX231"));
    QVERIFY(romSize.isEmpty());
    QCOMPARE(speedIndex, -1);
    QCOMPARE(form.ProgSettings.CpuCode, 5);
    QCOMPARE(form.ProgSettings.RomSizeIndex, -1);
    QCOMPARE(form.ProgSettings.WriteSpeedIndex, -1);
    // The fall-back area for a size without a row of its own.
    QCOMPARE(form.Model().Controller()->RomStart, 0xFFFF0000u);
  }

  void cancelChangesNothing() {
    TRXProgAppForm form;
    kv9::TFlashWrRXCont& cont = *form.Model().Controller();
    const kv9::TProgSettings before = form.ProgSettings;
    const kv9::TProgSettings contBefore = cont.Settings;
    WhenModal<TConfigDlg>([](TConfigDlg& dlg) {
      dlg.CBSelCPU->setCurrentIndex(0);
      dlg.CBRomSize->setCurrentIndex(0);
      Type(dlg.EdTeibai1, "9");
      Type(dlg.EdResTime, "5");
      dlg.CBDispDebugInfo->setChecked(true);
      dlg.CBInit->setChecked(false);
      dlg.RGProgSpeedButtons->button(0)->click();
      dlg.CancelBtn->click();
    });
    form.MnSetConfigClick();
    CompareSettings(form.ProgSettings, before);
    CompareSettings(cont.Settings, contBefore);
    QCOMPARE(form.ResetWaitMs, 1000);
    QCOMPARE(form.DispDebugInfo, 0);
    QCOMPARE(form.InitAfterUpdate, 1);
    QCOMPARE(cont.DebugLog, 0);
    QCOMPARE(cont.RomStart, 0xFFFC0000u);
    QCOMPARE(QByteArray(cont.DeviceCode.data(), 4), QByteArray("8a02"));
  }

  // --- TComComboBox ---
  void portListIsSortedAsTextAndTheFirstIsSelectedWhenNoPortIsBound() {
    kv9::test::PortFolder folder;
    for (const char* name : {"COM2", "COM10", "COM1"}) AddPortFile(folder, name);
    TComComboBox box;
    QCOMPARE(box.count(), 0);  // nothing until a property is chosen
    box.SetComProperty(cpPort);
    QCOMPARE(Items(box), (QStringList{"COM1", "COM10", "COM2"}));
    QCOMPARE(box.GetText(), QStringLiteral("COM1"));
    QVERIFY(!box.isEditable());
  }

  void boundPortNameIsSelectedIgnoringCase() {
    kv9::test::PortFolder folder;
    for (const char* name : {"COM1", "COM3", "COM7"}) AddPortFile(folder, name);
    TComComboBox box;
    box.SetComProperty(cpPort);
    kv9::TComPort port;
    port.SetPort("com3");
    box.SetComPort(&port);
    QCOMPARE(box.GetText(), QStringLiteral("COM3"));

    // Binding the same port again does nothing, even after a pick.
    box.setCurrentIndex(box.findText("COM7"));
    port.SetPort("COM1");
    box.SetComPort(&port);
    QCOMPARE(box.GetText(), QStringLiteral("COM7"));

    // A port whose name is not listed: no item, empty text.
    kv9::TComPort other;
    other.SetPort("COM9");
    box.SetComPort(&other);
    QCOMPARE(box.currentIndex(), -1);
    QVERIFY(box.GetText().isEmpty());
  }

  void pickingChangesThePortOnlyWithAutoApply() {
    kv9::test::PortFolder folder;
    for (const char* name : {"COM1", "COM3"}) AddPortFile(folder, name);
    TComComboBox box;
    box.SetComProperty(cpPort);
    kv9::TComPort port;  // "COM1", closed
    box.SetComPort(&port);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    // A pick from the keyboard, as a person makes it.
    QTest::keyClick(&box, Qt::Key_Down);
    QCOMPARE(box.GetText(), QStringLiteral("COM3"));
    QCOMPARE(port.Port(), std::string("COM1"));
    box.AutoApply = true;
    QTest::keyClick(&box, Qt::Key_Up);
    QCOMPARE(box.GetText(), QStringLiteral("COM1"));
    QTest::keyClick(&box, Qt::Key_Down);
    QCOMPARE(port.Port(), std::string("COM3"));
  }

  void machineWithoutPortsLeavesAnEmptyList() {
    kv9::test::PortFolder folder;
    AddPortFile(folder, "COM4");
    TComComboBox box;
    box.SetComProperty(cpPort);
    QCOMPARE(box.count(), 1);
    std::filesystem::remove(folder.Path() + "/COM4");
    box.SetComProperty(cpPort);  // cleared before the (empty) fill
    QCOMPARE(box.count(), 0);
    QVERIFY(box.GetText().isEmpty());
    // EnumComPorts itself leaves a list unchanged when there are no ports.
    std::vector<std::string> list{"kept"};
    kv9::EnumComPorts(list);
    QCOMPARE(list, std::vector<std::string>{"kept"});
  }

  // --- TPortSetDlg and MnSetCOMPortClick ---
  void portListingOpensOverThePortDialog() {
    kv9::test::PortFolder folder;
    for (const char* name : {"COM2", "COM1"}) AddPortFile(folder, name);
    TPortSetDlg dlg;
    dlg.show();
    QStringList listed;
    auto seen = std::make_shared<bool>(false);
    WhenModal<TPortListDlg>([&](TPortListDlg& list) {
      for (int row = 0; row < list.LVPorts->rowCount(); ++row) listed << list.LVPorts->item(row, 0)->text();
      list.CloseBtn->click();
    }, seen);
    dlg.BTCheckPort->click();
    QVERIFY(*seen);
    QCOMPARE(listed, (QStringList{"COM1", "COM2"}));
    QVERIFY(dlg.isVisible());  // the port dialog stays open
  }

  void cancelOrTheCurrentPortChangesNothing() {
    kv9::test::PortFolder folder;
    kv9::test::TracedSim sim(folder, 3);
    AddPortFile(folder, "COM4");
    TRXProgAppForm form;
    form.DispDebugInfo = 1;
    form.ProgSettings.PortNumber = 3;
    form.Open1Click();
    kv9::TFlashWrRXCont& cont = *form.Model().Controller();
    QVERIFY(cont.CommX1.Connected());
    const std::uint8_t unread[5] = {};
    cont.StoreReceived(unread, 5);  // a reopening would empty the ring
    form.SPTMemo->Clear();

    // Cancel after picking another port.
    WhenModal<TPortSetDlg>([](TPortSetDlg& dlg) {
      dlg.ComComboBox1->setCurrentIndex(dlg.ComComboBox1->findText("COM4"));
      dlg.CancelBtn->click();
    });
    form.MnSetCOMPortClick();
    // OK with the port in use, which the list shows.
    QString shown;
    WhenModal<TPortSetDlg>([&](TPortSetDlg& dlg) {
      shown = dlg.ComComboBox1->GetText();
      dlg.OKBtn->click();
    });
    form.MnSetCOMPortClick();
    QCOMPARE(shown, QStringLiteral("COM3"));
    QCOMPARE(form.SPTMemo->LineCount(), 0);
    QCOMPARE(cont.RxCount(), 5);
    QVERIFY(cont.CommX1.Connected());
    QCOMPARE(form.ProgSettings.PortNumber, 3);
  }

  void choosingAnotherPortOpensItAndLogsADebugLine() {
    kv9::test::PortFolder folder;
    kv9::test::TracedSim sim3(folder, 3);
    kv9::test::TracedSim sim4(folder, 4);
    TRXProgAppForm form;
    kv9::TFlashWrRXCont& cont = *form.Model().Controller();
    form.ProgSettings.PortNumber = 3;
    form.Open1Click();
    form.SPTMemo->Clear();
    auto pick = [](const char* name) {
      WhenModal<TPortSetDlg>([name](TPortSetDlg& dlg) {
        dlg.ComComboBox1->setCurrentIndex(dlg.ComComboBox1->findText(name));
        dlg.OKBtn->click();
      });
    };

    // Debug display off: the port changes, the line stays hidden.
    pick("COM4");
    form.MnSetCOMPortClick();
    QCOMPARE(form.SPTMemo->LineCount(), 0);
    QCOMPARE(cont.CommX1.Port(), std::string("COM4"));
    QVERIFY(cont.CommX1.Connected());
    QCOMPARE(cont.CommX1.EffectiveBaudRate(), 19200u);  // keeps its bit rate
    QCOMPARE(form.ProgSettings.PortNumber, 4);
    QCOMPARE(cont.Settings.PortNumber, 4);

    form.DispDebugInfo = 1;
    pick("COM3");
    form.MnSetCOMPortClick();
    QCOMPARE(form.SPTMemo->Lines(), QStringList{"Open COM3 : OK"});
    QCOMPARE(form.ProgSettings.PortNumber, 3);
    CompareSettings(cont.Settings, form.ProgSettings);

  }

  void aPortThatDoesNotOpenLogsNgAndKeepsThePortNumber() {
    kv9::test::PortFolder folder;
    AddPortFile(folder, "COM5");  // listed, but not a serial device
    kv9::test::TracedSim sim(folder, 3);
    TRXProgAppForm form;
    form.DispDebugInfo = 1;
    form.ProgSettings.PortNumber = 3;
    form.Open1Click();
    form.SPTMemo->Clear();
    const int controllerPort = form.Model().Controller()->Settings.PortNumber;
    QString box;
    WhenModal<TPortSetDlg>([&box](TPortSetDlg& dlg) {
      dlg.ComComboBox1->setCurrentIndex(dlg.ComComboBox1->findText("COM5"));
      WhenModal<QMessageBox>([&box](QMessageBox& message) {
        box = message.text();
        message.accept();
      });
      dlg.OKBtn->click();
    });
    form.MnSetCOMPortClick();
    QVERIFY2(box.startsWith(QStringLiteral("COM5がオープン出来ません!!")), qPrintable(box));
    QCOMPARE(form.SPTMemo->Lines(), QStringList{"Open COM5 : NG"});
    QCOMPARE(form.ProgSettings.PortNumber, 3);
    QCOMPARE(form.Model().Controller()->Settings.PortNumber, controllerPort);  // no record copy
    QVERIFY(!form.Model().Controller()->CommX1.Connected());
  }

  void okWithNothingSelectedRaisesTheConversionErrorBeforeAnyPortActivity() {
    kv9::test::PortFolder folder;
    AddPortFile(folder, "COM3");
    TRXProgAppForm form;  // its port is COM1, which is not listed
    form.DispDebugInfo = 1;
    QString shown = "unset";
    WhenModal<TPortSetDlg>([&](TPortSetDlg& dlg) {
      shown = dlg.ComComboBox1->GetText();
      dlg.OKBtn->click();
    });
    QVERIFY_THROWS_EXCEPTION(kv9::EConvertError, form.MnSetCOMPortClick());
    QVERIFY(shown.isEmpty());
    QCOMPARE(form.SPTMemo->LineCount(), 0);
    QCOMPARE(form.Model().Controller()->CommX1.Port(), std::string("COM1"));
    QVERIFY(!form.Model().Controller()->CommX1.Connected());
    QCOMPARE(form.ProgSettings.PortNumber, 1);

    // From the menu the error box reports it and the tool goes on.
    QStringList boxes;
    KV9Application::SetErrorBoxHook([&](const QString& m) { boxes << m; });
    WhenModal<TPortSetDlg>([](TPortSetDlg& dlg) { dlg.OKBtn->click(); });
    QTimer::singleShot(0, &form, [&form] { form.findChild<QAction*>("MnSetCOMPort")->trigger(); });
    QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 3000);
    KV9Application::SetErrorBoxHook({});
    QCOMPARE(boxes[0], QStringLiteral("'' is not a valid integer value"));
  }

  // --- Open, Clsoe, ROM version, boot mode ---
  void portItemsAgainstTheModule() {
    kv9::test::PortFolder folder;
    kv9::test::TracedSim sim(folder, 6);
    TRXProgAppForm form;
    kv9::TFlashWrRXCont& cont = *form.Model().Controller();
    form.ProgSettings.PortNumber = 6;
    cont.CommX1.SetBaudRate(kv9::br115200);

    form.findChild<QAction*>("Open1")->trigger();
    QVERIFY(cont.CommX1.Connected());
    QCOMPARE(cont.CommX1.BaudRate(), kv9::br19200);
    form.findChild<QAction*>("Rom1")->trigger();
    form.findChild<QAction*>("Boot1")->trigger();
    QVERIFY(sim->WaitFor([](const kv9::sim::SimSnapshot& s) { return s.personality == kv9::sim::Personality::Boot; },
                         std::chrono::milliseconds(3000)));
    form.findChild<QAction*>("Clsoe1")->trigger();
    QVERIFY(!cont.CommX1.Connected());
    QCOMPARE(form.SPTMemo->Lines(), (QStringList{"Open COM6 : OK", "ROM Verision : V1.00.00 ",
                                                 "SetProgMode :  : OK", "Clse COM Port"}));
    // Two module frames reached the module: the version query and the boot-mode request.
    QCOMPARE(sim.Received().size(), std::size_t{2});
  }

  void openOfAMissingPortShowsTheBoxAndLogsNg() {
    kv9::test::PortFolder folder;
    TRXProgAppForm form;
    form.ProgSettings.PortNumber = 9;
    QString box;
    WhenModal<QMessageBox>([&box](QMessageBox& message) {
      box = message.text();
      message.accept();
    });
    form.Open1Click();
    QVERIFY2(box.startsWith(QStringLiteral("COM9がオープン出来ません!!")), qPrintable(box));
    QCOMPARE(form.SPTMemo->Lines(), QStringList{"Open COM9 : NG"});
    QCOMPARE(form.ProgSettings.PortNumber, 9);
  }

  void romVersionWithoutAReplyAddsNoResultLine() {
    TRXProgAppForm form;  // port closed: the query gets no reply
    form.Rom1Click();
    QCOMPARE(form.SPTMemo->LineCount(), 0);
    form.DispDebugInfo = 1;
    form.Model().Controller()->DebugLog = 1;
    form.Rom1Click();
    QCOMPARE(form.SPTMemo->Lines(), QStringList{"Time Over(10)"});
  }
};

int main(int argc, char** argv) {
  KV9Application app(argc, argv);
  QtMessagePump pump;
  kv9::SetPump(&pump);
  SettingsDialogsTest test;
  const int result = QTest::qExec(&test, argc, argv);
  kv9::SetPump(nullptr);
  return result;
}

#include "settings_dialogs_test.moc"

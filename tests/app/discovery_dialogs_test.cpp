// The dialogs of discovery built for real on the offscreen
// platform: the port-open dialog TOpenCom1Dlg, the re-write settings dialog
// TConfErrDlg, the search's wait window TGuage1Dlg, the port listing
// TPortListDlg, and the main window's side of kv9::LinkUi that shows them.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>
#include <QWindow>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/conf_err_dlg.h"
#include "app/guage1_dlg.h"
#include "app/kv9_application.h"
#include "app/main_window.h"
#include "link/flash_wr_rx_cont.h"
#include "app/open_com1_dlg.h"
#include "app/port_list_dlg.h"
#include "app/qt_message_pump.h"
#include "tests/support/modal_driver.h"
#include "tests/support/port_folder.h"

namespace {

const QString kCaption = QStringLiteral("シリアルポートのオープン");
const QString kCaptionReWrite = QStringLiteral("シリアルポートのオープン［再書込みモード］");

using kv9::test::WhenModal;

QStringList Entries(const QListWidget* list) {
  QStringList texts;
  for (int row = 0; row < list->count(); ++row) texts << list->item(row)->text();
  return texts;
}

QListWidgetItem* EntryNamed(QListWidget* list, const QString& text) {
  const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
  return found.isEmpty() ? nullptr : found.first();
}

void ClickEntry(QListWidget* list, const QString& text) {
  QListWidgetItem* item = EntryNamed(list, text);
  QVERIFY2(item, qPrintable(text));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                    list->visualItemRect(item).center());
}

void DoubleClickEntry(QListWidget* list, const QString& text, Qt::KeyboardModifiers modifiers) {
  QListWidgetItem* item = EntryNamed(list, text);
  QVERIFY2(item, qPrintable(text));
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, modifiers,
                     list->visualItemRect(item).center());
}

// The port-open dialog as discovery leaves it before showing it.
struct ShownOpenDialog {
  std::int32_t reWriteMode = 0;
  TOpenCom1Dlg dlg{reWriteMode};
  ShownOpenDialog() {
    dlg.SetPorts({"COM3", "COM10", "COM2", "COM1"});
    dlg.CB_WrSpeed->addItems({"9600bps", "19.2kbps", "38.4kbps", "115.2kbps"});
    dlg.StaticText1->setVisible(false);
    dlg.CB_WrSpeed->setVisible(false);
    dlg.show();
  }
};

}  // namespace

class DiscoveryDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  // --- TOpenCom1Dlg ---

  void openDialogHasItsControlsAndHidesTheSpeedGroupAtCreation() {
    std::int32_t reWriteMode = 0;
    TOpenCom1Dlg dlg(reWriteMode);
    QCOMPARE(dlg.windowTitle(), kCaption);
    auto text = [&](const char* name) {
      QWidget* w = dlg.findChild<QWidget*>(name);
      if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
      if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
      return QStringLiteral("<missing %1>").arg(name);
    };
    QCOMPARE(text("Label1"), QStringLiteral("COMポート"));
    QCOMPARE(text("OKBtn"), QStringLiteral("Open"));
    QCOMPARE(text("CancelBtn"), QStringLiteral("キャンセル"));
    QCOMPARE(text("CBAutoCheck"), QStringLiteral("Auto Check"));
    QCOMPARE(text("Button1"), QStringLiteral("ポートの確認..."));
    QCOMPARE(text("MnBtErr"), QStringLiteral("再書込み設定..."));
    QCOMPARE(text("StaticText1"), QStringLiteral("書込スピード"));
    QVERIFY(dlg.findChild<QComboBox*>("CB_WrSpeed"));
    QVERIFY(dlg.findChild<QListWidget*>("LBComPort"));
    QVERIFY(dlg.OKBtn->isDefault());
    QCOMPARE(dlg.STComPort->alignment(), Qt::AlignCenter);
    QCOMPARE(dlg.STComPort->frameShadow(), QFrame::Sunken);
    QCOMPARE(dlg.LBComPort->selectionMode(), QAbstractItemView::SingleSelection);

    // The speed group exists with its four buttons and is hidden from creation on.
    auto* group = dlg.findChild<QGroupBox*>("RGComSpeed");
    QVERIFY(group);
    QVERIFY(group->isHidden());
    QStringList speeds;
    for (QRadioButton* b : group->findChildren<QRadioButton*>()) speeds << b->text();
    QCOMPARE(speeds, (QStringList{"9600bps", "19.2kbps", "38.4kbps", "115.2kbps"}));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QVERIFY(!group->isVisible());
    QVERIFY(dlg.OKBtn->isVisible());
  }

  void portListIsSortedAsTextSoCom10ComesBeforeCom2() {
    std::int32_t reWriteMode = 0;
    TOpenCom1Dlg dlg(reWriteMode);
    dlg.SetPorts({"COM2", "COM10", "com3", "COM1"});
    QCOMPARE(Entries(dlg.LBComPort), (QStringList{"COM1", "COM10", "COM2", "com3"}));
    // Each entry still knows where it stood in the list it came from.
    QCOMPARE(dlg.RowOfPort(0), 2);       // COM2
    QCOMPARE(dlg.PortIndexOfRow(0), 3);  // COM1
    QCOMPARE(dlg.RowOfPort(7), -1);
    QCOMPARE(dlg.PortIndexOfRow(-1), -1);
  }

  void clickingAnEntryShowsItInTheChosenPortText() {
    ShownOpenDialog s;
    QVERIFY(QTest::qWaitForWindowExposed(&s.dlg));
    QCOMPARE(s.dlg.STComPort->text(), QString());
    ClickEntry(s.dlg.LBComPort, "COM10");
    QCOMPARE(s.dlg.STComPort->text(), QStringLiteral("COM10"));
    QCOMPARE(s.dlg.SelectedRow(), 1);
    ClickEntry(s.dlg.LBComPort, "COM3");
    QCOMPARE(s.dlg.STComPort->text(), QStringLiteral("COM3"));
    // Moving through the list with the keys is a click too.
    QTest::keyClick(s.dlg.LBComPort, Qt::Key_Up);
    QCOMPARE(s.dlg.STComPort->text(), QStringLiteral("COM2"));
  }

  void ctrlDoubleClickTogglesTheWriteSpeedAndAPlainDoubleClickDoesNothing() {
    ShownOpenDialog s;
    QVERIFY(QTest::qWaitForWindowExposed(&s.dlg));
    TOpenCom1Dlg& dlg = s.dlg;
    QVERIFY(dlg.StaticText1->isHidden() && dlg.CB_WrSpeed->isHidden());

    DoubleClickEntry(dlg.LBComPort, "COM2", Qt::NoModifier);
    QVERIFY(dlg.StaticText1->isHidden());
    QVERIFY(dlg.CB_WrSpeed->isHidden());

    DoubleClickEntry(dlg.LBComPort, "COM2", Qt::ControlModifier);
    QVERIFY(dlg.StaticText1->isVisible());
    QVERIFY(dlg.CB_WrSpeed->isVisible());
    QCOMPARE(dlg.CB_WrSpeed->count(), 4);

    DoubleClickEntry(dlg.LBComPort, "COM1", Qt::NoModifier);
    QVERIFY(dlg.StaticText1->isVisible());

    DoubleClickEntry(dlg.LBComPort, "COM1", Qt::ControlModifier);
    QVERIFY(dlg.StaticText1->isHidden());
    QVERIFY(dlg.CB_WrSpeed->isHidden());

    // Both take the opposite of the caption's state: with the caption hidden
    // and the combo shown, a toggle shows both.
    dlg.CB_WrSpeed->setVisible(true);
    DoubleClickEntry(dlg.LBComPort, "COM3", Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(dlg.StaticText1->isVisible());
    QVERIFY(dlg.CB_WrSpeed->isVisible());
    // A double click below the last entry is still a double click on the list.
    QTest::mouseDClick(dlg.LBComPort->viewport(), Qt::LeftButton, Qt::ControlModifier,
                       QPoint(10, dlg.LBComPort->viewport()->height() - 3));
    QVERIFY(dlg.StaticText1->isHidden());
    QVERIFY(dlg.CB_WrSpeed->isHidden());
  }

  void ctrlDoubleClickWorksOnADialogThatIsNotShown() {
    std::int32_t reWriteMode = 0;
    TOpenCom1Dlg dlg(reWriteMode);
    dlg.StaticText1->setVisible(false);
    dlg.CB_WrSpeed->setVisible(false);
    dlg.LBComPortDblClick(Qt::ControlModifier);
    QVERIFY(!dlg.StaticText1->isHidden());
    QVERIFY(!dlg.CB_WrSpeed->isHidden());
    dlg.LBComPortDblClick(Qt::AltModifier);
    QVERIFY(!dlg.StaticText1->isHidden());
  }

  void reWriteSettingSwitchesCaptionAndAutoCheck() {
    ShownOpenDialog s;
    TOpenCom1Dlg& dlg = s.dlg;
    dlg.CBAutoCheck->setChecked(true);

    // Switch re-write mode on.
    bool driven = false;
    WhenModal<TConfErrDlg>([&](TConfErrDlg* conf) {
      driven = true;
      QCOMPARE(conf->parent(), &dlg);
      QVERIFY(!conf->CBReWrite->isChecked());  // the mode is off
      conf->CBReWrite->setChecked(true);
      QTest::mouseClick(conf->OKBtn, Qt::LeftButton);
    });
    QTest::mouseClick(dlg.MnBtErr, Qt::LeftButton);
    QVERIFY(driven);
    QCOMPARE(s.reWriteMode, 1);
    QCOMPARE(dlg.windowTitle(), kCaptionReWrite);
    QVERIFY(!dlg.CBAutoCheck->isChecked());
    QVERIFY(!dlg.CBAutoCheck->isEnabled());
    QVERIFY(dlg.isVisible());                             // the port dialog stays open
    QVERIFY(dlg.findChildren<TConfErrDlg*>().isEmpty());  // released

    // And off again: the box comes back enabled but stays clear.
    driven = false;
    WhenModal<TConfErrDlg>([&](TConfErrDlg* conf) {
      driven = true;
      QVERIFY(conf->CBReWrite->isChecked());  // shows the mode that is on
      conf->CBReWrite->setChecked(false);
      QTest::mouseClick(conf->OKBtn, Qt::LeftButton);
    });
    QTest::mouseClick(dlg.MnBtErr, Qt::LeftButton);
    QVERIFY(driven);
    QCOMPARE(s.reWriteMode, 0);
    QCOMPARE(dlg.windowTitle(), kCaption);
    QVERIFY(dlg.CBAutoCheck->isEnabled());
    QVERIFY(!dlg.CBAutoCheck->isChecked());
  }

  void cancelInTheReWriteSettingsChangesNothing() {
    ShownOpenDialog s;
    TOpenCom1Dlg& dlg = s.dlg;
    dlg.CBAutoCheck->setChecked(true);
    bool driven = false;
    WhenModal<TConfErrDlg>([&](TConfErrDlg* conf) {
      driven = true;
      conf->CBReWrite->setChecked(true);
      QTest::mouseClick(conf->CancelBtn, Qt::LeftButton);
    });
    QTest::mouseClick(dlg.MnBtErr, Qt::LeftButton);
    QVERIFY(driven);
    QCOMPARE(s.reWriteMode, 0);
    QCOMPARE(dlg.windowTitle(), kCaption);
    QVERIFY(dlg.CBAutoCheck->isChecked());
    QVERIFY(dlg.CBAutoCheck->isEnabled());

    // Cancel with the mode on leaves it on, and the caption the caller set.
    s.reWriteMode = 1;
    dlg.setWindowTitle(kCaptionReWrite);
    WhenModal<TConfErrDlg>([&](TConfErrDlg* conf) {
      conf->CBReWrite->setChecked(false);
      QTest::keyClick(conf, Qt::Key_Escape);
    });
    QTest::mouseClick(dlg.MnBtErr, Qt::LeftButton);
    QCOMPARE(s.reWriteMode, 1);
    QCOMPARE(dlg.windowTitle(), kCaptionReWrite);
  }

  void portCheckButtonOpensThePortListAndThePortDialogStaysOpen() {
    ShownOpenDialog s;
    bool driven = false;
    WhenModal<TPortListDlg>([&](TPortListDlg* list) {
      driven = true;
      QCOMPARE(list->windowTitle(), QStringLiteral("ポートの確認"));
      QTest::mouseClick(list->CloseBtn, Qt::LeftButton);
    });
    QTest::mouseClick(s.dlg.Button1, Qt::LeftButton);
    QVERIFY(driven);
    QVERIFY(s.dlg.isVisible());
  }

  // --- TConfErrDlg ---

  void reWriteSettingsDialogTexts() {
    TConfErrDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("書き込みエラー時の設定"));
    QCOMPARE(dlg.CBReWrite->objectName(), QStringLiteral("CBReWrite"));
    QCOMPARE(dlg.CBReWrite->text(), QStringLiteral("再書き込みを行う"));
    QCOMPARE(dlg.CBReWrite->palette().color(QPalette::WindowText), QColor(Qt::blue));
    QCOMPARE(dlg.findChild<QPushButton*>("OKBtn")->text(), QStringLiteral("設定"));
    QCOMPARE(dlg.findChild<QPushButton*>("CancelBtn")->text(), QStringLiteral("キャンセル"));
    QVERIFY(dlg.OKBtn->isDefault());

    QPlainTextEdit* memo = dlg.findChild<QPlainTextEdit*>("Memo1");
    QVERIFY(memo);
    QVERIFY(memo->isReadOnly());
    const QStringList expected = {
        QStringLiteral("書き込みに失敗した場合"),
        QStringLiteral("\u3000・上のチェックボックスにチェックをいれる"),
        QStringLiteral("\u3000・R/Wの電源を入れ直す"),
        QStringLiteral("\u3000・再度書き込みを行う"),
        QString(),
        QStringLiteral("ベリファイに失敗した場合"),
        QStringLiteral("\u3000・上のチェックボックスにチェックをいれない"),
        QStringLiteral("\u3000・R/Wの電源を入れ直す"),
        QStringLiteral("\u3000・再度書き込みを行う"),
    };
    QCOMPARE(memo->document()->blockCount(), 9);
    QStringList lines;
    for (QTextBlock b = memo->document()->begin(); b.isValid(); b = b.next()) lines << b.text();
    QCOMPARE(lines, expected);
    QCOMPARE(memo->toPlainText(), expected.join('\n'));
    QCOMPARE(lines[1].at(0), QChar(0x3000));
    QCOMPARE(lines[1].at(1), QChar(u'・'));
    QVERIFY(lines[0].at(0) != QChar(0x3000));
  }

  // --- TGuage1Dlg ---

  void waitWindowDefaults() {
    TGuage1Dlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("変換実行中"));
    QCOMPARE(dlg.Button1->text(), QStringLiteral("&Cancel"));
    QCOMPARE(dlg.Label1->alignment(), Qt::AlignCenter);
    QCOMPARE(dlg.ProgressBar1->parentWidget(), dlg.Panel2);
    QCOMPARE(dlg.Panel2->frameShadow(), QFrame::Sunken);
    QVERIFY(dlg.findChild<QLabel*>("Label1") && dlg.findChild<QProgressBar*>("ProgressBar1") &&
            dlg.findChild<QFrame*>("Panel2") && dlg.findChild<QPushButton*>("Button1"));
    QVERIFY(!dlg.isModal());
    QVERIFY(!(dlg.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(dlg.windowFlags() & Qt::CustomizeWindowHint);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    // Neither Esc, nor the window manager's close request, nor the button
    // ends it; only its user's close() does.
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(dlg.isVisible());
    // A close event at the window, as the platform delivers the window
    // manager's request, reaches the dialog as a spontaneous one.
    QCloseEvent wmClose;
    QCoreApplication::sendEvent(dlg.windowHandle(), &wmClose);
    QVERIFY(!wmClose.isAccepted());
    QVERIFY(dlg.isVisible());
    QTest::mouseClick(dlg.Button1, Qt::LeftButton);
    QVERIFY(dlg.isVisible());
    QVERIFY(dlg.close());
    QVERIFY(!dlg.isVisible());
  }

  // --- TRXProgAppForm's side of kv9::LinkUi ---

  void portOpenDialogShowsTheRequestAndReturnsTheChoice() {
    TRXProgAppForm form;
    kv9::PortOpenDialogRequest request;
    request.caption = kCaption.toStdString();
    request.ports = {"COM1", "COM10", "COM2", "COM3"};
    request.selectedIndex = 3;
    request.comSpeedIndex = 2;
    request.writeSpeeds = {"9600bps", "19.2kbps", "38.4kbps", "115.2kbps"};
    request.writeSpeedIndex = 3;
    std::int32_t reWriteMode = 0;

    bool driven = false;
    WhenModal<TOpenCom1Dlg>([&](TOpenCom1Dlg* dlg) {
      driven = true;
      QCOMPARE(dlg->parentWidget(), &form);
      QCOMPARE(dlg->windowTitle(), kCaption);
      QCOMPARE(Entries(dlg->LBComPort), (QStringList{"COM1", "COM10", "COM2", "COM3"}));
      QCOMPARE(dlg->SelectedRow(), 3);
      QCOMPARE(dlg->STComPort->text(), QStringLiteral("COM3"));
      QCOMPARE(dlg->ComSpeedIndex(), 2);
      QVERIFY(dlg->RGComSpeed->isHidden());
      QCOMPARE(dlg->CB_WrSpeed->count(), 4);
      QCOMPARE(dlg->CB_WrSpeed->currentIndex(), 3);
      QCOMPARE(dlg->CB_WrSpeed->currentText(), QStringLiteral("115.2kbps"));
      QVERIFY(dlg->CB_WrSpeed->isHidden());
      QVERIFY(dlg->StaticText1->isHidden());
      QVERIFY(!dlg->CBAutoCheck->isChecked());
      QVERIFY(dlg->CBAutoCheck->isEnabled());
      ClickEntry(dlg->LBComPort, "COM10");
      QCOMPARE(dlg->STComPort->text(), QStringLiteral("COM10"));
      dlg->CBAutoCheck->setChecked(true);
      QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
    });
    const kv9::PortOpenDialogResult result = form.RunPortOpenDialog(request, reWriteMode);
    QVERIFY(driven);
    QVERIFY(result.ok);
    QCOMPARE(result.selectedIndex, 1);
    QCOMPARE(result.selectedText, std::string("COM10"));
    QCOMPARE(result.comSpeedIndex, 2);
    QVERIFY(result.autoCheck);
    QCOMPARE(reWriteMode, 0);
    QVERIFY(form.findChildren<TOpenCom1Dlg*>().isEmpty());  // released
  }

  void portOpenDialogIndexesRefertoTheRequestsListWhateverItsOrder() {
    TRXProgAppForm form;
    kv9::PortOpenDialogRequest request;
    request.caption = kCaption.toStdString();
    request.ports = {"COM2", "COM10", "COM1"};
    request.selectedIndex = 0;  // COM2, shown last
    std::int32_t reWriteMode = 0;
    WhenModal<TOpenCom1Dlg>([&](TOpenCom1Dlg* dlg) {
      QCOMPARE(Entries(dlg->LBComPort), (QStringList{"COM1", "COM10", "COM2"}));
      QCOMPARE(dlg->SelectedRow(), 2);
      QCOMPARE(dlg->STComPort->text(), QStringLiteral("COM2"));
      QCOMPARE(dlg->ComSpeedIndex(), 1);  // the request's default, 19200
      QTest::keyClick(dlg->OKBtn, Qt::Key_Space);
    });
    kv9::PortOpenDialogResult result = form.RunPortOpenDialog(request, reWriteMode);
    QVERIFY(result.ok);
    QCOMPARE(result.selectedIndex, 0);
    QCOMPARE(result.selectedText, std::string("COM2"));
    QCOMPARE(result.comSpeedIndex, 1);
    QVERIFY(!result.autoCheck);

    // Nothing preselected and nothing clicked: no entry, an empty text.
    request.selectedIndex = -1;
    WhenModal<TOpenCom1Dlg>([&](TOpenCom1Dlg* dlg) {
      QCOMPARE(dlg->SelectedRow(), -1);
      QCOMPARE(dlg->STComPort->text(), QString());
      dlg->OKBtn->click();
    });
    result = form.RunPortOpenDialog(request, reWriteMode);
    QVERIFY(result.ok);
    QCOMPARE(result.selectedIndex, -1);
    QCOMPARE(result.selectedText, std::string());

    // An empty list.
    request.ports.clear();
    WhenModal<TOpenCom1Dlg>([&](TOpenCom1Dlg* dlg) {
      QCOMPARE(dlg->LBComPort->count(), 0);
      dlg->OKBtn->click();
    });
    result = form.RunPortOpenDialog(request, reWriteMode);
    QVERIFY(result.ok);
    QCOMPARE(result.selectedIndex, -1);
  }

  void cancelInThePortOpenDialogReturnsNotOk() {
    TRXProgAppForm form;
    kv9::PortOpenDialogRequest request;
    request.caption = kCaption.toStdString();
    request.ports = {"COM1"};
    request.selectedIndex = 0;
    std::int32_t reWriteMode = 0;
    WhenModal<TOpenCom1Dlg>(
        [&](TOpenCom1Dlg* dlg) { QTest::mouseClick(dlg->CancelBtn, Qt::LeftButton); });
    kv9::PortOpenDialogResult result = form.RunPortOpenDialog(request, reWriteMode);
    QVERIFY(!result.ok);
    QCOMPARE(result.selectedText, std::string("COM1"));  // what was chosen, for the record

    WhenModal<TOpenCom1Dlg>([&](TOpenCom1Dlg* dlg) { QTest::keyClick(dlg, Qt::Key_Escape); });
    result = form.RunPortOpenDialog(request, reWriteMode);
    QVERIFY(!result.ok);
  }

  void reWriteModeSwitchedInsideThePortOpenDialogReachesTheController() {
    TRXProgAppForm form;
    kv9::PortOpenDialogRequest request;
    request.caption = kCaption.toStdString();
    request.ports = {"COM1", "COM4"};
    request.selectedIndex = 0;
    request.comSpeedIndex = 0;
    std::int32_t reWriteMode = 0;
    WhenModal<TOpenCom1Dlg>([&](TOpenCom1Dlg* dlg) {
      dlg->CBAutoCheck->setChecked(true);
      WhenModal<TConfErrDlg>([&](TConfErrDlg* conf) {
        conf->CBReWrite->setChecked(true);
        conf->OKBtn->click();
      });
      dlg->MnBtErr->click();  // returns when the nested dialog has ended
      QCOMPARE(reWriteMode, 1);
      QCOMPARE(dlg->windowTitle(), kCaptionReWrite);
      ClickEntry(dlg->LBComPort, "COM4");
      dlg->RGComSpeedButtons->button(3)->setChecked(true);  // as if the group were shown
      dlg->OKBtn->click();
    });
    const kv9::PortOpenDialogResult result = form.RunPortOpenDialog(request, reWriteMode);
    QVERIFY(result.ok);
    QCOMPARE(reWriteMode, 1);
    QVERIFY(!result.autoCheck);
    QCOMPARE(result.selectedText, std::string("COM4"));
    QCOMPARE(result.selectedIndex, 1);
    QCOMPARE(result.comSpeedIndex, 3);
  }

  void searchProgressShowsTheBannerAndCloses() {
    TRXProgAppForm form;
    const std::string banner = "------- Check KV9 R/W ----------";
    form.ShowSearchProgress("しばらくお待ちください", banner);
    auto* dlg = form.findChild<TGuage1Dlg*>();
    QVERIFY(dlg);
    QVERIFY(dlg->isVisible());
    QCOMPARE(dlg->windowTitle(), QStringLiteral("しばらくお待ちください"));
    QCOMPARE(dlg->Label1->text(), QString::fromStdString(banner));
    QVERIFY(dlg->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!dlg->isModal());
    QVERIFY(dlg->Button1->isHidden());
    QVERIFY(dlg->ProgressBar1->isHidden());
    QVERIFY(dlg->Panel2->isHidden());
    QVERIFY(dlg->Label1->isVisible());
    QCOMPARE(form.statusBar()->currentMessage(), QString::fromStdString(banner));

    form.SetSearchLabel("Check PORT:3 38.4kbps");
    QCOMPARE(dlg->Label1->text(), QStringLiteral("Check PORT:3 38.4kbps"));
    QCOMPARE(form.statusBar()->currentMessage(), QString::fromStdString(banner));

    QPointer<TGuage1Dlg> guard(dlg);
    form.CloseSearchProgress();
    QVERIFY(guard.isNull());
    QVERIFY(form.findChildren<TGuage1Dlg*>().isEmpty());
    QCOMPARE(form.statusBar()->currentMessage(), QString());

    // Harmless without a wait window.
    form.SetSearchLabel("nothing");
    form.CloseSearchProgress();
  }

  void searchProgressShownTwiceKeepsOneWindow() {
    TRXProgAppForm form;
    form.ShowSearchProgress("a", "first");
    form.ShowSearchProgress("b", "second");
    QCOMPARE(form.findChildren<TGuage1Dlg*>().size(), 1);
    QCOMPARE(form.findChild<TGuage1Dlg*>()->Label1->text(), QStringLiteral("second"));
    QCOMPARE(form.statusBar()->currentMessage(), QStringLiteral("second"));
    form.CloseSearchProgress();
    QVERIFY(form.findChildren<TGuage1Dlg*>().isEmpty());
  }

  // --- the port listing ---

  void portListingShowsThePortFolderEntries() {
    kv9::test::PortFolder folder;
    const QDir dir(QString::fromStdString(folder.Path()));
    QVERIFY(QFile::link("/dev/null", dir.filePath("COM7")));
    QVERIFY(QFile::link("/dev/zero", dir.filePath("com12")));
    QFile plain(dir.filePath("COM200"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QFile other(dir.filePath("README"));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.close();
    TPortListDlg dlg;

    QCOMPARE(dlg.windowTitle(), QStringLiteral("ポートの確認"));
    QTableWidget* table = dlg.LVPorts;
    QCOMPARE(table->columnCount(), 3);
    QHash<QString, QStringList> rows;
    QStringList names;
    for (int row = 0; row < table->rowCount(); ++row) {
      const QString name = table->item(row, 0)->text();
      names << name;
      rows[name] = {table->item(row, 1)->text(), table->item(row, 2)->text()};
    }
    // Only the folder's ports, in the port table's order: COM12, COM200, COM7.
    QCOMPARE(names, (QStringList{"COM12", "COM200", "COM7"}));
    QCOMPARE(rows["COM7"], (QStringList{dir.filePath("COM7"), "/dev/null"}));
    QCOMPARE(rows["COM12"], (QStringList{dir.filePath("com12"), "/dev/zero"}));
    QCOMPARE(rows["COM200"], (QStringList{dir.filePath("COM200"), QString()}));
    QVERIFY(dlg.Label1->text().contains(QString::number(table->rowCount())));
  }

  void portListingOfNoPortsSaysSo() {
    TPortListDlg dlg;
    dlg.SetPorts({});
    QCOMPARE(dlg.LVPorts->rowCount(), 0);
    QCOMPARE(dlg.Label1->text(), QStringLiteral("シリアルポートが見つかりません。"));
    dlg.SetPorts({{"COM33", "/dev/ttyUSB0", "FT232R USB UART", {}}});
    QCOMPARE(dlg.LVPorts->rowCount(), 1);
    QCOMPARE(dlg.LVPorts->item(0, 2)->text(), QStringLiteral("FT232R USB UART"));
  }
};

int main(int argc, char** argv) {
  KV9Application app(argc, argv);
  QtMessagePump pump;
  kv9::SetPump(&pump);
  DiscoveryDialogsTest test;
  const int result = QTest::qExec(&test, argc, argv);
  kv9::SetPump(nullptr);
  return result;
}

#include "discovery_dialogs_test.moc"

// TRXProgAppForm's part of discovery: the port-open dialog and the
// search's wait window, shown for the controller through kv9::LinkUi.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

#include "app/dialog_parts.h"
#include "app/guage1_dlg.h"
#include "app/main_window.h"
#include "app/open_com1_dlg.h"
#include "platform/message_pump.h"

namespace {

QStringList ToQStringList(const std::vector<std::string>& texts) {
  QStringList list;
  list.reserve(static_cast<qsizetype>(texts.size()));
  for (const std::string& text : texts) list << QString::fromStdString(text);
  return list;
}

}  // namespace

// The request's list is shown sorted (LBComPort is a sorted list); the
// result's selectedIndex is the entry's index in request.ports, so
// request.ports[selectedIndex] == selectedText whatever order it came in.
kv9::PortOpenDialogResult TRXProgAppForm::RunPortOpenDialog(
    const kv9::PortOpenDialogRequest& request, std::int32_t& reWriteMode) {
  TOpenCom1Dlg dlg(reWriteMode, this);
  dlg.setWindowTitle(QString::fromStdString(request.caption));
  dlg.CBAutoCheck->setChecked(false);
  dlg.CB_WrSpeed->clear();
  dlg.CB_WrSpeed->addItems(ToQStringList(request.writeSpeeds));
  dlg.CB_WrSpeed->setCurrentIndex(request.writeSpeedIndex);
  dlg.CB_WrSpeed->setVisible(false);
  dlg.StaticText1->setVisible(false);
  dlg.LBComPort->setSelectionMode(QAbstractItemView::SingleSelection);

  dlg.SetPorts(ToQStringList(request.ports));
  const int row = dlg.RowOfPort(request.selectedIndex);
  if (row >= 0) {
    dlg.LBComPort->setCurrentRow(row);
    dlg.STComPort->setText(dlg.LBComPort->item(row)->text());
  }
  dlg.SetComSpeedIndex(request.comSpeedIndex);

  kv9::PortOpenDialogResult result;
  CentreOnScreen(&dlg);
  result.ok = dlg.exec() == QDialog::Accepted;
  const int selected = dlg.SelectedRow();
  result.selectedIndex = dlg.PortIndexOfRow(selected);
  result.selectedText = selected >= 0 ? dlg.LBComPort->item(selected)->text().toStdString() : "";
  result.comSpeedIndex = dlg.ComSpeedIndex();
  result.autoCheck = dlg.CBAutoCheck->isChecked();
  ShowReWriteMode();  // the dialog's re-write box may have switched it
  return result;
}

void TRXProgAppForm::ShowSearchProgress(const std::string& caption, const std::string& banner) {
  searchRunning_ = true;
  delete guage1Dlg_;  // a window left from an earlier search that was not closed
  guage1Dlg_ = new TGuage1Dlg(this);
  TGuage1Dlg* dlg = guage1Dlg_;
  dlg->setWindowFlag(Qt::WindowStaysOnTopHint, true);
  CentreOnScreen(dlg);
  dlg->show();
  // The search cannot be cancelled and shows no progress.
  dlg->Button1->setVisible(false);
  dlg->ProgressBar1->setVisible(false);
  dlg->Panel2->setVisible(false);
  const QString text = QString::fromStdString(banner);
  dlg->setWindowTitle(QString::fromStdString(caption));
  dlg->Label1->setText(text);
  statusBar()->showMessage(text);
  kv9::ProcessMessages();
  if (!guage1Dlg_) return;  // released while messages were processed
  CentreOnScreen(guage1Dlg_);  // again, now that the hidden parts no longer take room
  guage1Dlg_->show();
  guage1Dlg_->raise();
  kv9::ProcessMessages();
}

void TRXProgAppForm::SetSearchLabel(const std::string& text) {
  if (guage1Dlg_) guage1Dlg_->Label1->setText(QString::fromStdString(text));
}

void TRXProgAppForm::CloseSearchProgress() {
  searchRunning_ = false;
  QuitWhenIdleLater();  // a request that came in during the search
  statusBar()->clearMessage();
  if (!guage1Dlg_) return;
  guage1Dlg_->close();
  delete guage1Dlg_;
}

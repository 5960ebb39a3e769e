#include "app/port_list_dlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

TPortListDlg::TPortListDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("PortListDlg");
  setWindowTitle(QStringLiteral("ポートの確認"));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");

  LVPorts = new QTableWidget(0, 3, this);
  LVPorts->setObjectName("LVPorts");
  LVPorts->setHorizontalHeaderLabels(
      {QStringLiteral("ポート"), QStringLiteral("デバイス"), QStringLiteral("説明")});
  LVPorts->verticalHeader()->setVisible(false);
  LVPorts->setEditTriggers(QAbstractItemView::NoEditTriggers);
  LVPorts->setSelectionBehavior(QAbstractItemView::SelectRows);
  LVPorts->setSelectionMode(QAbstractItemView::SingleSelection);
  LVPorts->setShowGrid(false);
  LVPorts->setAlternatingRowColors(true);
  LVPorts->setWordWrap(false);
  LVPorts->horizontalHeader()->setHighlightSections(false);
  LVPorts->horizontalHeader()->setStretchLastSection(true);
  LVPorts->setMinimumSize(460, 200);

  CloseBtn = new QPushButton(QStringLiteral("閉じる"), this);
  CloseBtn->setObjectName("CloseBtn");
  CloseBtn->setDefault(true);
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(CloseBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
  layout->addWidget(LVPorts, 1);
  layout->addLayout(buttons);

  SetPorts(kv9::ReadPortTable());
  CloseBtn->setFocus();
}

void TPortListDlg::SetPorts(const std::vector<kv9::PortEntry>& ports) {
  LVPorts->clearContents();
  LVPorts->setRowCount(static_cast<int>(ports.size()));
  int row = 0;
  for (const kv9::PortEntry& port : ports) {
    const QString cells[] = {QString::fromStdString(port.name), QString::fromStdString(port.device),
                             QString::fromStdString(port.description)};
    for (int column = 0; column < 3; ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      item->setToolTip(cells[column]);
      LVPorts->setItem(row, column, item);
    }
    ++row;
  }
  // Wide enough for every name and path, with room between the columns.
  LVPorts->resizeColumnsToContents();
  for (int column = 0; column < 2; ++column) {
    LVPorts->setColumnWidth(column, LVPorts->columnWidth(column) + 16);
  }
  Label1->setText(ports.empty() ? QStringLiteral("シリアルポートが見つかりません。")
                                : QStringLiteral("シリアルポート (%1)").arg(ports.size()));
}

void ShowPortListDialog(QWidget* parent) {
  TPortListDlg dlg(parent);
  dlg.exec();
}

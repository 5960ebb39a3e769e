#include "app/dialog_parts.h"
#include "app/port_set_dlg.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/com_combo_box.h"
#include "app/port_list_dlg.h"

TPortSetDlg::TPortSetDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("PortSetDlg");
  setWindowTitle(QStringLiteral("COMポートの設定"));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  ComComboBox1 = new TComComboBox(this);
  ComComboBox1->setObjectName("ComComboBox1");
  ComComboBox1->SetComProperty(cpPort);
  // Until a port is bound the list shows COM1 when the machine has it.
  const int com1 = ComComboBox1->findText(QStringLiteral("COM1"), Qt::MatchFixedString);
  if (com1 >= 0) ComComboBox1->setCurrentIndex(com1);
  ComComboBox1->setMinimumWidth(140);

  BTCheckPort = new QPushButton(QStringLiteral("ポートの確認..."), this);
  BTCheckPort->setObjectName("BTCheckPort");
  BTCheckPort->setAutoDefault(false);
  connect(BTCheckPort, &QPushButton::clicked, this, &TPortSetDlg::BTCheckPortClick);

  OKBtn = MakeOkButton(this, QStringLiteral("設定"));
  CancelBtn = MakeCancelButton(this);

  // Left: the port list and the listing button under it. Right: the buttons.
  auto* left = new QVBoxLayout;
  left->addWidget(ComComboBox1);
  left->addStretch(1);
  left->addWidget(BTCheckPort);
  auto* right = new QVBoxLayout;
  right->addWidget(OKBtn);
  right->addWidget(CancelBtn);
  right->addStretch(1);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(14, 14, 14, 14);
  layout->setSpacing(18);
  layout->addLayout(left);
  layout->addLayout(right);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // fixed dialog border
  // Centred on the screen rather than over the main window.
  adjustSize();
  CentreOnScreen(this);
}

void TPortSetDlg::BTCheckPortClick() { ShowPortListDialog(this); }

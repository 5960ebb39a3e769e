#include "app/guage1_dlg.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

TGuage1Dlg::TGuage1Dlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("Guage1Dlg");
  setWindowTitle(QStringLiteral("変換実行中"));
  setModal(false);

  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  Label1->setAlignment(Qt::AlignCenter);
  // A fixed width: the search rewrites the line for every try, and the
  // window must not change its size with it.
  Label1->setFixedWidth(300);

  Panel2 = new QFrame(this);
  Panel2->setObjectName("Panel2");
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);  // lowered
  ProgressBar1 = new QProgressBar(Panel2);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  auto* panelLayout = new QHBoxLayout(Panel2);
  panelLayout->setContentsMargins(3, 3, 3, 3);
  panelLayout->addWidget(ProgressBar1);

  Button1 = new QPushButton(QStringLiteral("&Cancel"), this);
  Button1->setObjectName("Button1");
  Button1->setAutoDefault(false);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 16);
  layout->setSpacing(10);
  layout->addWidget(Label1);
  layout->addWidget(Panel2);
  layout->addWidget(Button1, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // fixed dialog border
}

void TGuage1Dlg::closeEvent(QCloseEvent* event) {
  if (event->spontaneous()) {
    event->ignore();
    return;
  }
  // Not QDialog::closeEvent: it would ask reject(), which refuses.
  done(QDialog::Rejected);
  event->accept();
}

#include "app/confirm1_dlg.h"

#include <QCloseEvent>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TConfirm1Dlg::TConfirm1Dlg(QWidget* owner) : QDialog(owner) {
  setObjectName("Confirm1Dlg");
  setWindowTitle(QStringLiteral("マイコンへの書き込み"));
  setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
  Label1 = new QLabel(QStringLiteral("OK"), this);
  Label1->setObjectName("Label1");
  Label1->setFixedSize(297, 97);
  Label1->setAlignment(Qt::AlignCenter);
  QFont gothic;
  gothic.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
                      QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック")});
  Label1->setFont(gothic);
  SetLabel1Colour(Qt::blue);
  Label2 = new QLabel(this);
  Label2->setObjectName("Label2");
  Label2->setMinimumHeight(16);
  Label2->setAlignment(Qt::AlignCenter);
  Label2->setStyleSheet("color: maroon;");
  OKBtn = new QPushButton(QStringLiteral("確認"), this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1, 0, Qt::AlignHCenter);
  layout->addWidget(Label2);
  layout->addWidget(OKBtn, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TConfirm1Dlg::SetLabel1Size(int pointSize) {
  QFont font = Label1->font();
  font.setPointSize(pointSize);
  Label1->setFont(font);
}

void TConfirm1Dlg::SetLabel1Colour(const QColor& colour) {
  QPalette palette = Label1->palette();
  palette.setColor(QPalette::WindowText, colour);
  Label1->setPalette(palette);
}

void TConfirm1Dlg::closeEvent(QCloseEvent* event) {
  if (!isEnabled()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

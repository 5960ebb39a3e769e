#include "app/confirm1_dlg.h"

#include <QCloseEvent>
#include <QFont>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TConfirm1Dlg::TConfirm1Dlg(QWidget* owner) : QDialog(owner) {
  setObjectName("Confirm1Dlg");
  setWindowTitle(QStringLiteral("マイコンへの書き込み"));
  setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::CustomizeWindowHint);
  Label1 = new QLabel(QStringLiteral("OK"), this);
  Label1->setObjectName("Label1");
  Label1->setFixedSize(297, 97);
  Label1->setAlignment(Qt::AlignCenter);
  QFont gothic;
  gothic.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
                      QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック")});
  Label1->setFont(gothic);
  SetLabel1Colour(Qt::blue);
  Gauge = new QProgressBar(this);
  Gauge->setObjectName("Gauge");
  Gauge->setRange(0, 100);
  Gauge->setValue(0);
  Label2 = new QLabel(this);
  Label2->setObjectName("Label2");
  Label2->setMinimumHeight(16);
  Label2->setAlignment(Qt::AlignCenter);
  Label2->setStyleSheet("color: maroon;");
  Advice = new QLabel(this);
  Advice->setObjectName("Advice");
  Advice->setWordWrap(true);
  Advice->setFixedWidth(297);
  Advice->setVisible(false);
  OKBtn = new QPushButton(QStringLiteral("確認"), this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1, 0, Qt::AlignHCenter);
  layout->addWidget(Gauge);
  layout->addWidget(Label2);
  layout->addWidget(Advice, 0, Qt::AlignHCenter);
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

void TConfirm1Dlg::ShowAdvice(const QStringList& lines) {
  Advice->setText(lines.join('\n'));
  Advice->setVisible(!lines.isEmpty());
}

void TConfirm1Dlg::closeEvent(QCloseEvent* event) {
  if (!isEnabled()) {
    event->ignore();
    if (refused) refused();
    return;
  }
  QDialog::closeEvent(event);
}

void TConfirm1Dlg::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || isEnabled() || !isMinimized()) return;
  // After the state change has been handled: the window and its owner back.
  QTimer::singleShot(0, this, [this] {
    if (QWidget* owner = parentWidget(); owner && owner->isMinimized()) owner->showNormal();
    showNormal();
    raise();
  });
  if (refused) refused();
}

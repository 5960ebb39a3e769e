#include "app/about_box.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "platform/resources.h"

QString GetProductVersion() { return QString::fromUtf8(kv9::ProductVersion()); }

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutBox");
  setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  auto* icon = new QLabel(this);
  icon->setObjectName("ProgramIcon");
  icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));
  ProductName = new QLabel(QStringLiteral("KV9ファームウェアアップデートツール"), this);
  ProductName->setObjectName("ProductName");
  Version = new QLabel(this);
  Version->setObjectName("Version");
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName("OKButton");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* texts = new QVBoxLayout;
  texts->addWidget(ProductName);
  texts->addWidget(Version);
  auto* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addLayout(texts);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(ok, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // fixed dialog border
  FormCreate();
}

void TAboutBox::FormCreate() {
  Version->setText(QStringLiteral("KV9Update   Version ") + GetProductVersion());
}

#include "app/dialog_parts.h"

#include <QDialog>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

QPushButton* MakeOkButton(QDialog* dialog, const QString& caption) {
  auto* button = new QPushButton(caption, dialog);
  button->setObjectName("OKBtn");
  button->setDefault(true);
  QObject::connect(button, &QPushButton::clicked, dialog, &QDialog::accept);
  return button;
}

QPushButton* MakeCancelButton(QDialog* dialog) {
  auto* button = new QPushButton(QStringLiteral("キャンセル"), dialog);
  button->setObjectName("CancelBtn");
  button->setAutoDefault(false);
  QObject::connect(button, &QPushButton::clicked, dialog, &QDialog::reject);
  return button;
}

void CentreOnScreen(QWidget* window) {
  window->adjustSize();
  if (const QScreen* screen = window->screen()) {
    window->move(screen->availableGeometry().center() - window->rect().center());
  }
}

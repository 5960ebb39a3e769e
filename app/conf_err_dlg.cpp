#include "app/dialog_parts.h"
#include "app/conf_err_dlg.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

QStringList TConfErrDlg::MemoLines() {
  // The indented lines begin with one ideographic space (U+3000).
  return {QStringLiteral("書き込みに失敗した場合"),
          QStringLiteral("\u3000・上のチェックボックスにチェックをいれる"),
          QStringLiteral("\u3000・R/Wの電源を入れ直す"),
          QStringLiteral("\u3000・再度書き込みを行う"),
          QString(),
          QStringLiteral("ベリファイに失敗した場合"),
          QStringLiteral("\u3000・上のチェックボックスにチェックをいれない"),
          QStringLiteral("\u3000・R/Wの電源を入れ直す"),
          QStringLiteral("\u3000・再度書き込みを行う")};
}

TConfErrDlg::TConfErrDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("ConfErrDlg");
  setWindowTitle(QStringLiteral("書き込みエラー時の設定"));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  CBReWrite = new QCheckBox(QStringLiteral("再書き込みを行う"), this);
  CBReWrite->setObjectName("CBReWrite");
  QPalette blue = CBReWrite->palette();
  blue.setColor(QPalette::WindowText, Qt::blue);
  CBReWrite->setPalette(blue);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setPlainText(MemoLines().join(QLatin1Char('\n')));
  // Room for all nine lines and the longest one, so no scroll bar appears.
  const QFontMetrics fm(Memo1->font());
  int widest = 0;
  for (const QString& line : MemoLines()) widest = std::max(widest, fm.horizontalAdvance(line));
  const int frame =
      2 * (Memo1->frameWidth() + static_cast<int>(Memo1->document()->documentMargin()));
  Memo1->setFixedSize(widest + frame + 8, 9 * fm.lineSpacing() + frame + 4);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  OKBtn = MakeOkButton(this, QStringLiteral("設定"));
  CancelBtn = MakeCancelButton(this);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(CBReWrite);
  layout->addWidget(Memo1);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // fixed dialog border
}

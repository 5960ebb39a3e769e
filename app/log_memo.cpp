#include "app/log_memo.h"

TLogMemo::TLogMemo(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TLogMemo::Clear() {
  clear();
  lines_ = 0;
}

void TLogMemo::AppendLine(const std::string& text) {
  appendPlainText(QString::fromStdString(text));
  ++lines_;
  if (lineAdded) lineAdded(text);
}

QStringList TLogMemo::Lines() const {
  if (lines_ == 0) return {};
  return toPlainText().split('\n');
}

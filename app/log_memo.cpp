#include "app/log_memo.h"

#include <QScrollBar>
#include <QTextCursor>

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
  // The pane follows the newest line whatever came before it: the
  // scroll bar's own following stops once a wrapped line has moved its end
  // while the pane was laid out.
  moveCursor(QTextCursor::End);
  ensureCursorVisible();
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
  if (lineAdded) lineAdded(text);
}

QStringList TLogMemo::Lines() const {
  if (lines_ == 0) return {};
  return toPlainText().split('\n');
}

#pragma once
// The log pane SPTMemo: a read-only multi-line text pane that the main
// window's AppendLog and the controller's AddLog both write into. Long lines
// wrap at the pane's width, so nothing hides behind a horizontal scroll.
#include <QPlainTextEdit>
#include <functional>

#include "platform/log_pane.h"

class TLogMemo : public QPlainTextEdit, public kv9::LogPane {
 public:
  explicit TLogMemo(QWidget* parent = nullptr);
  int LineCount() const override { return lines_; }
  void Clear() override;
  void AppendLine(const std::string& text) override;
  // All lines as shown, for tests and the screenshot check.
  QStringList Lines() const;
  // Told every line as it is appended (the run's record file).
  std::function<void(const std::string&)> lineAdded;

 private:
  int lines_ = 0;
};

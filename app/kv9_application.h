#pragma once
// The application object. Like the widget toolkit the tool was first built
// with, it catches any exception that escapes an event handler (a port error,
// a conversion error) at the event loop's boundary and shows its message in
// an error box; the tool never terminates because of one.
#include <QApplication>
#include <functional>

class KV9Application : public QApplication {
 public:
  KV9Application(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;

  // Shows the error box (tests replace it with a recorder).
  static void ShowException(const QString& message);
  static void SetErrorBoxHook(std::function<void(const QString&)> hook);
};

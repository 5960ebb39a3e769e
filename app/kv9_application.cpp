#include "app/kv9_application.h"

#include <QMessageBox>
#include <exception>

namespace {
std::function<void(const QString&)>& ErrorBoxHook() {
  static std::function<void(const QString&)> hook;
  return hook;
}
}  // namespace

KV9Application::KV9Application(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("KV9Update");
}

bool KV9Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowException(QString::fromUtf8(e.what()));
  } catch (...) {
    ShowException(QStringLiteral("Unknown exception"));
  }
  return false;
}

void KV9Application::ShowException(const QString& message) {
  if (auto& hook = ErrorBoxHook()) {
    hook(message);
    return;
  }
  QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), message);
}

void KV9Application::SetErrorBoxHook(std::function<void(const QString&)> hook) {
  ErrorBoxHook() = std::move(hook);
}

// The desktop's question before a logout: refused while an update writes.
// Signals (StopSignals) go to the model, which ends the tool when the run
// has ended.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QStatusBar>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

#include "app/main_window.h"

void TRXProgAppForm::ConnectSessionManager() {
#if QT_CONFIG(sessionmanager)
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
      // Where the desktop lets the tool answer, a logout during a write is
      // refused; where it does not, its SIGTERM stops the run at a frame.
      if (!model_.UpdateRunning() || !manager.allowsInteraction()) return;
      statusBar()->showMessage(QStringLiteral("書き込み中はログアウトできません"), 3000);
      manager.cancel();
    });
  }
#endif
}

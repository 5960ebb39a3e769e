// How the main window meets requests from outside to end the tool: a
// signal (StopSignals: logout, shutdown, the terminal closed, Ctrl+C) and
// the desktop's question before a logout. Nothing may leave the module
// half-written in boot mode without a word: a running update stops at its
// next frame and ends through its failure closing and advice, and only then
// does the tool end.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QStatusBar>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

#include "app/main_window.h"

void TRXProgAppForm::StopAsked() {
  quitAsked_ = true;
  QuitWhenIdle();
}

bool TRXProgAppForm::StopRequested() const {
  // Only the update stops at a frame; other commands end on their own soon.
  return updateRunning_ && quitAsked_ && !firmwareChecked_;
}

void TRXProgAppForm::FirmwareChecked() { firmwareChecked_ = true; }

void TRXProgAppForm::QuitWhenIdle() {
  // An update or the start-up search ends first and asks again at its end.
  if (!quitAsked_ || updateRunning_ || searchRunning_) return;
  close();  // releases the controller, which closes the port
  // Every running event loop ends, also that of a dialog left open.
  QCoreApplication::quit();
}

void TRXProgAppForm::QuitWhenIdleLater() {
  if (quitAsked_)
    QMetaObject::invokeMethod(this, &TRXProgAppForm::QuitWhenIdle, Qt::QueuedConnection);
}

void TRXProgAppForm::ConnectSessionManager() {
#if QT_CONFIG(sessionmanager)
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
      // Where the desktop lets the tool answer, a logout during a write is
      // refused; where it does not, its SIGTERM stops the run at a frame.
      if (!updateRunning_ || !manager.allowsInteraction()) return;
      statusBar()->showMessage(QStringLiteral("書き込み中はログアウトできません"), 3000);
      manager.cancel();
    });
  }
#endif
}

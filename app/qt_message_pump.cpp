#include "app/qt_message_pump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

void QtMessagePump::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtMessagePump::WaitMessages(std::uint32_t ms) {
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  connect(this, &QtMessagePump::handedOver, &loop, &QEventLoop::quit);
  timer.start(static_cast<int>(ms));
  loop.exec();
}

void QtMessagePump::WakeUiThread() {
  // Called on the event thread; the lambda runs on the thread of `this`.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (RunPending() > 0) emit handedOver();
      },
      Qt::QueuedConnection);
}

#pragma once
// The message pump of the desktop tool: the core's hand-overs are delivered
// as Qt events, so they run whenever Qt's event loop runs, and a reply wait
// ("process messages for up to N ms") is a short nested event loop that
// returns as soon as a hand-over was handled.
#include <QObject>

#include "platform/message_pump.h"

class QtMessagePump : public QObject, public kv9::MessagePump {
  Q_OBJECT
 public:
  void ProcessMessages() override;
  void WaitMessages(std::uint32_t ms) override;

 signals:
  void handedOver();

 protected:
  void WakeUiThread() override;
};

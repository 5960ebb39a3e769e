// The desktop tool's start routine.
#include "app/about_box.h"
#include "app/kv9_application.h"
#include "app/main_window.h"
#include "app/qt_message_pump.h"
#include "app/stop_signals.h"

int main(int argc, char** argv) {
  KV9Application app(argc, argv);
  QtMessagePump pump;
  kv9::SetPump(&pump);
  int result = 0;
  {
    TRXProgAppForm form;
    // Logout, shutdown, a closed terminal or Ctrl+C end the tool through
    // the window, never in the middle of a write.
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::stopAsked, &form, &TRXProgAppForm::StopAsked);
    TAboutBox aboutBox(&form);
    form.SetAboutBox(&aboutBox);
    form.show();
    result = app.exec();
  }
  kv9::SetPump(nullptr);
  return result;
}

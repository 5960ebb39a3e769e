// The desktop tool's start routine.
#include "app/about_box.h"
#include "app/kv9_application.h"
#include "app/main_window.h"
#include "app/qt_message_pump.h"

int main(int argc, char** argv) {
  KV9Application app(argc, argv);
  QtMessagePump pump;
  kv9::SetPump(&pump);
  int result = 0;
  {
    TRXProgAppForm form;
    TAboutBox aboutBox(&form);
    form.SetAboutBox(&aboutBox);
    form.show();
    result = app.exec();
  }
  kv9::SetPump(nullptr);
  return result;
}

#pragma once
// The requests from outside to end the desktop tool: on Linux SIGINT (Ctrl+C
// in the terminal it was started from), SIGTERM (logout, shutdown) and SIGHUP
// (that terminal closed). A signal can come at any instant, also in the
// middle of a frame, so its handler does nothing but note it (on Linux: one
// byte into a pipe); the note reaches the user-interface thread as
// stopAsked() whenever Qt processes events, which every reply wait of a
// running update does. What to do with it is the main window's business.
// SIGPIPE is ignored: a closed pipe makes writes fail, nothing more.
//
// One instance at a time, created on the user-interface thread; its end
// gives back the handlers it found.
#include <QObject>
#include <memory>

class StopSignals : public QObject {
  Q_OBJECT
 public:
  explicit StopSignals(QObject* parent = nullptr);
  ~StopSignals() override;

 signals:
  // `signal` is the number of the signal that asked, once per signal.
  void stopAsked(int signal);

 private:
  struct Watch;  // per system (stop_signals_posix.cpp)
  std::unique_ptr<Watch> watch_;
};

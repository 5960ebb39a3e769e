#include "app/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QtGlobal>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "wire/unique_fd.h"

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kStopSignals / sizeof kStopSignals[0];

// The pipe's write end: the only thing the handler touches.
std::atomic<int> writeEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

void OnStopSignal(int sig) {
  const int savedErrno = errno;
  const unsigned char byte = static_cast<unsigned char>(sig);
  // The pipe does not block: when it is full, enough requests wait already.
  [[maybe_unused]] const ssize_t n = ::write(writeEnd.load(), &byte, 1);
  errno = savedErrno;
}

}  // namespace

struct StopSignals::Watch {
  kv9::UniqueFd readEnd;
  kv9::UniqueFd writeEnd;
  QSocketNotifier* notifier = nullptr;
  struct sigaction previous[kSignalCount] {};
  struct sigaction previousPipe {};
  bool installed = false;
};

StopSignals::StopSignals(QObject* parent) : QObject(parent), watch_(std::make_unique<Watch>()) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, &watch_->previousPipe);

  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    // Without the pipe the signals keep their default: they end the tool.
    qWarning("kv9update: no pipe for the stop signals: %s", std::strerror(errno));
    return;
  }
  watch_->readEnd = kv9::UniqueFd(fds[0]);
  watch_->writeEnd = kv9::UniqueFd(fds[1]);
  writeEnd.store(fds[1]);
  watch_->notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, this);
  connect(watch_->notifier, &QSocketNotifier::activated, this, [this] {
    unsigned char bytes[16];
    ssize_t n;
    while ((n = ::read(watch_->readEnd.Get(), bytes, sizeof bytes)) > 0) {
      for (ssize_t i = 0; i < n; ++i) emit stopAsked(bytes[i]);
    }
  });

  struct sigaction stop {};
  stop.sa_handler = OnStopSignal;
  sigemptyset(&stop.sa_mask);
  stop.sa_flags = SA_RESTART;
  for (int i = 0; i < kSignalCount; ++i) ::sigaction(kStopSignals[i], &stop, &watch_->previous[i]);
  watch_->installed = true;
}

StopSignals::~StopSignals() {
  if (watch_->installed) {
    for (int i = 0; i < kSignalCount; ++i)
      ::sigaction(kStopSignals[i], &watch_->previous[i], nullptr);
  }
  ::sigaction(SIGPIPE, &watch_->previousPipe, nullptr);
  writeEnd.store(-1);
  delete watch_->notifier;  // before its descriptor closes
}

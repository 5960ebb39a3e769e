// The publisher over libmosquitto. One thread per publisher owns the
// client: it connects (a new client object per connection, so that nothing
// the library kept from a dead connection is sent twice beside the spool),
// runs the client's loop, and publishes what the program's thread queued.
// The callbacks run on that thread, inside mosquitto_loop.
#include <mosquitto.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "fleet/report_publisher.h"
#include "fleet/report_spool.h"
#include "fleet/topics.h"

namespace kv9::fleet {
namespace {

constexpr auto kRetryPause = std::chrono::seconds(1);
constexpr int kKeepAliveSeconds = 10;
constexpr int kQos = 1;
constexpr int kLoopMs = 50;

struct Shared {
  Shared(const BrokerSettings& s, const std::string& folder) : settings(s), spool(folder, ::getpid()) {}
  const BrokerSettings settings;
  ReportSpool spool;
  std::mutex mutex;
  std::condition_variable changed;
  // Everything below is guarded by `mutex`.
  bool stopping = false;  // Close was called: end once nothing is left to send
  bool finished = false;  // the thread has ended
  bool connected = false;  // the broker accepted the current connection
  bool offlineSent = false;
  std::chrono::steady_clock::time_point closeBy;
  std::map<std::string, std::string> states;  // port -> its last state
  std::set<std::string> dirtyStates;          // ports whose state is not yet published
  std::deque<std::string> own;                // spool files this process kept, not yet acknowledged
  std::deque<std::string> unspooled;          // reports the spool could not keep
  std::map<int, std::string> inFlight;        // message id -> spool file ("" none)
  std::set<std::string> sentThisConnection;
  std::vector<std::string> notices;
  bool outageTold = false;  // the person knows the broker is away
};

std::string Reason(int rc) {
  return rc == MOSQ_ERR_ERRNO ? std::string(std::strerror(errno)) : std::string(mosquitto_strerror(rc));
}

// A file kept by another kv9flash that still runs is that one's to send.
bool OthersToSend(const std::string& name) {
  const long writer = SpoolFileWriter(name);
  if (writer <= 0 || writer == ::getpid()) return false;
  return ::kill(static_cast<pid_t>(writer), 0) == 0 || errno == EPERM;
}

void Tell(Shared& s, const std::string& text) { s.notices.push_back("MQTT: " + text); }

// The broker is away: said once until it is back.
void TellOutage(Shared& s, const std::string& what) {
  if (s.outageTold) return;
  s.outageTold = true;
  Tell(s, what + "; reports are kept in " + s.spool.Folder() + " until it takes them");
}

int Publish(Shared& s, mosquitto* mosq, const std::string& topic, const std::string& text, bool retain,
            const std::string& file) {
  int mid = 0;
  const int rc = mosquitto_publish(mosq, &mid, topic.c_str(), static_cast<int>(text.size()), text.data(), kQos,
                                   retain);
  if (rc == MOSQ_ERR_SUCCESS) s.inFlight[mid] = file;
  return rc;
}

// False when the file is gone (another kv9flash delivered it meanwhile).
bool PublishSpooled(Shared& s, mosquitto* mosq, const std::string& name) {
  if (s.sentThisConnection.count(name)) return true;
  std::string json;
  if (!s.spool.Read(name, json)) return false;
  if (Publish(s, mosq, ReportTopic(s.settings.station), json, false, name) == MOSQ_ERR_SUCCESS) {
    s.sentThisConnection.insert(name);
  }
  return true;
}

// What the program queued since the last pass; with the lock held.
void PublishQueued(Shared& s, mosquitto* mosq) {
  if (!s.connected) return;
  for (const std::string& port : s.dirtyStates) {
    Publish(s, mosq, StateTopic(s.settings.station, port), s.states[port], true, {});
  }
  s.dirtyStates.clear();
  if (std::erase_if(s.own, [&](const std::string& name) { return !PublishSpooled(s, mosq, name); }) > 0) {
    s.changed.notify_all();
  }
  while (!s.unspooled.empty()) {
    Publish(s, mosq, ReportTopic(s.settings.station), s.unspooled.front(), false, {});
    s.unspooled.pop_front();
  }
  if (s.stopping && s.settings.announce && !s.offlineSent) {
    s.offlineSent = Publish(s, mosq, StatusTopic(s.settings.station), kOffline, true, {}) == MOSQ_ERR_SUCCESS;
  }
}

void OnConnect(mosquitto* mosq, void* data, int rc) {
  Shared& s = *static_cast<Shared*>(data);
  const std::lock_guard<std::mutex> lock(s.mutex);
  if (rc != 0) {
    TellOutage(s, "the broker at " + s.settings.address.url + " refused the connection (" +
                      mosquitto_connack_string(rc) + ")");
    return;
  }
  s.connected = true;
  if (s.outageTold) Tell(s, "the broker at " + s.settings.address.url + " is reached; the kept reports go out");
  s.outageTold = false;
  if (s.settings.announce) Publish(s, mosq, StatusTopic(s.settings.station), kOnline, true, {});
  for (const auto& [port, state] : s.states) Publish(s, mosq, StateTopic(s.settings.station, port), state, true, {});
  s.dirtyStates.clear();
  // The spool in the order it was kept: reports of earlier runs first.
  for (const std::string& name : s.spool.Pending()) {
    if (!OthersToSend(name)) PublishSpooled(s, mosq, name);
  }
  PublishQueued(s, mosq);
}

void OnPublish(mosquitto*, void* data, int mid) {
  Shared& s = *static_cast<Shared*>(data);
  const std::lock_guard<std::mutex> lock(s.mutex);
  const auto it = s.inFlight.find(mid);
  if (it == s.inFlight.end()) return;
  if (!it->second.empty()) {
    s.spool.Remove(it->second);
    for (auto o = s.own.begin(); o != s.own.end(); ++o) {
      if (*o != it->second) continue;
      s.own.erase(o);
      break;
    }
  }
  s.inFlight.erase(it);
  s.changed.notify_all();
}

void OnDisconnect(mosquitto*, void* data, int) {
  Shared& s = *static_cast<Shared*>(data);
  const std::lock_guard<std::mutex> lock(s.mutex);
  s.connected = false;
}

std::string ClientId(const BrokerSettings& settings) {
  return "kv9flash-" + settings.station.substr(0, 40) + "-" + std::to_string(::getpid());
}

// The system's CA store, or the one OpenSSL's own variables name.
void UseSystemCaStore(mosquitto* mosq) {
  const char* file = std::getenv("SSL_CERT_FILE");
  const char* dir = std::getenv("SSL_CERT_DIR");
  if (!file && !dir) dir = "/etc/ssl/certs";
  mosquitto_tls_set(mosq, file, dir, nullptr, nullptr, nullptr);
}

mosquitto* NewClient(Shared& s) {
  const BrokerSettings& b = s.settings;
  mosquitto* mosq = mosquitto_new(ClientId(b).c_str(), true, &s);
  if (!mosq) return nullptr;
  mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
  mosquitto_connect_callback_set(mosq, OnConnect);
  mosquitto_publish_callback_set(mosq, OnPublish);
  mosquitto_disconnect_callback_set(mosq, OnDisconnect);
  if (b.announce) {
    const std::string topic = StatusTopic(b.station);
    mosquitto_will_set(mosq, topic.c_str(), static_cast<int>(std::strlen(kOffline)), kOffline, kQos, true);
  }
  if (!b.user.empty()) mosquitto_username_pw_set(mosq, b.user.c_str(), b.password.empty() ? nullptr : b.password.c_str());
  if (b.address.tls) UseSystemCaStore(mosq);
  return mosq;
}

// A client connected (its CONNECT sent), or null with the reason told.
mosquitto* Connect(Shared& s) {
  mosquitto* mosq = NewClient(s);
  if (!mosq) return nullptr;
  const int rc = mosquitto_connect(mosq, s.settings.address.host.c_str(), s.settings.address.port,
                                   kKeepAliveSeconds);
  if (rc == MOSQ_ERR_SUCCESS) return mosq;
  const std::string reason = Reason(rc);
  mosquitto_destroy(mosq);
  const std::lock_guard<std::mutex> lock(s.mutex);
  TellOutage(s, "the broker at " + s.settings.address.url + " is not reached (" + reason + ")");
  return nullptr;
}

// The connection ended (or never came up): what was in flight stays in
// the spool and goes out again after the next connect.
void Drop(Shared& s, mosquitto*& mosq, int rc) {
  mosquitto_destroy(mosq);
  mosq = nullptr;
  std::unique_lock<std::mutex> lock(s.mutex);
  s.connected = false;
  s.inFlight.clear();
  s.sentThisConnection.clear();
  TellOutage(s, "the connection to the broker at " + s.settings.address.url + " broke off (" + Reason(rc) + ")");
  s.changed.wait_for(lock, kRetryPause, [&s] { return s.stopping; });
}

// With the lock held: whether the thread may end.
bool MayEnd(Shared& s) {
  if (!s.stopping) return false;
  if (!s.connected || std::chrono::steady_clock::now() >= s.closeBy) return true;
  return s.dirtyStates.empty() && s.inFlight.empty() && (!s.settings.announce || s.offlineSent);
}

void Serve(std::shared_ptr<Shared> shared) {
  // Signals are for the program's thread (its stop handling).
  sigset_t all;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, nullptr);
  Shared& s = *shared;
  mosquitto* mosq = nullptr;
  for (;;) {
    {
      const std::lock_guard<std::mutex> lock(s.mutex);
      if (MayEnd(s)) break;
    }
    if (!mosq && !(mosq = Connect(s))) {
      std::unique_lock<std::mutex> lock(s.mutex);
      s.changed.wait_for(lock, kRetryPause, [&s] { return s.stopping; });
      continue;
    }
    const int rc = mosquitto_loop(mosq, kLoopMs, 1);
    if (rc != MOSQ_ERR_SUCCESS) {
      Drop(s, mosq, rc);
      continue;
    }
    const std::lock_guard<std::mutex> lock(s.mutex);
    PublishQueued(s, mosq);
  }
  if (mosq) {
    // A clean disconnect: the broker does not send the will.
    mosquitto_disconnect(mosq);
    mosquitto_loop(mosq, kLoopMs, 1);
    mosquitto_destroy(mosq);
  }
  const std::lock_guard<std::mutex> lock(shared->mutex);
  shared->finished = true;
  shared->changed.notify_all();
}

class MosquittoPublisher final : public ReportPublisher {
 public:
  explicit MosquittoPublisher(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {
    thread_ = std::thread(Serve, shared_);
  }
  ~MosquittoPublisher() override { Close(std::chrono::milliseconds(0)); }

  bool Report(const std::string& json, std::string& error) override {
    Shared& s = *shared_;
    const std::lock_guard<std::mutex> lock(s.mutex);
    const std::string name = s.spool.Keep(json, error);
    if (name.empty()) s.unspooled.push_back(json);
    else s.own.push_back(name);
    return !name.empty();
  }

  void SlotState(const std::string& port, const std::string& json) override {
    Shared& s = *shared_;
    const std::lock_guard<std::mutex> lock(s.mutex);
    s.states[port] = json;
    s.dirtyStates.insert(port);
  }

  bool Flush(std::chrono::milliseconds wait) override {
    Shared& s = *shared_;
    std::unique_lock<std::mutex> lock(s.mutex);
    return s.changed.wait_for(lock, wait, [&s] { return s.own.empty() && s.unspooled.empty(); });
  }

  void Close(std::chrono::milliseconds wait) override {
    if (!thread_.joinable()) return;
    Shared& s = *shared_;
    std::unique_lock<std::mutex> lock(s.mutex);
    s.stopping = true;
    s.closeBy = std::chrono::steady_clock::now() + wait;
    s.changed.notify_all();
    // A connect that hangs (a broker host that does not answer) is left to
    // the end of the program rather than holding it.
    const bool ended = s.changed.wait_for(lock, wait + kRetryPause * 2, [&s] { return s.finished; });
    lock.unlock();
    if (ended) thread_.join();
    else thread_.detach();
  }

  std::vector<std::string> TakeNotices() override {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    return std::exchange(shared_->notices, {});
  }

 private:
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace

bool PublisherAvailable() { return true; }

std::unique_ptr<ReportPublisher> StartPublisher(const BrokerSettings& settings, const std::string& spoolFolder,
                                                std::string& error) {
  static std::once_flag libraryReady;
  std::call_once(libraryReady, [] { mosquitto_lib_init(); });
  auto shared = std::make_shared<Shared>(settings, spoolFolder);
  if (!shared->spool.Prepare(error)) {
    error = "no spool folder for the reports: " + error;
    return nullptr;
  }
  return std::make_unique<MosquittoPublisher>(std::move(shared));
}

}  // namespace kv9::fleet

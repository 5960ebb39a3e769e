#include "tests/support/mosquitto_broker.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <vector>

extern char** environ;

namespace kv9::test {
namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool Accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in address = Loopback(port);
  const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

int FreeLocalPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(fd);
  return ntohs(address.sin_port);
}

MosquittoBroker::MosquittoBroker(std::filesystem::path folder, std::string extraConfig)
    : folder_(std::move(folder)), port_(FreeLocalPort()) {
  std::filesystem::create_directories(folder_);
  std::ofstream conf(folder_ / "mosquitto.conf");
  // Started by root, mosquitto would become the user "mosquitto", who may
  // not read the test's folder; it stays whoever runs the test.
  const passwd* self = ::getpwuid(::getuid());
  conf << "user " << (self ? self->pw_name : "root") << "\n"
       << "listener " << port_ << " 127.0.0.1\n"
       << "persistence true\npersistence_location " << folder_.string() << "/\n"
       << "log_dest file " << (folder_ / "broker.log").string() << "\n"
       << (extraConfig.empty() ? "allow_anonymous true\n" : extraConfig);
}

MosquittoBroker::~MosquittoBroker() { Stop(); }

bool MosquittoBroker::Start(int timeoutMs) {
  const std::string conf = (folder_ / "mosquitto.conf").string();
  std::vector<char*> argv{const_cast<char*>(MOSQUITTO_PATH), const_cast<char*>("-c"), const_cast<char*>(conf.c_str()),
                          nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const int rc = posix_spawn(&pid_, MOSQUITTO_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    pid_ = -1;
    return false;
  }
  // A broker that refused its configuration has ended: no use waiting.
  return WaitUntil(
      [this] {
        int status = 0;
        if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) pid_ = -1;
        return pid_ < 0 || Accepts(port_);
      },
      timeoutMs) &&
         pid_ > 0;
}

void MosquittoBroker::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

}  // namespace kv9::test

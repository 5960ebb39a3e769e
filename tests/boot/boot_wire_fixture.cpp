#include "boot_wire_fixture.h"

#include <stdlib.h>

#include <sstream>
#include <stdexcept>

#include "serial/com_types.h"

namespace kv9::test {

BootWire::BootWire() {
  char tmpl[] = "/tmp/kv9boot-test-XXXXXX";
  if (!::mkdtemp(tmpl)) throw std::runtime_error("mkdtemp");
  dir_ = tmpl;
  if (const char* old = ::getenv("KV9_PORT_DIR")) {
    hadPortDir_ = true;
    oldPortDir_ = old;
  }
  ::setenv("KV9_PORT_DIR", (dir_ / "ports").c_str(), 1);
}

BootWire::~BootWire() {
  cont_.reset();  // closes the port before the module goes away
  sim_.reset();
  if (hadPortDir_) ::setenv("KV9_PORT_DIR", oldPortDir_.c_str(), 1);
  else ::unsetenv("KV9_PORT_DIR");
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

sim::SimOptions BootWire::BootOptions(sim::Cpu cpu) const {
  sim::SimOptions o;
  o.cpu = cpu;
  o.startIn = sim::StartIn::Boot;
  o.portDir = dir_ / "ports";
  o.resetDelay = std::chrono::milliseconds(50);
  // A real boot program would also match at 9600; the tool must choose 19200.
  o.matchRates = {19200};
  return o;
}

void BootWire::Start(const sim::SimOptions& options, TProgSettings settings) {
  sim_ = std::make_unique<sim::SimModule>(options);
  sim_->Start();
  settings.PortNumber = std::stoi(sim_->PortName().substr(3));
  cont_ = std::make_unique<TFlashWrRXCont>(&ui_, &pane_, settings);
  cont_->DebugLog = 1;
  cont_->TxLog = 1;
  cont_->RxLog = 0;
  cont_->CommX1.SetBaudRate(br19200);
  ASSERT_EQ(cont_->OpenPort(static_cast<std::uint8_t>(settings.PortNumber)), 1);
  cont_->RxFlush();
}

void BootWire::ToCommandWait(int pieceA) {
  ASSERT_EQ(cont_->BootHandshake(), 1);
  ASSERT_EQ(cont_->IdCodeStep(pieceA), 1);
}

std::vector<Bytes> BootWire::SentFrames(const Bytes& prefix) const {
  std::vector<Bytes> frames;
  for (const std::string& line : pane_.lines) {
    if (line.rfind("TX: ", 0) != 0) continue;
    std::istringstream in(line.substr(4));
    Bytes bytes;
    std::string hex;
    while (in >> hex) bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex, nullptr, 16)));
    if (bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin())) {
      frames.push_back(std::move(bytes));
    }
  }
  return frames;
}

bool BootWire::Logged(const std::string& line) const { return LogIndex(line) >= 0; }

int BootWire::LogIndex(const std::string& line) const {
  for (std::size_t i = 0; i < pane_.lines.size(); ++i) {
    if (pane_.lines[i] == line) return static_cast<int>(i);
  }
  return -1;
}

unsigned BootWire::Count(const std::string& key) const {
  const auto counts = sim_->Snapshot().commandCounts;
  const auto it = counts.find(key);
  return it == counts.end() ? 0 : it->second;
}

}  // namespace kv9::test

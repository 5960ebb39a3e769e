#include "boot_wire_fixture.h"

#include <sstream>

#include "serial/com_types.h"

namespace kv9::test {

BootWire::BootWire() = default;

BootWire::~BootWire() {
  cont_.reset();  // closes the port before the module goes away
  sim_ = nullptr;
  traced_.reset();
}

sim::SimOptions BootWire::BootOptions(sim::Cpu cpu) const {
  sim::SimOptions o;
  o.cpu = cpu;
  o.startIn = sim::StartIn::Boot;
  o.resetDelay = std::chrono::milliseconds(50);
  // A real boot program would also match at 9600; the tool must choose 19200.
  o.matchRates = {19200};
  return o;
}

void BootWire::Start(const sim::SimOptions& options, TProgSettings settings) {
  traced_ = std::make_unique<TracedSim>(folder_, 7, options);
  sim_ = &**traced_;
  settings.PortNumber = 7;
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
  for (const std::string& hex : traced_->Received()) {
    std::istringstream in(hex);
    Bytes bytes;
    std::string token;
    while (in >> token && token != "...") bytes.push_back(static_cast<std::uint8_t>(std::stoul(token, nullptr, 16)));
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

}  // namespace kv9::test

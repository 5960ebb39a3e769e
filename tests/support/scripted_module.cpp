#include "tests/support/scripted_module.h"

#include <algorithm>

#include "wire/frame_sum.h"

namespace kv9::test {

Bytes ReplyFrame(std::uint8_t status, const Bytes& data) {
  Bytes frame(4 + data.size());
  frame[0] = 0x02;
  frame[1] = 0x00;
  frame[2] = status;
  frame[3] = static_cast<std::uint8_t>(data.size());
  std::copy(data.begin(), data.end(), frame.begin() + 4);
  frame.push_back(0x03);
  frame.push_back(FrameSum(frame.data(), frame.size()));
  frame.push_back(0x0D);
  return frame;
}

ScriptedModule::ScriptedModule(PtyPort& port, std::function<Bytes(const Bytes&)> script)
    : port_(port), script_(std::move(script)), thread_([this] { Run(); }) {}

ScriptedModule::~ScriptedModule() {
  stop_ = true;
  thread_.join();
}

void ScriptedModule::WithScript(const std::function<void()>& access) {
  std::lock_guard<std::mutex> lock(mutex_);
  access();
}

std::vector<Bytes> ScriptedModule::Frames() {
  std::lock_guard<std::mutex> lock(mutex_);
  return frames_;
}

void ScriptedModule::Run() {
  Bytes pending;
  while (!stop_) {
    Bytes got = port_.Receive(1, 20);
    pending.insert(pending.end(), got.begin(), got.end());
    // Drop anything before an STX; a frame is complete at LEN + 7 bytes.
    while (!pending.empty() && pending[0] != 0x02) pending.erase(pending.begin());
    if (pending.size() < 4 || pending.size() < static_cast<std::size_t>(pending[3]) + 7) continue;
    Bytes frame(pending.begin(), pending.begin() + pending[3] + 7);
    pending.erase(pending.begin(), pending.begin() + pending[3] + 7);
    Bytes reply;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      frames_.push_back(frame);
      reply = script_(frame);
    }
    if (!reply.empty()) port_.Send(reply);
  }
}

}  // namespace kv9::test

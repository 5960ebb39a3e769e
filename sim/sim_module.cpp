#include "sim_module.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <system_error>

#include "dump_writer.h"

namespace kv9::sim {

namespace {

// While the tool has its port closed the master reports POLLHUP at once on
// every poll, so the loop re-checks at this pace instead of spinning.
constexpr auto kClosedPortRecheck = std::chrono::milliseconds(10);
// With pacing, wake-ups come no closer than this; bytes due in between go
// out together. Accuracy over a transfer is unaffected because byte times are
// scheduled against the line clock, not against the wake-ups.
constexpr auto kPaceGranularity = std::chrono::milliseconds(2);

Clock::duration ByteTime(std::uint32_t rate) {
  // One start bit, eight data bits, one stop bit.
  return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(10'000'000'000LL / rate));
}

}  // namespace

std::vector<std::uint8_t> SimSnapshot::FlashAt(std::uint32_t address, std::size_t count) const {
  if (address < flashFirst || count > flash.size() || address - flashFirst > flash.size() - count) return {};
  const auto from = flash.begin() + static_cast<std::ptrdiff_t>(address - flashFirst);
  return {from, from + static_cast<std::ptrdiff_t>(count)};
}

SimModule::SimModule(SimOptions options) : options_(std::move(options)) {}

SimModule::~SimModule() {
  try {
    Stop();
  } catch (const std::exception& e) {
    // A dump that cannot be written must not end the program from here.
    std::fprintf(stderr, "kv9sim: %s\n", e.what());
  }
}

void SimModule::SetTraceSink(std::function<void(const std::string&)> sink) { traceSink_ = std::move(sink); }

void SimModule::Start() {
  if (started_) return;
  core_ = std::make_unique<ModuleCore>(options_);
  TraceInto(*core_);
  master_ = std::make_unique<PtyMaster>(core_->ListenRate() ? core_->ListenRate() : options_.firmwareRate);
  slavePath_ = master_->SlavePath();
  link_ = std::make_unique<PortLink>(options_.portDir, options_.comNumber, slavePath_);
  portName_ = link_->Name();
  linkPath_ = link_->Path();
  wake_ = UniqueFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
  if (!wake_.Valid()) throw std::system_error(errno, std::generic_category(), "eventfd");
  started_ = true;
  thread_ = std::thread([this] { Run(); });
  nativeThread_ = thread_.native_handle();
}

void SimModule::TraceInto(ModuleCore& core) {
  if (!options_.trace) return;
  auto sink = traceSink_ ? traceSink_ : [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
  core.Context().trace = sink;
}

void SimModule::Stop() {
  if (!started_ || stopped_) return;
  stopped_ = true;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_.Get(), &one, sizeof one);
  if (thread_.joinable()) thread_.join();
  if (link_) link_->Remove();
  if (master_) master_->Close();
  if (options_.dumpDir) WriteDump(*options_.dumpDir, Snapshot());
}

std::chrono::nanoseconds SimModule::ThreadCpuTime() const {
  if (!thread_.joinable()) return {};
  clockid_t id;
  if (::pthread_getcpuclockid(nativeThread_, &id) != 0) return {};
  timespec ts{};
  if (::clock_gettime(id, &ts) != 0) return {};
  return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

std::string SimModule::PortName() const { return portName_; }
std::filesystem::path SimModule::LinkPath() const { return linkPath_; }
std::string SimModule::SlavePath() const { return slavePath_; }

SimSnapshot SimModule::Snapshot() const {
  std::lock_guard lock(mutex_);
  return SnapshotLocked();
}

SimSnapshot SimModule::SnapshotLocked() const {
  SimSnapshot s;
  if (!core_) return s;
  const ModuleContext& c = core_->Context();
  s.personality = core_->Current();
  s.stateText = core_->StateText();
  s.bootStatus = static_cast<std::uint8_t>(core_->Boot().State());
  s.bootError = core_->Boot().LastError();
  s.listenRate = core_->ListenRate();
  if (core_->Firmware().HasRun()) {
    const auto& v = core_->Firmware().RomVersion();
    s.romVersion.emplace(v.begin(), v.end());
  }
  s.flashFirst = c.userArea.Range().first;
  s.flash = c.userArea.Bytes();
  s.userBootFlash = c.userBootArea.Bytes();
  s.loaderCrc = c.LoaderCrc();
  s.eepromFactory = c.eeprom.Factory();
  s.eepromAllData = c.eeprom.AllData();
  s.commandCounts = c.commandCounts;
  s.ratesSeen = c.ratesSeen;
  s.noiseBytes = c.noiseBytes;
  s.blocksReceived = c.blocksReceived;
  s.blocksProgrammed = c.blocksProgrammed;
  s.blocksErased = c.blocksErased;
  s.restarts = c.restarts;
  s.bytesLost = bytesLost_;
  s.lockBitsEnabled = c.lockBitsEnabled;
  return s;
}

bool SimModule::WaitFor(const std::function<bool(const SimSnapshot&)>& done, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::unique_lock lock(mutex_);
  for (;;) {
    if (done(SnapshotLocked())) return true;
    if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) return done(SnapshotLocked());
  }
}

void SimModule::Run() {
  for (;;) {
    const auto now = Clock::now();
    {
      std::lock_guard lock(mutex_);
      if (stopping_) break;
      core_->Tick(now);
      DeliverDueInput(now);
      CollectOutput(now);
      if (core_->Unplugged() && master_->IsOpen()) Unplug();
    }
    changed_.notify_all();
    if (master_->IsOpen()) WriteDue(now);

    // Decide what to wait for.
    pollfd fds[2] = {{wake_.Get(), POLLIN, 0}, {-1, 0, 0}};
    nfds_t count = 1;
    if (master_->IsOpen() && !slaveOpen_) {
      // Is the tool's port open again? A zero-time poll answers without waiting.
      pollfd probe{master_->Fd(), POLLIN, 0};
      if (::poll(&probe, 1, 0) >= 0) {
        if (!(probe.revents & POLLHUP)) slaveOpen_ = true;
        // Bytes the tool wrote just before closing were on the line: take them.
        if (probe.revents & POLLIN) ReadLine(Clock::now());
      }
    }
    std::optional<Clock::time_point> wake = NextWake(now);
    if (master_->IsOpen()) {
      if (slaveOpen_) {
        fds[1] = {master_->Fd(), static_cast<short>(POLLIN | (writeBuf_.empty() ? 0 : POLLOUT)), 0};
        count = 2;
      } else {
        const auto recheck = now + kClosedPortRecheck;
        if (!wake || recheck < *wake) wake = recheck;
      }
    }
    timespec ts{};
    timespec* timeout = nullptr;
    if (wake) {
      const auto left = std::max(Clock::duration::zero(), *wake - Clock::now());
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
      ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
      timeout = &ts;
    }
    const int ready = ::ppoll(fds, count, timeout, nullptr);
    if (ready < 0) continue;  // EINTR: just go round
    if (fds[0].revents & POLLIN) {
      std::uint64_t v;
      [[maybe_unused]] ssize_t n = ::read(wake_.Get(), &v, sizeof v);
    }
    if (count == 2) {
      if (fds[1].revents & POLLIN) ReadLine(Clock::now());
      if (fds[1].revents & POLLHUP) slaveOpen_ = false;
      if (fds[1].revents & POLLOUT) FlushWriteBuffer();
    }
  }
  changed_.notify_all();
}

std::optional<Clock::time_point> SimModule::NextWake(Clock::time_point now) const {
  std::optional<Clock::time_point> wake;
  auto consider = [&wake](Clock::time_point t) {
    if (!wake || t < *wake) wake = t;
  };
  {
    std::lock_guard lock(mutex_);
    if (auto d = core_->NextDeadline()) consider(*d);
    if (!core_->Context().out.empty()) consider(now);  // a reply waits to be queued
  }
  if (!input_.empty()) consider(input_.front().due);
  if (auto due = adapter_.NextDue()) consider(*due);
  if (!outbox_.empty() && options_.pace) {
    // The first byte after a pause goes out on time; while a stream runs,
    // writes are spaced by the granularity.
    consider(std::max(txLineFree_ + ByteTime(outbox_.front().rate), lastPacedWrite_ + kPaceGranularity));
  }
  return wake;
}

void SimModule::ReadLine(Clock::time_point now) {
  std::uint8_t buf[4096];
  const ssize_t n = ::read(master_->Fd(), buf, sizeof buf);
  if (n < 0) {
    if (errno == EIO) slaveOpen_ = false;  // the tool closed its port
    return;
  }
  if (n == 0) return;
  std::uint32_t toolRate = 0;
  master_->ToolRate(&toolRate);

  std::lock_guard lock(mutex_);
  ModuleContext& ctx = core_->Context();
  ctx.ratesSeen.insert(toolRate);
  const auto& allowed = options_.faults.answerRates;
  const bool rateAllowed =
      allowed.empty() || std::find(allowed.begin(), allowed.end(), toolRate) != allowed.end();
  if (!core_->Hears(toolRate) || !rateAllowed) {
    core_->Noise(static_cast<std::size_t>(n), toolRate);
    return;
  }
  if (!options_.pace) {
    core_->Receive({buf, static_cast<std::size_t>(n)}, toolRate, now);
    return;
  }
  // The bytes take 10 bit times each to cross the line; the module reacts
  // only once the last of them has "arrived".
  rxLineFree_ = std::max(rxLineFree_, now) + ByteTime(toolRate) * n;
  input_.push_back({{buf, buf + n}, toolRate, rxLineFree_});
}

void SimModule::DeliverDueInput(Clock::time_point now) {
  while (!input_.empty() && input_.front().due <= now) {
    const InBatch batch = std::move(input_.front());
    input_.pop_front();
    core_->Receive(batch.bytes, batch.rate, batch.due);
  }
}

void SimModule::CollectOutput(Clock::time_point now) {
  auto& out = core_->Context().out;
  if (out.empty()) return;
  if (outbox_.empty() && txLineFree_ < now) txLineFree_ = now;  // the line was idle
  for (const auto& chunk : out) {
    for (std::uint8_t b : chunk.bytes) outbox_.push_back({b, chunk.rate});
  }
  out.clear();
}

void SimModule::WriteDue(Clock::time_point now) {
  if (outbox_.empty()) {
    PassAdapter(now);
    return;
  }
  std::uint32_t toolRate = 0;
  const bool haveRate = master_->ToolRate(&toolRate);
  unsigned lost = 0;
  bool wrote = false;
  while (!outbox_.empty()) {
    const OutByte o = outbox_.front();
    if (options_.pace) {
      const auto done = txLineFree_ + ByteTime(o.rate);
      if (done > now) break;
      txLineFree_ = done;
    }
    outbox_.pop_front();
    // Nobody listening, or listening at another rate: on a real line the
    // byte is lost (or arrives as garbage the tool cannot use).
    if (!slaveOpen_ || !haveRate || toolRate != o.rate) {
      ++lost;
      continue;
    }
    if (options_.adapterLatency.count() > 0) {
      adapter_.Push(o.byte, options_.pace ? txLineFree_ : now);
    } else {
      writeBuf_.push_back(o.byte);
    }
    wrote = true;
  }
  if (wrote) lastPacedWrite_ = now;
  PassAdapter(now);
  if (lost) {
    std::lock_guard lock(mutex_);
    bytesLost_ += lost;
    if (auto& trace = core_->Context().trace) {
      trace("kv9sim: " + std::to_string(lost) + " byte(s) lost: tool port " +
            (slaveOpen_ ? "at " + std::to_string(toolRate) : std::string("closed")));
    }
  }
  FlushWriteBuffer();
}

void SimModule::PassAdapter(Clock::time_point now) {
  if (adapter_.Empty()) return;
  adapter_.SetLatency(options_.lowLatencyOnOpen && slaveOpen_ ? std::chrono::milliseconds(1)
                                                              : options_.adapterLatency);
  const std::vector<std::uint8_t> due = adapter_.TakeDue(now);
  if (due.empty()) return;
  if (!slaveOpen_) {
    // The tool closed its port while the adapter held them.
    std::lock_guard lock(mutex_);
    bytesLost_ += static_cast<unsigned>(due.size());
    return;
  }
  writeBuf_.insert(writeBuf_.end(), due.begin(), due.end());
  FlushWriteBuffer();
}

void SimModule::FlushWriteBuffer() {
  while (!writeBuf_.empty()) {
    const ssize_t n = ::write(master_->Fd(), writeBuf_.data(), writeBuf_.size());
    if (n > 0) {
      writeBuf_.erase(writeBuf_.begin(), writeBuf_.begin() + n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EIO) {
      slaveOpen_ = false;
      writeBuf_.clear();
    }
    return;  // EAGAIN: POLLOUT brings us back
  }
}

void SimModule::Unplug() {
  // Like pulling the cable: the tool's open port sees a hang-up, the port
  // disappears from the directory, and nothing more is sent.
  outbox_.clear();
  writeBuf_.clear();
  input_.clear();
  adapter_.Clear();
  master_->Close();
  link_->Remove();
  slaveOpen_ = false;
}

}  // namespace kv9::sim

#include "module_core.h"

#include <cstdio>

namespace kv9::sim {

const char* PersonalityName(Personality p) {
  switch (p) {
    case Personality::Firmware: return "firmware";
    case Personality::Boot: return "boot";
    case Personality::Restarting: return "restarting";
    case Personality::Gone: return "unplugged";
  }
  return "?";
}

ModuleCore::ModuleCore(const SimOptions& options) : ctx_(options), firmware_(ctx_), boot_(ctx_) {
  if (options.startIn == StartIn::Boot) {
    personality_ = Personality::Boot;
    boot_.Start();
  } else {
    firmware_.Start();
  }
}

std::uint32_t ModuleCore::ListenRate() const {
  switch (personality_) {
    case Personality::Firmware: return ctx_.options.firmwareRate;
    case Personality::Boot: return boot_.ListenRate();
    default: return 0;
  }
}

bool ModuleCore::Hears(std::uint32_t rate) const {
  switch (personality_) {
    case Personality::Firmware: return rate == ctx_.options.firmwareRate;
    case Personality::Boot: return boot_.Hears(rate);
    default: return false;
  }
}

void ModuleCore::Receive(std::span<const std::uint8_t> bytes, std::uint32_t rate,
                         Clock::time_point now) {
  if (personality_ == Personality::Firmware) {
    firmware_.Receive(bytes, now);
  } else if (personality_ == Personality::Boot) {
    boot_.Receive(bytes, rate, now);
  }
  HandleRequest(now);
}

void ModuleCore::Noise(std::size_t count, std::uint32_t rate) {
  ctx_.noiseBytes += static_cast<unsigned>(count);
  if (ctx_.trace) {
    ctx_.trace("kv9sim: NOISE @" + std::to_string(rate) + " [" + std::to_string(count) +
               "] dropped (module listens at " + std::to_string(ListenRate()) + ")");
  }
  firmware_.DropPartial();
  boot_.DropPartial();
}

void ModuleCore::HandleRequest(Clock::time_point now) {
  const ModuleRequest r = ctx_.request;
  ctx_.request = ModuleRequest::None;
  switch (r) {
    case ModuleRequest::None: return;
    case ModuleRequest::RestartIntoBoot:
    case ModuleRequest::PowerLoss:
      // After a power loss the firmware in flash is incomplete, so the module
      // comes back in boot mode, as after a failed update.
      afterRestart_ = Personality::Boot;
      break;
    case ModuleRequest::RestartIntoFirmware:
      afterRestart_ = Personality::Firmware;
      break;
    case ModuleRequest::Disconnect:
      personality_ = Personality::Gone;
      if (ctx_.trace) ctx_.trace("kv9sim: cable pulled at programming block " + std::to_string(ctx_.blocksReceived));
      return;
  }
  if (ctx_.trace) {
    ctx_.trace(std::string("kv9sim: ") + (r == ModuleRequest::PowerLoss ? "power lost" : "restarting") +
               ", then " + PersonalityName(afterRestart_));
  }
  personality_ = Personality::Restarting;
  restartDoneAt_ = now + ctx_.options.resetDelay;
}

void ModuleCore::Tick(Clock::time_point now) {
  if (personality_ == Personality::Restarting && now >= restartDoneAt_) {
    ++ctx_.restarts;
    personality_ = afterRestart_;
    if (personality_ == Personality::Boot) {
      boot_.Start();
    } else {
      firmware_.Start();
      erasedAtFirmwareStart_ = ctx_.blocksErased;
    }
  }
  if (auto d = firmware_.PartialDeadline(); d && now >= *d) firmware_.DropPartial();
  if (auto d = boot_.PartialDeadline(); d && now >= *d) boot_.DropPartial();
}

void ModuleCore::PowerCycle(Clock::time_point now, Clock::duration off) {
  if (personality_ == Personality::Gone) return;
  afterRestart_ = ctx_.blocksErased == erasedAtFirmwareStart_ ? Personality::Firmware : Personality::Boot;
  if (ctx_.trace) ctx_.trace(std::string("kv9sim: switched off and on, then ") + PersonalityName(afterRestart_));
  personality_ = Personality::Restarting;
  restartDoneAt_ = now + off;
}

std::optional<Clock::time_point> ModuleCore::NextDeadline() const {
  std::optional<Clock::time_point> next;
  auto consider = [&next](std::optional<Clock::time_point> t) {
    if (t && (!next || *t < *next)) next = t;
  };
  if (personality_ == Personality::Restarting) consider(restartDoneAt_);
  consider(firmware_.PartialDeadline());
  consider(boot_.PartialDeadline());
  return next;
}

std::string ModuleCore::StateText() const {
  std::string s = PersonalityName(personality_);
  if (personality_ == Personality::Boot) {
    char buf[32];
    std::snprintf(buf, sizeof buf, " 0x%02X", static_cast<unsigned>(boot_.State()));
    s += buf;
  }
  return s;
}

}  // namespace kv9::sim

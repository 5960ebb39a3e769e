#include "serial/adapter_latency.h"

#include <cstdio>

namespace kv9 {
namespace {

bool NeedsAdvice(const AdapterLatency& latency) {
  return latency.ftdi && latency.timerMs > kLatencyAdviceAboveMs;
}

// "9.3": the delay in seconds with one decimal.
std::string Seconds(std::uint32_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", ms / 1000.0);
  return text;
}

}  // namespace

std::uint32_t UpdateDelayMs(int timerMs, int replies) {
  if (timerMs <= 0 || replies <= 0) return 0;
  return static_cast<std::uint32_t>(timerMs) * static_cast<std::uint32_t>(replies);
}

std::string LatencyDebugLine(const std::string& port, const AdapterLatency& latency) {
  if (latency.timerMs < 0) return "";
  std::string line = port + " latency timer " + std::to_string(latency.timerMs) + " ms";
  if (latency.lowLatency) line += " (low-latency mode)";
  return line;
}

std::string LatencyAdviceLog(const std::string& port, const AdapterLatency& latency) {
  if (!NeedsAdvice(latency)) return "";
  const std::string ms = std::to_string(latency.timerMs);
  return port + " : USBシリアル変換器(FTDI)の待ち時間(Latency Timer)が" + ms + "msです。\n" +
         "  このままではアップデートが約" + Seconds(UpdateDelayMs(latency.timerMs)) +
         "秒長くかかります。\n" + "  デバイスマネージャーで" + port +
         "のプロパティを開き、\n" +
         "  [Port Settings]→[Advanced...]の[Latency Timer (msec)]を1にしてください。";
}

std::string LatencyAdviceNote(const std::string& port, const AdapterLatency& latency) {
  if (!NeedsAdvice(latency)) return "";
  return port + ": the FTDI adapter's latency timer is " + std::to_string(latency.timerMs) +
         " ms, which makes the update about " + Seconds(UpdateDelayMs(latency.timerMs)) +
         " s longer; set it to 1 ms in the device manager (the port's Properties, Port Settings, "
         "Advanced..., Latency Timer (msec))";
}

}  // namespace kv9

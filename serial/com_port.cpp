#include "serial/com_port.h"

#include "serial/com_backend.h"
#include "serial/com_thread.h"

namespace kv9 {

void TComParity::SetBits(TParityBits bits) {
  if (bits == bits_) return;
  bits_ = bits;
  owner_->ApplyDCB();
}

void TComFlowControl::SetFlowControl(TFlowControl preset) {
  switch (preset) {
    case fcHardware:
      ControlRTS = rtsHandshake;
      OutCTSFlow = true;
      XonXoffIn = XonXoffOut = false;
      break;
    case fcSoftware:
      ControlRTS = rtsDisable;
      OutCTSFlow = false;
      XonXoffIn = XonXoffOut = true;
      break;
    case fcNone:
      ControlRTS = rtsDisable;
      OutCTSFlow = false;
      XonXoffIn = XonXoffOut = false;
      break;
    case fcCustom:
      return;
  }
  owner_->ApplyDCB();
}

TFlowControl TComFlowControl::GetFlowControl() const {
  if (ControlRTS == rtsHandshake && OutCTSFlow && !XonXoffIn && !XonXoffOut) return fcHardware;
  if (ControlRTS == rtsDisable && !OutCTSFlow && XonXoffIn && XonXoffOut) return fcSoftware;
  if (ControlRTS == rtsDisable && !OutCTSFlow && !XonXoffIn && !XonXoffOut) return fcNone;
  return fcCustom;
}

TCustomComPort::TCustomComPort() = default;

TCustomComPort::~TCustomComPort() { Close(); }

void TCustomComPort::Open() {
  if (Connected()) return;
  DoBeforeOpen();
  CreateHandle();
  try {
    SetupComPort();
  } catch (...) {
    DestroyHandle();
    throw;
  }
  ++generation_;
  if (!Events.Empty()) thread_ = std::make_unique<TComThread>(*this, *device_, generation_);
  DoAfterOpen();
  device_->ReadModemStatus();  // code 11 leaves the port open
}

void TCustomComPort::Close() {
  if (!Connected()) return;
  DoBeforeClose();
  try {
    device_->Purge(true, true);
  } catch (...) {
  }
  thread_.reset();  // stops and joins; a pending hand-over is withdrawn
  DestroyHandle();
  DoAfterClose();
}

void TCustomComPort::CreateHandle() {
  if (kept_ && keptPort_ == port_) {
    device_ = std::move(kept_);
    return;
  }
  kept_.reset();  // another port now: the kept device is let go
  device_ = OpenDevice(port_);
}

std::unique_ptr<ComDevice> TCustomComPort::OpenDevice(const std::string& portName) {
  return ComDevice::Open(portName);
}

void TCustomComPort::DestroyHandle() {
  if (holds_ > 0 && device_ && device_->Park()) {
    kept_ = std::move(device_);
    keptPort_ = port_;
  }
  device_.reset();
}

void TCustomComPort::BeginHold() { ++holds_; }

void TCustomComPort::EndHold() {
  if (holds_ > 0 && --holds_ == 0) kept_.reset();
}

void TCustomComPort::SetupComPort() {
  ApplyBuffer();
  ApplyDCB();
  ApplyTimeouts();
}

void TCustomComPort::ApplyDCB() {
  if (!Connected()) return;
  ComLineSettings line;
  line.rate = EffectiveBaudRate();
  line.dataBits = dataBits_;
  line.stopBits = stopBits_;
  line.parity = parity_.Bits();
  line.parityCheck = parity_.Check;
  line.outCtsFlow = flowControl_.OutCTSFlow;
  line.outDsrFlow = flowControl_.OutDSRFlow;
  line.controlDtr = flowControl_.ControlDTR;
  line.controlRts = flowControl_.ControlRTS;
  // The module's frames are binary: 0x11 and 0x13 are data, and a line that
  // obeyed or swallowed them as XON/XOFF would stall or lose replies. The
  // switches stay as the preset set them, but never reach the line.
  line.xonXoffOut = false;
  line.xonXoffIn = false;
  line.xonChar = static_cast<std::uint8_t>(flowControl_.XonChar);
  line.xoffChar = static_cast<std::uint8_t>(flowControl_.XoffChar);
  // DTR and RTS keep their levels: applying the settings again (a new rate,
  // each reopening) must not drop them, or a module or cable that is reset
  // or powered through them would restart. They move only by SetDTR and
  // SetRTS; a handshake mode hands its line to the driver.
  device_->ApplyLine(line);
}

void TCustomComPort::ApplyTimeouts() {
  if (Connected()) device_->ApplyTimeouts(Timeouts);
}

void TCustomComPort::ApplyBuffer() {
  if (Connected()) device_->ApplyBufferSizes(Buffer.InputSize, Buffer.OutputSize);
}

ComDevice& TCustomComPort::DeviceOrThrow() {
  if (!device_) throw MakeComError(CError_PortNotOpen);
  return *device_;
}

int TCustomComPort::Write(const void* bytes, int count) {
  ComDevice& device = DeviceOrThrow();
  if (count <= 0) return 0;
  const std::uint64_t bound = static_cast<std::uint64_t>(Timeouts.WriteTotalConstant) +
                              static_cast<std::uint64_t>(Timeouts.WriteTotalMultiplier) *
                                  static_cast<std::uint64_t>(count);
  return device.Write(static_cast<const std::uint8_t*>(bytes), count,
                      static_cast<std::uint32_t>(std::min<std::uint64_t>(bound, 0xFFFFFFFFu)));
}

int TCustomComPort::Read(void* bytes, int count) {
  ComDevice& device = DeviceOrThrow();
  if (count <= 0) return 0;
  return device.Read(static_cast<std::uint8_t*>(bytes), count);
}

int TCustomComPort::InputCount() { return device_ ? device_->InputCount() : 0; }

void TCustomComPort::SetDTR(bool on) { DeviceOrThrow().SetDTR(on); }

void TCustomComPort::SetRTS(bool on) { DeviceOrThrow().SetRTS(on); }

TComErrors TCustomComPort::LastErrors() {
  return device_ ? device_->TakeErrors(parity_.Check) : TComErrors{};
}

AdapterLatency TCustomComPort::Latency() const { return device_ ? device_->Latency() : AdapterLatency{}; }

void TCustomComPort::SetPort(const std::string& name) {
  if (name == port_) return;
  const bool wasOpen = Connected();
  if (wasOpen) Close();
  port_ = name;
  if (wasOpen) Open();
}

void TCustomComPort::SetBaudRate(TBaudRate rate) {
  if (rate == baudRate_) return;
  baudRate_ = rate;
  ApplyDCB();
}

void TCustomComPort::SetCustomBaudRate(std::uint32_t rate) {
  if (rate == customBaudRate_) return;
  customBaudRate_ = rate;
  if (baudRate_ == brCustom) ApplyDCB();
}

void TCustomComPort::SetDataBits(TDataBits bits) {
  if (bits == dataBits_) return;
  dataBits_ = bits;
  ApplyDCB();
}

void TCustomComPort::SetStopBits(TStopBits bits) {
  if (bits == stopBits_) return;
  stopBits_ = bits;
  ApplyDCB();
}

std::uint32_t TCustomComPort::EffectiveBaudRate() const {
  return baudRate_ == brCustom ? customBaudRate_ : BaudRateValue(baudRate_);
}

void TCustomComPort::DoRxChar(int count) {
  if (OnRxChar) OnRxChar(*this, count);
}

void TCustomComPort::DoError(TComErrors errors) {
  if (OnError) OnError(*this, errors);
}

void TCustomComPort::DoEvents(TComEvents events, bool deviceGone, std::uint64_t generation) {
  // A batch from an event thread of an earlier opening is stale.
  if (!Connected() || generation != generation_) return;
  if (events.Contains(evError)) {
    TComErrors errors = LastErrors();
    if (deviceGone) errors.Include(ceIO);
    if (!errors.Empty()) DoError(errors);
  }
  if (events.Contains(evRxChar) && Connected() && generation == generation_) {
    int count = 0;
    try {
      count = InputCount();
    } catch (const EComPort&) {
      // The device vanished while this batch waited; the event thread
      // reports that as an I/O line error of its own.
      return;
    }
    if (count > 0) DoRxChar(count);
  }
}

}  // namespace kv9

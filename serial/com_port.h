#pragma once
// TComPort, the serial port component: the tool's only path to the module.
//
// Every call is made on the user-interface thread. An event thread
// (TComThread) waits for received bytes and line errors and hands each batch
// to the user-interface thread through the message pump; OnRxChar and OnError
// therefore run only while that thread processes messages, never concurrently
// with each other.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "serial/adapter_latency.h"
#include "serial/com_error.h"
#include "serial/com_types.h"

namespace kv9 {

class TCustomComPort;
class ComDevice;
class TComThread;

class TComParity {
 public:
  explicit TComParity(TCustomComPort* owner) : owner_(owner) {}
  TParityBits Bits() const { return bits_; }
  void SetBits(TParityBits bits);  // an open port applies it at once
  bool Check = false;       // verify received parity
  bool Replace = false;     // replace bytes with parity errors (not available on Linux)
  char ReplaceChar = 0;

 private:
  TCustomComPort* owner_;
  TParityBits bits_ = prNone;
};

class TComFlowControl {
 public:
  explicit TComFlowControl(TCustomComPort* owner) : owner_(owner) {}
  // Presets: fcHardware (RTS handshake + CTS), fcSoftware (XON/XOFF both
  // ways in these fields), fcNone, fcCustom (changes nothing). An open port
  // applies it. XON/XOFF never reaches the line, though: this port carries
  // binary frames only, where 0x11 and 0x13 are data (see ApplyDCB).
  void SetFlowControl(TFlowControl preset);
  TFlowControl GetFlowControl() const;

  bool OutCTSFlow = false;
  bool OutDSRFlow = false;
  // Only the handshake modes reach the line. Enable and disable leave the
  // level alone: the port's user sets it with SetDTR and SetRTS (the link
  // controller raises both right after opening).
  TDTRFlowControl ControlDTR = dtrDisable;
  TRTSFlowControl ControlRTS = rtsDisable;
  bool XonXoffOut = false;
  bool XonXoffIn = false;
  bool DSRSensitivity = false;
  bool TxContinueOnXoff = false;
  char XonChar = 0x11;
  char XoffChar = 0x13;

 private:
  TCustomComPort* owner_;
};

class TCustomComPort {
 public:
  using RxCharHandler = std::function<void(TCustomComPort& sender, int count)>;
  using ErrorHandler = std::function<void(TCustomComPort& sender, TComErrors errors)>;

  TCustomComPort();
  TCustomComPort(const TCustomComPort&) = delete;
  TCustomComPort& operator=(const TCustomComPort&) = delete;
  virtual ~TCustomComPort();  // closes the port

  // Opens the device named by Port and starts the event thread; nothing when
  // already open. The device is this program's alone while open: another
  // program that has it open, with or without a lock, makes it fail. Raises
  // EComPort (code 1 when the device cannot be had, with the OS error number
  // and, for a device in use, its Holder; 7, 8, 9 when settings cannot be
  // applied: the port is closed again then; 11 when the modem lines cannot
  // be read: the port stays open).
  void Open();
  // Stops the event thread, discards both driver queues, closes the device.
  // Nothing when closed; never raises; always ends with Connected() false.
  // While a hold is active the device is kept for this program (DTR and RTS
  // still drop as on a close) and the next Open of the same name takes it up.
  void Close();
  bool Connected() const { return device_ != nullptr; }

  // A hold keeps the port's device for this program from the next (or
  // current) opening until the hold ends, across every Close and Open of the
  // same name in between (a run that reopens the port at other rates): no
  // other program can take the port in the gap. Opening another name lets
  // the kept device go. Holds nest; the device is let go when the last one
  // ends and the port is closed. Prefer TComPortHold.
  void BeginHold();
  void EndHold();
  bool Holding() const { return holds_ > 0; }

  // Writes synchronously; returns when all bytes have left the driver (are
  // on the line, not merely queued) or the bound of WriteTotalConstant +
  // WriteTotalMultiplier * count ms ran out, with the number that went.
  // Raises code 24 when closed, 2 when the device fails.
  int Write(const void* bytes, int count);
  // Returns at once with at most count bytes already received (possibly 0).
  // Raises code 24 when closed, 3 when the device fails.
  int Read(void* bytes, int count);
  // Bytes waiting in the driver's input queue (0 when closed).
  int InputCount();
  // Raises or drops the line now; a device without modem lines ignores it.
  // The only calls that move DTR and RTS: opening leaves them as the system
  // left them, and applying settings leaves them as they are.
  // Raises code 12 on failure, 24 when closed.
  void SetDTR(bool on);
  void SetRTS(bool on);
  // Reads and clears the device's line-error flags.
  TComErrors LastErrors();
  // The open device's adapter latency (see adapter_latency.h); nothing
  // known while closed.
  AdapterLatency Latency() const;

  const std::string& Port() const { return port_; }
  // An open port is closed and opened on the new name; an equal name changes nothing.
  void SetPort(const std::string& name);
  TBaudRate BaudRate() const { return baudRate_; }
  void SetBaudRate(TBaudRate rate);
  std::uint32_t CustomBaudRate() const { return customBaudRate_; }
  void SetCustomBaudRate(std::uint32_t rate);
  TDataBits DataBits() const { return dataBits_; }
  void SetDataBits(TDataBits bits);
  TStopBits StopBits() const { return stopBits_; }
  void SetStopBits(TStopBits bits);
  // The bit/s the line runs at with the current settings.
  std::uint32_t EffectiveBaudRate() const;

  TComParity& Parity() { return parity_; }
  TComFlowControl& FlowControl() { return flowControl_; }
  TComTimeouts Timeouts;
  TComBuffer Buffer;
  TComEvents Events = kAllComEvents;
  bool TriggersOnRxChar = true;
  TSyncMethod SyncMethod = smThreadSync;
  bool DiscardNull = false;  // zero bytes cannot be dropped by the Linux driver; kept for completeness
  char EventChar = 0;

  RxCharHandler OnRxChar;
  ErrorHandler OnError;

 protected:
  virtual void CreateHandle();
  virtual void DestroyHandle();
  virtual void SetupComPort();
  // Opens the device itself (CreateHandle calls it when no kept device can
  // be taken up); tests return a device of their own here.
  virtual std::unique_ptr<ComDevice> OpenDevice(const std::string& portName);

  virtual void DoAfterClose() {}
  virtual void DoAfterOpen() {}
  virtual void DoBeforeClose() {}
  virtual void DoBeforeOpen() {}
  virtual void DoRxChar(int count);
  virtual void DoRxBuf(const void*, int) {}
  virtual void DoTxEmpty() {}
  virtual void DoBreak() {}
  virtual void DoRing() {}
  virtual void DoRxFlag() {}
  virtual void DoCTSChange(bool) {}
  virtual void DoDSRChange(bool) {}
  virtual void DoError(TComErrors errors);
  virtual void DoRLSDChange(bool) {}
  virtual void DoRx80Full() {}
  virtual void ApplyDCB();
  virtual void ApplyTimeouts();
  virtual void ApplyBuffer();

 private:
  friend class TComParity;
  friend class TComFlowControl;
  friend class TComThread;

  // User-interface thread: delivers one batch of events handed over by the
  // event thread of the given generation (stale batches are dropped). A
  // device that went away is reported as an I/O line error.
  void DoEvents(TComEvents events, bool deviceGone, std::uint64_t generation);
  ComDevice& DeviceOrThrow();

  std::string port_ = "COM1";
  TBaudRate baudRate_ = br9600;
  std::uint32_t customBaudRate_ = 9600;
  TDataBits dataBits_ = dbEight;
  TStopBits stopBits_ = sbOneStopBit;
  TComParity parity_{this};
  TComFlowControl flowControl_{this};

  std::unique_ptr<ComDevice> device_;
  std::unique_ptr<TComThread> thread_;
  std::uint64_t generation_ = 0;  // counts openings

  int holds_ = 0;
  std::unique_ptr<ComDevice> kept_;  // closed under a hold, still ours
  std::string keptPort_;             // the name it was opened by
};

class TComPort : public TCustomComPort {};

// Holds a port for the life of the object (BeginHold / EndHold).
class TComPortHold {
 public:
  explicit TComPortHold(TCustomComPort& port) : port_(port) { port_.BeginHold(); }
  TComPortHold(const TComPortHold&) = delete;
  TComPortHold& operator=(const TComPortHold&) = delete;
  ~TComPortHold() { port_.EndHold(); }

 private:
  TCustomComPort& port_;
};

}  // namespace kv9

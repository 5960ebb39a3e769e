#pragma once
// The private interface between the serial port component and the operating
// system: one open device. Each OS has one file implementing it
// (com_backend_posix.cpp here); the component itself holds no OS calls.
// Every failure is raised as EComPort through MakeComError.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/adapter_latency.h"
#include "serial/com_types.h"

namespace kv9 {

// The line settings the component pushes to the device in one go.
struct ComLineSettings {
  std::uint32_t rate = 9600;
  TDataBits dataBits = dbEight;
  TStopBits stopBits = sbOneStopBit;
  TParityBits parity = prNone;
  bool parityCheck = false;
  bool outCtsFlow = false;
  bool outDsrFlow = false;
  TDTRFlowControl controlDtr = dtrDisable;
  TRTSFlowControl controlRts = rtsDisable;
  bool xonXoffOut = false;
  bool xonXoffIn = false;
  std::uint8_t xonChar = 0x11;
  std::uint8_t xoffChar = 0x13;
};

// What one wait of the event thread saw.
struct ComWaitResult {
  bool stopped = false;   // the stop request came (first priority)
  bool gone = false;      // the device went away (unplugged, pty master closed)
  TComEvents events;      // evRxChar and/or evError
};

class ComDevice {
 public:
  virtual ~ComDevice() = default;

  // Opens the device of a port name for this program alone: no other
  // program, locking or not, may have it open, and none can open it while
  // this device lives. Raises code 1 with the OS error number (in use:
  // EBUSY or EWOULDBLOCK, with EComPort::Holder naming the holder where the
  // system tells; EACCES/EPERM, ENOENT, ...).
  static std::unique_ptr<ComDevice> Open(const std::string& portName);

  virtual void ApplyBufferSizes(int inputSize, int outputSize) = 0;  // code 9
  // Code 7. Leaves the DTR and RTS levels as they are, at opening too: only
  // SetDTR and SetRTS move them, and a handshake mode hands the line to the
  // driver. XON/XOFF as the settings say.
  virtual void ApplyLine(const ComLineSettings& line) = 0;
  virtual void ApplyTimeouts(const TComTimeouts& timeouts) = 0;      // code 8

  // Writes all bytes and returns once they have left the driver (not merely
  // been queued), or when timeoutMs ran out: then with the number that went,
  // bytes still queued being discarded. Raises code 2.
  virtual int Write(const std::uint8_t* bytes, int count, std::uint32_t timeoutMs) = 0;
  // Returns at once with at most count bytes already received. Raises code 3.
  virtual int Read(std::uint8_t* bytes, int count) = 0;
  // Bytes taken by Read since the device was opened (any thread may ask).
  virtual std::uint64_t BytesRead() const = 0;
  // The adapter's latency timer and low-latency mode as found at opening.
  virtual AdapterLatency Latency() const { return {}; }
  // Bytes waiting in the driver's input queue. Raises code 10.
  virtual int InputCount() = 0;
  // Line errors counted since the last call, where the driver counts them.
  virtual TComErrors TakeErrors(bool parityCheck) = 0;
  virtual void SetDTR(bool on) = 0;  // code 12; a device without modem lines ignores it
  virtual void SetRTS(bool on) = 0;  // code 12
  virtual void ReadModemStatus() = 0;  // code 11; a device without modem lines ignores it
  // Discards the driver's queues; errors are ignored.
  virtual void Purge(bool input, bool output) = 0;
  // The port closes while a hold keeps the device for this program (the
  // event thread has ended): do to the line what closing does (both queues
  // discarded, DTR and RTS dropped) but keep the device and its exclusive
  // use, and withdraw the stop request so a later event thread can wait on
  // it again. Returns false when the device is no longer usable (unplugged):
  // it is then let go instead. Errors are not raised.
  virtual bool Park() = 0;

  // Event thread: blocks until bytes or line errors are there, the device is
  // gone, or RequestStop() was called. Never returns an empty result in a
  // loop without blocking in between.
  virtual ComWaitResult WaitEvents() = 0;
  // Any thread: makes the current and every later WaitEvents return stopped.
  virtual void RequestStop() = 0;
  // Event thread, after bytes were handed over but not taken: wait a little
  // (or until stop) so an unread queue does not make the thread spin.
  virtual void BackOff(std::uint32_t ms) = 0;
};

}  // namespace kv9

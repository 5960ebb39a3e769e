// Win32 implementation of one open serial device: "\\.\COMn" opened for
// overlapped I/O, the driver's line settings, time-outs and queues, and an
// event wait on WaitCommEvent.
//
// Drivers differ in what they support, and the backend copes with the
// differences without relying on any one of them:
// - modem-line calls a driver does not support (a port without those lines)
//   are a missing feature, not a failure, as on the other platforms;
// - an event wait that a driver aborts (error 995) or refuses is retried,
//   with a short pause so it can never turn into a busy loop;
// - reads ask only for what the driver reports queued (ClearCommError), so a
//   read never waits for bytes that have not arrived, whatever the driver
//   does with the zero read time-outs;
// - waits and reads that stay pending are ended with CancelIoEx, which every
//   driver honours, rather than with PurgeComm's abort flags.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cwctype>
#include <string>

#include "serial/adapter_latency_win32.h"
#include "serial/com_backend.h"
#include "platform/system_text_win32.h"
#include "serial/com_error.h"
#include "serial/output_drain.h"
#include "serial/port_table.h"

namespace kv9 {
namespace {

// The one mapper from GetLastError() to the component's error.
EComPort ComError(int code, DWORD err) {
  EComPort error = MakeComError(code, static_cast<int>(err));
  error.SystemText = SystemErrorText(err);
  return error;
}

std::uint64_t SteadyMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

// A port without modem lines (or a driver that does not offer them) answers
// these; it is a missing feature, not a failure.
bool Unsupported(DWORD err) { return err == ERROR_NOT_SUPPORTED || err == ERROR_INVALID_FUNCTION; }

// The events the thread waits for: received bytes and line errors are the
// only ones the component acts on. Modem-line events would be ignored, and a
// port without modem lines may refuse every wait that asks for them.
constexpr DWORD kWaitMask = EV_RXCHAR | EV_ERR | EV_BREAK;

// Pause after a wait that was aborted or refused before waiting again.
constexpr DWORD kRetryPauseMs = 1;

// A read asks only for queued bytes and completes at once; this bounds it
// all the same should a driver keep it pending.
constexpr DWORD kReadBoundMs = 1000;

class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (h_ != nullptr && h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
  }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE h_;
};

HANDLE NewManualResetEvent() { return ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }

std::wstring Widen(const std::string& text) {
  const int size =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(std::max(size, 0)), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

// Ends an overlapped operation that is still pending and waits until the
// driver has let go of its OVERLAPPED and buffer. Returns the bytes moved.
DWORD CancelAndCollect(HANDLE h, OVERLAPPED& ov) {
  ::CancelIoEx(h, &ov);
  DWORD moved = 0;
  if (!::GetOverlappedResult(h, &ov, &moved, TRUE)) moved = static_cast<DWORD>(ov.InternalHigh);
  return moved;
}

// A named mutex per port that every copy of this program takes while it has
// the port open. Windows' serial drivers refuse a second opener by
// themselves; drivers that do not (a port served by Wine, some virtual
// ports) then still cannot be opened twice by this program, in one process
// or in several.
HANDLE ClaimPortName(const std::string& portName) {
  // The session's namespace: "Global\\" is not offered everywhere.
  std::wstring name = L"kv9-port-" + Widen(portName);
  for (auto& c : name) c = static_cast<wchar_t>(::towupper(c));
  HANDLE claim = ::CreateMutexW(nullptr, FALSE, name.c_str());
  if (claim != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(claim);
    ::SetLastError(ERROR_ACCESS_DENIED);  // what a driver that refuses says
    return nullptr;
  }
  return claim;
}

class Win32ComDevice final : public ComDevice {
 public:
  Win32ComDevice(HANDLE h, HANDLE claim, AdapterLatency latency)
      : h_(h), claim_(claim), latency_(latency) {}
  ~Win32ComDevice() override {
    // Bytes that arrived but were never read must not greet the next opener.
    ::PurgeComm(h_.get(), PURGE_RXABORT | PURGE_TXABORT | PURGE_RXCLEAR | PURGE_TXCLEAR);
  }

  bool Ready() const {
    return h_.valid() && stop_.valid() && waitEvent_.valid() && ioEvent_.valid();
  }

  void ApplyBufferSizes(int inputSize, int outputSize) override {
    if (!::SetupComm(h_.get(), static_cast<DWORD>(inputSize), static_cast<DWORD>(outputSize))) {
      throw ComError(CError_SetupComFailed, ::GetLastError());
    }
    inputSize_ = inputSize;
  }

  void ApplyLine(const ComLineSettings& line) override {
    // Every field is set here, so the device's current state is not read
    // first: a driver may fail to describe a state it did not set itself
    // (a rate outside its table, left by another program).
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = line.rate;
    dcb.ByteSize = static_cast<BYTE>(5 + static_cast<int>(line.dataBits));
    // The enumerations are in the driver's order: none, odd, even, mark,
    // space and one, one and a half, two stop bits.
    dcb.Parity = static_cast<BYTE>(line.parity);
    dcb.StopBits = static_cast<BYTE>(line.stopBits);
    dcb.fBinary = TRUE;  // every byte value passes unchanged, no end-of-file character
    dcb.fParity = line.parityCheck ? TRUE : FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;  // a line error must not stop reception
    dcb.fOutxCtsFlow = line.outCtsFlow ? TRUE : FALSE;
    dcb.fOutxDsrFlow = line.outDsrFlow ? TRUE : FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.fOutX = line.xonXoffOut ? TRUE : FALSE;
    dcb.fInX = line.xonXoffIn ? TRUE : FALSE;
    dcb.XonChar = static_cast<char>(line.xonChar);
    dcb.XoffChar = static_cast<char>(line.xoffChar);
    dcb.XonLim = static_cast<WORD>(inputSize_ / 4);
    dcb.XoffLim = static_cast<WORD>(inputSize_ / 4);
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
    // DTR and RTS keep the levels they have: the component raises and drops
    // them itself (SetDTR, SetRTS). Outside the handshake modes the state
    // names the level each line has now, so applying it, whatever a driver
    // does with an unchanged mode, moves neither line.
    dcb.fDtrControl = line.controlDtr == dtrHandshake ? DTR_CONTROL_HANDSHAKE
                      : dtrOn_                        ? DTR_CONTROL_ENABLE
                                                      : DTR_CONTROL_DISABLE;
    dcb.fRtsControl = line.controlRts == rtsHandshake ? RTS_CONTROL_HANDSHAKE
                      : line.controlRts == rtsToggle  ? RTS_CONTROL_TOGGLE
                      : rtsOn_                        ? RTS_CONTROL_ENABLE
                                                      : RTS_CONTROL_DISABLE;
    if (!::SetCommState(h_.get(), &dcb)) throw ComError(CError_SetStateFailed, ::GetLastError());
    rate_ = line.rate;
  }

  void ApplyTimeouts(const TComTimeouts& t) override {
    COMMTIMEOUTS ct{};
    ct.ReadIntervalTimeout = t.ReadInterval;
    ct.ReadTotalTimeoutMultiplier = t.ReadTotalMultiplier;
    ct.ReadTotalTimeoutConstant = t.ReadTotalConstant;
    ct.WriteTotalTimeoutMultiplier = t.WriteTotalMultiplier;
    ct.WriteTotalTimeoutConstant = t.WriteTotalConstant;
    if (!::SetCommTimeouts(h_.get(), &ct)) throw ComError(CError_TimeoutsFailed, ::GetLastError());
  }

  // The driver bounds the write by the time-outs applied above; the wait here
  // carries the same bound for drivers that do not, and then cancels the
  // write and reports what went. The write completes when the driver has
  // passed the bytes on; a driver that completes earlier (into a buffer of
  // its own) is waited for until its output queue is empty, within the same
  // bound, and what is still queued then is discarded and not counted.
  int Write(const std::uint8_t* bytes, int count, std::uint32_t timeoutMs) override {
    const std::uint64_t deadlineMs = SteadyMs() + timeoutMs;
    OVERLAPPED ov{};
    ov.hEvent = ioEvent_.get();
    ::ResetEvent(ov.hEvent);
    DWORD written = 0;
    if (!::WriteFile(h_.get(), bytes, static_cast<DWORD>(count), nullptr, &ov)) {
      const DWORD err = ::GetLastError();
      if (err != ERROR_IO_PENDING) throw ComError(CError_WriteFailed, err);
    }
    if (::WaitForSingleObject(ov.hEvent, timeoutMs) != WAIT_OBJECT_0) {
      return static_cast<int>(CancelAndCollect(h_.get(), ov));
    }
    if (!::GetOverlappedResult(h_.get(), &ov, &written, TRUE)) {
      const DWORD err = ::GetLastError();
      // The driver's write time-out ran out: what went is the answer.
      if (err == ERROR_SEM_TIMEOUT || err == ERROR_OPERATION_ABORTED)
        return static_cast<int>(ov.InternalHigh);
      throw ComError(CError_WriteFailed, err);
    }
    DriverOutput out;
    out.queued = [this] {
      COMSTAT st{};
      DWORD errors = 0;
      if (!::ClearCommError(h_.get(), &errors, &st)) return -1;
      pendingErrors_.fetch_or(errors);
      return static_cast<int>(std::min<DWORD>(st.cbOutQue, 0x7FFFFFFF));
    };
    out.nowMs = SteadyMs;
    out.sleepMs = [](std::uint32_t ms) { ::Sleep(ms); };
    const int left = WaitUntilSent(out, rate_, deadlineMs);
    if (left > 0) {
      ::PurgeComm(h_.get(), PURGE_TXCLEAR);
      return std::max(0, static_cast<int>(written) - left);
    }
    return static_cast<int>(written);
  }

  int Read(std::uint8_t* bytes, int count) override {
    COMSTAT st{};
    DWORD errors = 0;
    if (!::ClearCommError(h_.get(), &errors, &st))
      throw ComError(CError_ReadFailed, ::GetLastError());
    pendingErrors_.fetch_or(errors);
    const DWORD want = std::min<DWORD>(static_cast<DWORD>(count), st.cbInQue);
    if (want == 0) return 0;
    OVERLAPPED ov{};
    ov.hEvent = ioEvent_.get();
    ::ResetEvent(ov.hEvent);
    DWORD got = 0;
    if (!::ReadFile(h_.get(), bytes, want, nullptr, &ov)) {
      const DWORD err = ::GetLastError();
      if (err != ERROR_IO_PENDING) throw ComError(CError_ReadFailed, err);
    }
    if (::WaitForSingleObject(ov.hEvent, kReadBoundMs) != WAIT_OBJECT_0) {
      got = CancelAndCollect(h_.get(), ov);
    } else if (!::GetOverlappedResult(h_.get(), &ov, &got, TRUE)) {
      throw ComError(CError_ReadFailed, ::GetLastError());
    }
    bytesRead_ += got;
    return static_cast<int>(got);
  }

  std::uint64_t BytesRead() const override { return bytesRead_.load(); }

  AdapterLatency Latency() const override { return latency_; }

  int InputCount() override {
    COMSTAT st{};
    DWORD errors = 0;
    if (!::ClearCommError(h_.get(), &errors, &st))
      throw ComError(CError_ClearComFailed, ::GetLastError());
    // ClearCommError clears the error flags too; keep them for TakeErrors.
    pendingErrors_.fetch_or(errors);
    return static_cast<int>(std::min<DWORD>(st.cbInQue, 0x7FFFFFFF));
  }

  TComErrors TakeErrors(bool parityCheck) override {
    COMSTAT st{};
    DWORD flags = 0;
    if (!::ClearCommError(h_.get(), &flags, &st))
      flags = 0;  // a vanished device is reported by the event thread
    flags |= pendingErrors_.exchange(0);
    TComErrors errors;
    if (flags & CE_FRAME) errors.Include(ceFrame);
    if (parityCheck && (flags & CE_RXPARITY)) errors.Include(ceRxParity);
    if (flags & CE_OVERRUN) errors.Include(ceOverrun);
    if (flags & CE_BREAK) errors.Include(ceBreak);
    if (flags & CE_IOE) errors.Include(ceIO);
    if (flags & CE_MODE) errors.Include(ceMode);
    if (flags & CE_RXOVER) errors.Include(ceRxOver);
    if (flags & CE_TXFULL) errors.Include(ceTxFull);
    return errors;
  }

  // Takes the levels DTR and RTS have now (as the driver left them at
  // opening), so that applying the line settings keeps them. Where the
  // driver cannot say, both count as raised: applying then leaves a raised
  // line up, and the caller's SetDTR/SetRTS decide.
  void TakeLineLevels() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(h_.get(), &dcb)) return;
    dtrOn_ = dcb.fDtrControl != DTR_CONTROL_DISABLE;
    rtsOn_ = dcb.fRtsControl != RTS_CONTROL_DISABLE;
  }

  void SetDTR(bool on) override {
    Escape(on ? SETDTR : CLRDTR);
    dtrOn_ = on;
  }
  void SetRTS(bool on) override {
    Escape(on ? SETRTS : CLRRTS);
    rtsOn_ = on;
  }

  void ReadModemStatus() override {
    DWORD lines = 0;
    if (!::GetCommModemStatus(h_.get(), &lines)) {
      const DWORD err = ::GetLastError();
      if (!Unsupported(err)) throw ComError(CError_ModemStatFailed, err);
    }
  }

  void Purge(bool input, bool output) override {
    DWORD flags = 0;
    if (input) flags |= PURGE_RXABORT | PURGE_RXCLEAR;
    if (output) flags |= PURGE_TXABORT | PURGE_TXCLEAR;
    if (flags != 0) ::PurgeComm(h_.get(), flags);
  }

  ComWaitResult WaitEvents() override {
    ComWaitResult result;
    for (;;) {
      if (::WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0) {
        result.stopped = true;
        return result;
      }
      // What the driver already holds needs no event: bytes queued, or
      // error flags set, while no wait was pending. A driver that fails to
      // answer this has lost its device.
      COMSTAT st{};
      DWORD errors = 0;
      if (!::ClearCommError(h_.get(), &errors, &st)) {
        result.gone = true;
        result.events.Include(evError);
        return result;
      }
      if (errors != 0) {
        pendingErrors_.fetch_or(errors);
        result.events.Include(evError);
      }
      if (st.cbInQue > 0) result.events.Include(evRxChar);
      if (!result.events.Empty()) return result;

      switch (WaitOnce()) {
        case WaitEnd::Stopped:
          result.stopped = true;
          return result;
        case WaitEnd::Fired:
          break;  // the check above finds what it was
        case WaitEnd::Failed:
          BackOff(kRetryPauseMs);
          break;
      }
    }
  }

  bool Park() override {
    Purge(true, true);
    // Closing the handle would drop DTR and RTS; the kept handle does the same.
    ::EscapeCommFunction(h_.get(), CLRDTR);
    ::EscapeCommFunction(h_.get(), CLRRTS);
    dtrOn_ = rtsOn_ = false;
    ::ResetEvent(stop_.get());  // withdraw the stop request
    maskSet_ = false;           // the ended thread cleared the mask; the next one sets it again
    COMSTAT st{};
    DWORD errors = 0;
    return ::ClearCommError(h_.get(), &errors, &st) != 0;  // fails once the device is gone
  }

  void RequestStop() override { ::SetEvent(stop_.get()); }

  void BackOff(std::uint32_t ms) override { ::WaitForSingleObject(stop_.get(), ms); }

 private:
  enum class WaitEnd { Fired, Stopped, Failed };

  // One overlapped WaitCommEvent, ended by the event or by the stop request.
  // Aborted or refused waits are Failed; the caller pauses and tries again.
  WaitEnd WaitOnce() {
    if (!maskSet_) {
      if (!::SetCommMask(h_.get(), kWaitMask)) return WaitEnd::Failed;
      maskSet_ = true;
    }
    OVERLAPPED ov{};
    ov.hEvent = waitEvent_.get();
    ::ResetEvent(ov.hEvent);
    DWORD mask = 0;
    if (::WaitCommEvent(h_.get(), &mask, &ov)) return WaitEnd::Fired;
    if (::GetLastError() != ERROR_IO_PENDING) return WaitEnd::Failed;
    const HANDLE handles[2] = {stop_.get(), waitEvent_.get()};
    const DWORD which = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    if (which == WAIT_OBJECT_0) {
      // Clearing the mask ends the pending wait on the drivers that honour
      // it; CancelIoEx ends it on the others. Either way the wait must be
      // over before `ov` and `mask` go out of scope.
      ::SetCommMask(h_.get(), 0);
      CancelAndCollect(h_.get(), ov);
      return WaitEnd::Stopped;
    }
    DWORD unused = 0;
    // bWait TRUE: the completion signal can be seen a moment before the result is.
    return ::GetOverlappedResult(h_.get(), &ov, &unused, TRUE) ? WaitEnd::Fired : WaitEnd::Failed;
  }

  void Escape(DWORD function) {
    if (!::EscapeCommFunction(h_.get(), function)) {
      const DWORD err = ::GetLastError();
      if (!Unsupported(err)) throw ComError(CError_EscapeComFailed, err);
    }
  }

  Handle h_;
  Handle claim_;                             // the port name's mutex, see ClaimPortName
  AdapterLatency latency_;
  Handle stop_{NewManualResetEvent()};       // set once by RequestStop
  Handle waitEvent_{NewManualResetEvent()};  // completion of the event thread's wait
  Handle ioEvent_{NewManualResetEvent()};  // completion of a read or write (user-interface thread)
  int inputSize_ = 1024;
  std::uint32_t rate_ = 9600;  // the line's rate, for the drain's time slices
  // The levels DTR and RTS have: taken at opening, then those last given
  // (user-interface thread only).
  bool dtrOn_ = true;
  bool rtsOn_ = true;
  bool maskSet_ = false;  // event thread, or Park once it has ended
  std::atomic<std::uint64_t> bytesRead_{0};
  // Error flags that a queue-length query cleared before TakeErrors could
  // report them; any thread may add to them.
  std::atomic<DWORD> pendingErrors_{0};
};

}  // namespace

std::unique_ptr<ComDevice> ComDevice::Open(const std::string& portName) {
  const std::wstring path = L"\\\\.\\" + Widen(portName);
  // No sharing: a second opener, from this or another program, is refused.
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw ComError(CError_OpenFailed, ::GetLastError());
  HANDLE claim = ClaimPortName(portName);
  if (claim == nullptr) {
    const DWORD err = ::GetLastError();
    ::CloseHandle(h);
    throw ComError(CError_OpenFailed, err);
  }
  // The FTDI driver's latency timer cannot be lowered from here; the log
  // tells the person when it slows the update.
  AdapterLatency latency;
  if (const auto timer = FtdiLatencyTimer(portName)) {
    latency.ftdi = true;
    latency.timerMs = *timer;
  }
  auto device = std::make_unique<Win32ComDevice>(h, claim, latency);
  if (!device->Ready()) throw ComError(CError_OpenFailed, ::GetLastError());
  // The next opening starts with empty queues and no stale error flags.
  device->Purge(true, true);
  device->TakeErrors(false);
  device->TakeLineLevels();
  return device;
}

}  // namespace kv9

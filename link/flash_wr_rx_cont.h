#pragma once
// TFlashWrRXCont, the link controller: the one object through which the
// tool talks to the module. It owns the serial port, the receive ring, the
// log switches, the module's identity and the firmware image buffer; every
// protocol of the tool is built from its few primitives (send, count, take,
// flush, wait, log).
//
// Everything here runs on the user-interface thread. Received bytes enter
// the ring only while that thread processes messages, which during a command
// happens inside the reply wait.
#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "boot/boot_programmer.h"
#include "image/image_buffer.h"
#include "boot/line_link.h"
#include "link/port_open_reason.h"
#include "platform/prog_settings.h"
#include "platform/link_ui.h"
#include "platform/log_pane.h"
#include "serial/com_port.h"

namespace kv9 {

constexpr int kRxRingSize = 16384;

class TFlashWrRXCont final : public LineLink {
 public:
  // `owner` receives message boxes (may be null: boxes are then dropped),
  // `logMemo` the log lines (may be null). The settings are copied.
  TFlashWrRXCont(LinkUi* owner, LogPane* logMemo, const TProgSettings& settings);
  TFlashWrRXCont(const TFlashWrRXCont&) = delete;
  TFlashWrRXCont& operator=(const TFlashWrRXCont&) = delete;
  ~TFlashWrRXCont() override;

  // --- log ---
  // One line into the log pane; force 0 lines only while DebugLog is set.
  void AddLog(const std::string& text, int force) override;

  // --- receive ring and transmission ---
  // Writes count bytes (after RxFlush when flushFirst); returns the number the
  // port accepted, 0 without logging when the port is closed or the front end
  // asked the run to stop (nothing is sent then, and from then on every reply
  // wait ends at once: no frame went out, so no reply can come). A port that
  // fails while writing raises EComPort.
  int SendBytes(const std::uint8_t* bytes, int count, int flushFirst) override;
  int RxCount() const override;
  // The next unread byte; call only after RxCount reported enough bytes.
  std::uint8_t RxByte() override;
  std::uint8_t PeekRx(int offset) const override;
  void RxFlush() override;
  // Handler of the port's received-bytes event: reads count bytes from the
  // port and stores them with StoreReceived.
  void CommX1RxChar(TCustomComPort& sender, int count);
  // Bytes that arrived: appended to the ring as far as it has room (at most
  // 16383 unread; the rest are dropped with a debug line), traced as "RX: "
  // while RxLog is set.
  void StoreReceived(const std::uint8_t* bytes, int count);
  // Handler of the port's line-error event: a debug line, nothing else.
  void CommX1Error(TCustomComPort& sender, TComErrors errors);

  // --- waits ---
  // The one program-wide wait timer (shared by every controller and wait).
  // Started right after SendBytes, it starts when the frame will have left
  // the line at the port's rate (10 bits a byte).
  void StartWaitTimer() override;
  // 1 once at least ms milliseconds passed since StartWaitTimer (wrap-safe).
  int WaitTimerExpired(std::uint32_t ms);
  // The reply wait: processes messages and polls every 10 ms until at least
  // count bytes are unread (1) or timeoutMs passed (0). Consumes nothing.
  int WaitRxCount(std::uint32_t timeoutMs, int count) override;
  // The same wait on the timer already running.
  int PollRxCount(std::uint32_t timeoutMs, int count) override;

  // --- port ---
  // Closes the port if open, empties the ring, opens "COM<port>" and raises
  // RTS and DTR. 1 when the port is open afterwards; 0 after a message box
  // naming the port (and, for a port in use or not permitted, why) when it
  // could not be opened. LastOpenReason then holds the reason line; with
  // QuietOpen set the box is left to the caller.
  int OpenPort(std::uint8_t port);
  void ClosePort();
  // The one way to change the line's rate: closes the port, sets `rate`
  // (with `customRate` for brCustom), opens "COM<port>" again (with the box
  // of OpenPort when it fails) and empties the ring. 1 when it is open.
  int ReopenAtRate(std::uint8_t port, TBaudRate rate, std::uint32_t customRate = 0);
  // The boot program's rate change: the port last opened, at any rate.
  int ReopenAtRate(std::uint32_t bitRate) override;

  // --- module command frames (link/module_commands.cpp) ---
  // The module's frame checksum over LEN + 5 bytes from STX.
  static std::uint8_t FrameSum(const std::uint8_t* frame);
  int DousaModeSet(std::uint8_t param1, std::uint8_t param2, int flag, std::uint16_t param16,
                   std::uint8_t param3);
  int TxOnOffCmd(int on);
  // Sends any code with n data bytes and waits for `replyLength` bytes; on
  // success copies the reply from its LEN byte on into `reply` and sets
  // replyLength to the bytes copied.
  int PassThroughCmd(std::uint8_t code, int n, std::uint8_t* reply, int& replyLength,
                     const std::uint8_t* data);
  int ReadRomVersion(int display);
  int ReadModelName(int display);
  // The boot-mode request. 0 only when the module answered and refused; no
  // answer (it may have reset first) is 1. The line is at 19200 bit/s after.
  int SetProgMode();
  int CheckLink();

  // --- discovery (link/discovery.cpp) ---
  void ListComPorts(std::vector<std::string>& list);
  int ScanPorts(const std::vector<std::string>& list);
  int ScanSpeeds(const std::string& portName);
  int IsSupportedModel(int display);
  int ConfirmModule(int found);
  void ShowModuleMessage();
  int OpenAtStartup(int writeSpeedIndex);

  // --- EEPROM (link/eeprom_commands.cpp) ---
  int EepromRead(std::uint8_t kind, std::uint8_t address, std::uint8_t count, std::uint8_t* destination);
  int EepromWrite(std::uint8_t kind, std::uint8_t address, std::uint8_t count, const std::uint8_t* source);
  int EepromInit(int option);

  // --- boot-mode programmer ---
  // One-line calls of the BootProgrammer this controller owns
  // (link/boot_members.cpp); see boot/boot_programmer.h for each.
  int WaitResponse(std::uint8_t expected, std::uint32_t timeoutMs);
  int RecvInquiryReply(std::uint8_t expected, std::uint32_t timeoutMs, int& length, std::uint8_t* buffer);
  int RecvReadReply(std::uint8_t expected, std::uint32_t timeoutMs, int& length);
  int SendCmdByte(std::uint8_t command, std::uint8_t expected);
  int Inquire(std::uint8_t command, std::uint8_t expected, std::uint8_t* buffer, int& length);
  int RecvLockStatus(std::uint32_t timeoutMs, std::uint8_t& status);
  int BitRateMatch();
  int DeviceSelect(const std::array<char, 4>& deviceCode);
  int SelectClockMode(std::uint8_t mode);
  int SelectBitRate(std::uint16_t bitRate100, std::uint16_t inputFreq100, std::uint8_t multiplier1,
                    std::uint8_t multiplier2);
  int EraseStatusSet(std::uint8_t& status);
  int BootHandshake();
  int IDCheck(const std::uint8_t* idCode);
  int IdCodeStep(int pieceA);
  int SelUserBootArea();
  int SelUserArea();
  int Write256Bytes(std::uint32_t address, const std::uint8_t* data);
  int SelErase();
  int BlockErase(std::uint8_t block);
  int MemRead(std::uint8_t area, std::uint32_t address, int userBootMode, int& length, std::uint32_t size);
  int UserBootBlankCheck();
  int UserAreaBlankCheck();
  int EraseUserArea(int userBootMode);
  int ProgramUserArea(int showAddress, int userBootMode);
  int VerifyUserArea(int showAddress, int userBootMode);
  const ProgramTally& LastProgramTally() const { return boot_.LastProgramTally(); }
  std::uint32_t LastErasesAcknowledged() const { return boot_.LastErasesAcknowledged(); }
  void LoaderRestart();
  int LoaderCrcCheck();
  int ReadLoaderCrc(std::uint16_t& crc);
  int ReadUserArea(std::uint32_t first, std::uint32_t last, int userBootMode, std::vector<std::uint8_t>& out,
                   std::uint32_t& failedAt);
  // Inquiries and lock bits.
  int SupportDevice(std::uint8_t* buffer, int& length);
  int ClockInfo(std::uint8_t* buffer, int& length);
  int TeibaiInfo(std::uint8_t* buffer, int& length);
  int GetClockInfo(std::uint8_t* buffer, int& length);
  int BootAreaInfo(std::uint8_t* buffer, int& length);
  int UserAreaInfo(std::uint8_t* buffer, int& length);
  int EraseBlockInfo(std::uint8_t* buffer, int& length);
  int WriteSizeInfo(std::uint8_t* buffer, int& length);
  int DataAreaChk(std::uint8_t* buffer, int& length);
  int DataAreaInfo(std::uint8_t* buffer, int& length);
  int BootProgInfo(std::uint8_t* buffer, int& length);
  int UserBootSumCheck(std::uint8_t* buffer, int& length);
  int UserAreaSumCheck(std::uint8_t* buffer, int& length);
  int DataSumCheck(std::uint8_t* buffer, int& length);
  int ReadLockBitStatus(std::uint32_t address, std::uint8_t& status);
  int ProgLockBit(std::uint32_t address);
  int EnLockBit();
  int DisaLockBit();

  // --- image buffer (link/image_members.cpp) ---
  // Delegates to the image library (ImageBuffer and its loaders); these pass
  // on, in order, the log lines and boxes its results list.
  void SetImageArea(std::int32_t cpuCode, std::int32_t romSizeIndex);
  void InitImageBuffer();
  void LoadEmbeddedImage();
  // CRC-16/X-25 of the image of RomStart..CrcEnd (only bytes the buffer
  // holds); leaves the stream rewound.
  std::uint16_t ImageCrc();

  // --- image file loaders (link/image_members.cpp) ---
  // Loads an image file chosen by its extension, ".HEX" (Intel HEX) or
  // ".MOT" (S-records), letters in any case; 1 when the file loaded without
  // error. Any other extension returns 0 and changes nothing. A file that
  // cannot be read shows a message naming it and why, returns 0 and changes
  // nothing. After a load the image CRC goes to the debug log.
  int LoadImageFile(const std::string& fileName);
  // Both start from a buffer of the area's size, all 0xFF: a file is the
  // whole image. A failed load leaves the buffer all 0x00 (Intel HEX) or
  // all 0xFF (S-records) and ImageLoaded clear.
  int ParseIntelHex(const std::vector<std::string>& lines);
  int ParseSRecords(const std::vector<std::string>& lines);
  // The value of a hexadecimal field; other characters count 0.
  std::int32_t HexToInt(const std::string& text) const;

  // The firmware image and the area it is laid out for. The image fields
  // below keep their names as references to this buffer's own.
  ImageBuffer Image;

  // Fields, in the order the tool has always kept them (the receive ring is
  // private, below).
  TComPort CommX1;
  LogPane* LogMemo;
  std::array<char, 4> DeviceCode{};
  std::uint32_t& RomStart = Image.romStart;
  std::uint32_t& RomEnd = Image.romEnd;
  std::uint32_t& CrcEnd = Image.crcEnd;
  std::array<std::uint8_t, kBlockSize> BlockBuf{};
  std::array<std::uint8_t, kReplyBufSize> ReplyBuf{};
  std::int32_t ModuleSupported = 0;
  std::string ModuleMessage;
  TProgSettings Settings;
  std::array<char, 10> RomVersion{};
  std::array<char, 10> ModelName{};
  TMemoryStream& ImageStream = Image.bytes;
  std::uint8_t& ImageLoaded = Image.loaded;
  // The flash address of the buffer's first byte: 0xFFFC0000 for the image
  // the tool carries, RomStart at the time of a file load. The update
  // refuses to run while it differs from RomStart.
  std::uint32_t& ImageBase = Image.base;
  // Why the last file load failed, for front ends that print it; empty after
  // a good load.
  std::string& ImageLoadProblem = Image.loadProblem;
  std::int32_t ReWriteMode = 0;
  std::int32_t DebugLog = 0;
  std::int32_t TxLog = 1;
  std::int32_t RxLog = 1;
  // The CRC the resident loader last reported (-1 before any), for the
  // front end's summary.
  std::int32_t LoaderCrc = -1;

  // Set while discovery opens port after port: it reports each port that
  // cannot be opened once, not with a box per try.
  bool QuietOpen = false;
  std::string LastOpenReason;
  PortOpenFailure LastOpenFailure = PortOpenFailure::Other;
  // The last search opened none of its ports (held, refused, gone): its
  // message box said why, and the cable is not what to check.
  bool SearchOpenedNoPort = false;

  LinkUi* Owner() const override { return owner_; }
  // A frame was held back because the front end asked the run to stop.
  bool Stopped() const override { return stopped_; }
  // From here on the run goes to its end whatever a front end asks: once
  // the firmware is written and checked, cutting the restart or the
  // factory restore short could only lose the module's settings. Each
  // update clears it at its start.
  void HoldStops(bool hold) { stopsHeld_ = hold; }

 private:
  // The receive ring: the unread bytes run from RxReadPos forward to
  // RxWritePos; equal indexes mean empty. Only the members above touch it.
  std::array<std::uint8_t, kRxRingSize> RxBuffer{};
  std::int32_t RxWritePos = 0;
  std::int32_t RxReadPos = 0;
  LinkUi* owner_;
  // The port number OpenPort last opened, for a reopen at another rate.
  std::uint8_t portNumber_ = 1;
  // Declared after the fields it is lent.
  BootProgrammer boot_{*this, Settings, ReplyBuf, BlockBuf, LoaderCrc};
  // Line time of the frame SendBytes wrote last, until a wait takes it.
  std::uint32_t replyWaitOffsetMs_ = 0;
  bool stopped_ = false;
  bool stopsHeld_ = false;
  // Re-write mode was chosen with no port to open: discovery ends without a module.
  bool noPortChosen_ = false;

  // After an opening: the debug line naming the adapter's latency timer,
  // and the advice where it is too slow and the tool cannot lower it, each
  // once per port (link/adapter_note.cpp).
  void NoteAdapterLatency();
  std::set<std::string> latencyLogged_;
  std::set<std::string> latencyAdvised_;
};

}  // namespace kv9

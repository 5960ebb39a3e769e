// Settings types, their texts, the error texts and the flow-control presets:
// everything of the serial port component that needs no device.
#include <gtest/gtest.h>

#include "serial/com_error.h"
#include "serial/com_port.h"
#include "serial/com_types.h"

namespace kv9 {
namespace {

TEST(SerialTypes, StrToBaudRateMatchesNamesIgnoringCase) {
  EXPECT_EQ(StrToBaudRate("19200"), br19200);
  EXPECT_EQ(static_cast<int>(StrToBaudRate("19200")), 9);  // the settings record stores ordinals
  EXPECT_EQ(StrToBaudRate("custom"), brCustom);
  EXPECT_EQ(StrToBaudRate("CUSTOM"), brCustom);
  EXPECT_EQ(StrToBaudRate("110"), br110);
  EXPECT_EQ(StrToBaudRate("256000"), br256000);
  // No name matches: the fallback is 9600, also for near misses.
  EXPECT_EQ(StrToBaudRate("56700"), br9600);
  EXPECT_EQ(StrToBaudRate(""), br9600);
  EXPECT_EQ(StrToBaudRate("19200 "), br9600);
  EXPECT_EQ(StrToBaudRate("0"), br9600);
}

TEST(SerialTypes, BaudRateNamesAndValuesRoundTrip) {
  EXPECT_EQ(BaudRateToStr(br115200), "115200");
  EXPECT_EQ(BaudRateToStr(brCustom), "Custom");
  EXPECT_EQ(BaudRateToStr(br56000), "56000");
  EXPECT_EQ(BaudRateValue(brCustom), 0u);
  EXPECT_EQ(BaudRateValue(br14400), 14400u);
  for (int i = brCustom; i <= br256000; ++i) {
    const auto rate = static_cast<TBaudRate>(i);
    EXPECT_EQ(StrToBaudRate(BaudRateToStr(rate)), rate) << i;
    if (rate != brCustom) {
      EXPECT_EQ(BaudRateToStr(rate), std::to_string(BaudRateValue(rate))) << i;
    }
  }
}

TEST(SerialTypes, ComErrorsToStrListsMembersInDeclarationOrder) {
  EXPECT_EQ(ComErrorsToStr({}), "<Ok>");
  EXPECT_EQ(ComErrorsToStr({ceRxParity}), "<ComError:Parity>");
  EXPECT_EQ(ComErrorsToStr({ceFrame, ceOverrun}), "<ComError:Frame,Overrun>");
  EXPECT_EQ(ComErrorsToStr({ceOverrun, ceFrame}), "<ComError:Frame,Overrun>");
  EXPECT_EQ(ComErrorsToStr({ceTxFull, ceIO, ceBreak, ceMode, ceRxOver}),
            "<ComError:Break,IO,Mode,RxOver,TxFull>");
  EXPECT_EQ(ComErrorsToStr(TComErrors::FromBits(0xFF)),
            "<ComError:Frame,Parity,Overrun,Break,IO,Mode,RxOver,TxFull>");
}

TEST(SerialTypes, ComErrorsIsOneByteWithFrameAsBitZero) {
  static_assert(sizeof(TComErrors) == 1);
  EXPECT_EQ(TComErrors({ceFrame}).ToBits(), 0x01);
  EXPECT_EQ(TComErrors({ceTxFull}).ToBits(), 0x80);
  EXPECT_EQ(TComErrors({ceRxParity, ceIO}).ToBits(), 0x12);
  EXPECT_EQ(kAllComEvents.ToBits(), 0x3FF);
}

TEST(SerialError, MessageCarriesPlatformNumberOnlyWhenPositive) {
  const EComPort withNumber = MakeComError(CError_OpenFailed, 11);
  EXPECT_EQ(withNumber.Code, 1);
  EXPECT_EQ(withNumber.WinCode, 11);
  EXPECT_STREQ(withNumber.what(), "Unable to open com port (Error: 11)");

  const EComPort without = MakeComError(CError_OpenFailed);
  EXPECT_EQ(without.WinCode, -1);
  EXPECT_STREQ(without.what(), "Unable to open com port");

  const EComPort zero = MakeComError(CError_WriteFailed, 0);
  EXPECT_EQ(zero.WinCode, -1);
  EXPECT_STREQ(zero.what(), "WriteFile function failed");

  const EComPort write = MakeComError(CError_WriteFailed, 5);
  EXPECT_EQ(write.Code, 2);
  EXPECT_STREQ(write.what(), "WriteFile function failed (Error: 5)");

  // "Port Not Open" never carries a number, even if one was passed.
  const EComPort notOpen = MakeComError(CError_PortNotOpen, 9);
  EXPECT_EQ(notOpen.Code, 24);
  EXPECT_EQ(notOpen.WinCode, -1);
  EXPECT_STREQ(notOpen.what(), "Port Not Open");
}

TEST(SerialError, TableTextsOfEveryCode) {
  EXPECT_STREQ(ComErrorText(1), "Unable to open com port");
  EXPECT_STREQ(ComErrorText(2), "WriteFile function failed");
  EXPECT_STREQ(ComErrorText(3), "ReadFile function failed");
  EXPECT_STREQ(ComErrorText(7), "SetCommState function failed");
  EXPECT_STREQ(ComErrorText(8), "SetCommTimeouts failed");
  EXPECT_STREQ(ComErrorText(9), "SetupComm function failed");
  EXPECT_STREQ(ComErrorText(10), "ClearCommError function failed");
  EXPECT_STREQ(ComErrorText(11), "GetCommModemStatus function failed");
  EXPECT_STREQ(ComErrorText(12), "EscapeCommFunction function failed");
  EXPECT_STREQ(ComErrorText(24), "Port Not Open");
}

TEST(SerialFlowControl, PresetsSetTheirFieldsAndAreInferredBack) {
  TComPort port;  // closed: presets are only stored
  TComFlowControl& fc = port.FlowControl();
  EXPECT_EQ(fc.GetFlowControl(), fcNone);  // the defaults

  fc.ControlDTR = dtrEnable;
  fc.OutDSRFlow = true;
  fc.SetFlowControl(fcHardware);
  EXPECT_EQ(fc.ControlRTS, rtsHandshake);
  EXPECT_TRUE(fc.OutCTSFlow);
  EXPECT_FALSE(fc.XonXoffIn);
  EXPECT_FALSE(fc.XonXoffOut);
  EXPECT_EQ(fc.GetFlowControl(), fcHardware);

  fc.SetFlowControl(fcSoftware);
  EXPECT_EQ(fc.ControlRTS, rtsDisable);
  EXPECT_FALSE(fc.OutCTSFlow);
  EXPECT_TRUE(fc.XonXoffIn);
  EXPECT_TRUE(fc.XonXoffOut);
  EXPECT_EQ(fc.GetFlowControl(), fcSoftware);

  // fcCustom leaves everything as it was.
  fc.SetFlowControl(fcCustom);
  EXPECT_EQ(fc.GetFlowControl(), fcSoftware);

  fc.SetFlowControl(fcNone);
  EXPECT_EQ(fc.ControlRTS, rtsDisable);
  EXPECT_FALSE(fc.OutCTSFlow || fc.XonXoffIn || fc.XonXoffOut);
  EXPECT_EQ(fc.GetFlowControl(), fcNone);

  // No preset touches DTR or DSR flow.
  EXPECT_EQ(fc.ControlDTR, dtrEnable);
  EXPECT_TRUE(fc.OutDSRFlow);
}

TEST(SerialFlowControl, MixedSettingsInferCustom) {
  TComPort port;
  TComFlowControl& fc = port.FlowControl();
  fc.XonXoffIn = true;  // only one direction
  EXPECT_EQ(fc.GetFlowControl(), fcCustom);

  fc.SetFlowControl(fcHardware);
  fc.ControlRTS = rtsEnable;
  EXPECT_EQ(fc.GetFlowControl(), fcCustom);

  fc.SetFlowControl(fcNone);
  fc.ControlRTS = rtsToggle;
  EXPECT_EQ(fc.GetFlowControl(), fcCustom);

  fc.SetFlowControl(fcHardware);
  fc.XonXoffOut = true;
  EXPECT_EQ(fc.GetFlowControl(), fcCustom);
}

TEST(SerialPortSettings, DefaultsOfANewPort) {
  TComPort port;
  EXPECT_FALSE(port.Connected());
  EXPECT_EQ(port.Port(), "COM1");
  EXPECT_EQ(port.BaudRate(), br9600);
  EXPECT_EQ(port.CustomBaudRate(), 9600u);
  EXPECT_EQ(port.DataBits(), dbEight);
  EXPECT_EQ(port.StopBits(), sbOneStopBit);
  EXPECT_EQ(port.Parity().Bits(), prNone);
  EXPECT_FALSE(port.Parity().Check);
  EXPECT_EQ(port.Timeouts.ReadInterval, 0xFFFFFFFFu);
  EXPECT_EQ(port.Timeouts.WriteTotalMultiplier, 100u);
  EXPECT_EQ(port.Timeouts.WriteTotalConstant, 1000u);
  EXPECT_EQ(port.Buffer.InputSize, 1024);
  EXPECT_EQ(port.Buffer.OutputSize, 1024);
  EXPECT_EQ(port.Events, kAllComEvents);
  EXPECT_TRUE(port.TriggersOnRxChar);
}

TEST(SerialPortSettings, EffectiveRateFollowsTableOrCustom) {
  TComPort port;
  port.SetCustomBaudRate(12345);
  EXPECT_EQ(port.EffectiveBaudRate(), 9600u);  // a table value ignores the custom rate
  port.SetBaudRate(brCustom);
  EXPECT_EQ(port.EffectiveBaudRate(), 12345u);
  port.SetBaudRate(br115200);
  EXPECT_EQ(port.EffectiveBaudRate(), 115200u);
  EXPECT_EQ(port.CustomBaudRate(), 12345u);
}

TEST(SerialPortSettings, ClosedPortRefusesTransfersAndModemCalls) {
  TComPort port;
  std::uint8_t byte = 0x55;
  for (auto call : {+[](TComPort& p, std::uint8_t* b) { p.Write(b, 1); },
                    +[](TComPort& p, std::uint8_t* b) { p.Read(b, 1); },
                    +[](TComPort& p, std::uint8_t*) { p.SetDTR(true); },
                    +[](TComPort& p, std::uint8_t*) { p.SetRTS(false); }}) {
    try {
      call(port, &byte);
      ADD_FAILURE() << "a closed port accepted the call";
    } catch (const EComPort& e) {
      EXPECT_EQ(e.Code, 24);
      EXPECT_EQ(e.WinCode, -1);
      EXPECT_STREQ(e.what(), "Port Not Open");
    }
  }
  EXPECT_EQ(port.InputCount(), 0);
  EXPECT_TRUE(port.LastErrors().Empty());
  EXPECT_NO_THROW(port.Close());
  EXPECT_FALSE(port.Connected());
}

}  // namespace
}  // namespace kv9

#include <gtest/gtest.h>

#include "tests/console/fakes.h"

namespace {

std::vector<uint8_t> Hex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::vector<uint8_t> Bytes(const TWakePayload& p) { return {p.begin(), p.end()}; }

// The datagram for 00 11 22 33 44 55, written out byte by byte.
const std::string GoldenHex =
    "001122334455"
    "0074"
    "FFFFFFFFFFFF"
    "001122334455001122334455001122334455001122334455"
    "001122334455001122334455001122334455001122334455"
    "001122334455001122334455001122334455001122334455"
    "001122334455001122334455001122334455001122334455"
    "400090904000";

TEST(HexToInt, ReadsHexDigitsOfEitherCaseAndCountsOtherCharactersAsZero) {
  EXPECT_EQ(HexToInt("1f"), 0x1F);
  EXPECT_EQ(HexToInt("1F"), 0x1F);
  EXPECT_EQ(HexToInt("G7"), 0x07);
  EXPECT_EQ(HexToInt("-5"), 0x05);
  EXPECT_EQ(HexToInt(""), 0);
  EXPECT_EQ(HexToInt("7FFFFFFF"), 0x7FFFFFFF);
  EXPECT_EQ(HexToInt("FFFFFFFF"), -1);
  EXPECT_EQ(HexToInt("123456789"), 0) << "more than 8 characters";
}

TEST(WakePayload, MatchesTheFrameAroundTheMagicPacket) {
  ASSERT_EQ(Hex(GoldenHex).size(), 116u);
  EXPECT_EQ(Bytes(BuildWakePayload(ParseMacText("001122334455"))), Hex(GoldenHex));
}

TEST(WakePayload, MacTextIsReadByCharacterPairsIgnoringTheRest) {
  EXPECT_EQ(ParseMacText("001122334455FF"), ParseMacText("001122334455"));
  EXPECT_EQ(ParseMacText("aabbccddeeff"), ParseMacText("AABBCCDDEEFF"));
  // Separators are not skipped: each counts as the digit 0.
  TMacBytes dashed = ParseMacText("00-11-22-33-44-55");
  EXPECT_EQ(std::vector<uint8_t>(dashed.begin(), dashed.end()), Hex("000110220330"));
  TMacBytes letters = ParseMacText("GZ1122334455");
  EXPECT_EQ(letters[0], 0);
  EXPECT_THROW(ParseMacText("0011223344"), EWakeError);
  EXPECT_THROW(ParseMacText(""), EWakeError);
}

struct WakeRig {
  WakeRig() {
    udp.log = &view.log;
    pinger.log = &view.log;
    view.abortFlag = &abort;
    std::vector<std::string> lines;
    for (int i = 0; i < LangLineCount; ++i) lines.push_back("L" + std::to_string(i));
    lang.Assign(lines);
    settings.WakePort = 40950;
    settings.WakeTimes = 3;
    settings.WakeWait = 20;
  }
  void Run(const std::string& mac, const std::string& host, bool waiting) {
    TWakeUp(udp, pinger, view).SendWakeUp(mac, host, waiting, settings, lang, abort);
  }
  FakeUdp udp;
  FakePinger pinger;
  FakeView view;
  TLangLines lang;
  TWakeSettings settings;
  bool abort = false;
};

TEST(SendWakeUp, WithoutWaitingSendsWakeTimesDatagramsWithAPauseAfterEach) {
  WakeRig r;
  r.Run("001122334455", "127.0.0.1", false);
  EXPECT_EQ(r.view.log,
            (std::vector<std::string>{"send", "sleep 20", "send", "sleep 20", "send", "sleep 20", "end", "status"}));
  ASSERT_EQ(r.udp.sent.size(), 3u);
  for (const auto& d : r.udp.sent) {
    EXPECT_EQ(d.host, "127.0.0.1");
    EXPECT_EQ(d.port, 40950);
    EXPECT_EQ(d.bytes, Hex(GoldenHex));
  }
  EXPECT_TRUE(r.pinger.hosts.empty());
  EXPECT_EQ(r.view.status, "L44001122334455");
  EXPECT_TRUE(r.view.errors.empty());
}

TEST(SendWakeUp, WaitingPingsOnceBeforeSendingThenUntilAnEchoReply) {
  WakeRig r;
  r.settings.WakeTimes = 1;
  // The pre-send answer is ignored; then two silent rounds before the reply.
  r.pinger.answers = {TPingStatus::EchoReply, TPingStatus::TimedOut, TPingStatus::TimedOut, TPingStatus::EchoReply};
  r.Run("AABBCCDDEEFF", "pc1", true);
  EXPECT_EQ(r.view.log, (std::vector<std::string>{"begin", "ping", "send", "sleep 20", "alive", "ping", "alive", "ping",
                                                  "alive", "ping", "info", "end", "status"}));
  EXPECT_EQ(r.view.infos, std::vector<std::string>{"pc1L43"});
  EXPECT_EQ(r.view.status, "L44AABBCCDDEEFF");
}

TEST(SendWakeUp, UnreachableIsNoAnswerAndPausesResponsivelyBeforeTheNextRequest) {
  WakeRig r;
  r.settings.WakeTimes = 1;
  r.pinger.answers = {TPingStatus::TimedOut, TPingStatus::Unreachable, TPingStatus::TtlExceeded,
                      TPingStatus::EchoReply};
  r.Run("001122334455", "127.0.0.1", true);
  int pauses = 0;
  for (const auto& e : r.view.log) pauses += e == "sleep 100";
  EXPECT_EQ(pauses, 20) << "about a second after each of the two reports";
  EXPECT_EQ(r.pinger.hosts.size(), 4u);
  EXPECT_EQ(r.view.infos.size(), 1u);
}

TEST(SendWakeUp, CancelEndsTheWaitWithTheCancelStatusAndNoAnswerBox) {
  WakeRig r;
  r.view.abortOnKeepAlive = 3;
  r.Run("001122334455", "127.0.0.1", true);
  EXPECT_TRUE(r.abort);
  EXPECT_TRUE(r.view.infos.empty());
  EXPECT_TRUE(r.view.errors.empty());
  EXPECT_EQ(r.view.status, "L45");
  EXPECT_EQ(r.pinger.hosts.size(), 3u) << "pre-send ping plus two rounds before the cancel";
}

TEST(SendWakeUp, FailuresReportTheStageAfterTheWaitDialogIsGone) {
  {
    WakeRig r;  // too short: fails while reading the MAC, before anything else
    r.Run("0011223344", "127.0.0.1", true);
    EXPECT_EQ(r.view.errors, std::vector<std::string>{"L460011223344L47\r\rL48\rL40"});
    EXPECT_EQ(r.view.log, (std::vector<std::string>{"status", "error"}));
    EXPECT_EQ(r.view.status, "L45");
    EXPECT_TRUE(r.udp.sent.empty());
  }
  {
    WakeRig r;  // the host name does not resolve
    r.udp.failSend = true;
    r.Run("001122334455", "nohost", false);
    EXPECT_EQ(r.view.errors, std::vector<std::string>{"L46001122334455L47\r\rL48\rL42"});
    EXPECT_EQ(r.view.status, "L45");
  }
  {
    WakeRig r;  // the echo request before the first datagram fails: nothing sent
    r.pinger.failAt = 1;
    r.Run("001122334455", "127.0.0.1", true);
    EXPECT_TRUE(r.udp.sent.empty());
    EXPECT_EQ(r.view.errors, std::vector<std::string>{"L46001122334455L47\r\rL48\rL42"});
    EXPECT_EQ(r.view.log, (std::vector<std::string>{"begin", "ping", "end", "status", "status", "error"}));
  }
  for (int32_t port : {0, 65536, 70000, -1}) {
    WakeRig r;  // a port no datagram can carry: nothing goes to any other port
    r.settings.WakePort = port;
    r.Run("001122334455", "127.0.0.1", true);
    EXPECT_TRUE(r.udp.sent.empty()) << port;
    EXPECT_EQ(r.view.errors, std::vector<std::string>{"L46001122334455L47\r\rL48\rL42"}) << port;
  }
  {
    WakeRig r;  // an echo request fails while waiting: empty stage text
    r.pinger.failAt = 3;
    r.Run("001122334455", "127.0.0.1", true);
    EXPECT_EQ(r.udp.sent.size(), 3u);
    EXPECT_EQ(r.view.errors, std::vector<std::string>{"L46001122334455L47\r\rL48\r"});
    EXPECT_EQ(r.view.status, "L45");
  }
}

TEST(SendWakeUp, NegativePauseFailsAfterOneDatagramWithoutSleeping) {
  WakeRig r;
  r.settings.WakeWait = -50;
  r.Run("001122334455", "127.0.0.1", false);
  EXPECT_EQ(r.udp.sent.size(), 1u);
  for (const auto& e : r.view.log) EXPECT_EQ(e.rfind("sleep", 0), std::string::npos) << e;
  EXPECT_EQ(r.view.errors, std::vector<std::string>{"L46001122334455L47\r\rL48\rL42"});
}

TEST(SendWakeUp, OnlyTheLimitedBroadcastAddressSkipsTheWait) {
  EXPECT_FALSE(WakeButtonWaits("255.255.255.255"));
  EXPECT_TRUE(WakeButtonWaits("192.168.1.255"));
  EXPECT_TRUE(WakeButtonWaits(" 255.255.255.255"));
}

}  // namespace

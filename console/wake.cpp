#include "console/wake.h"

int32_t HexToInt(const std::string& text) {
  if (text.size() > 8) return 0;
  uint32_t result = 0;
  for (char c : text) {
    uint32_t digit = 0;
    if (c >= '0' && c <= '9')
      digit = static_cast<uint32_t>(c - '0');
    else if (c >= 'A' && c <= 'F')
      digit = static_cast<uint32_t>(c - 'A' + 10);
    else if (c >= 'a' && c <= 'f')
      digit = static_cast<uint32_t>(c - 'a' + 10);
    result = (result << 4) | digit;
  }
  return static_cast<int32_t>(result);
}

TMacBytes ParseMacText(const std::string& text) {
  if (text.size() < 12) throw EWakeError("MAC address text shorter than 12 characters");
  TMacBytes mac{};
  for (size_t k = 0; k < mac.size(); ++k) mac[k] = static_cast<uint8_t>(HexToInt(text.substr(2 * k, 2)) & 0xFF);
  return mac;
}

TWakePayload BuildWakePayload(const TMacBytes& mac) {
  TWakePayload p{};
  size_t at = 0;
  for (uint8_t b : mac) p[at++] = b;
  p[at++] = 0x00;  // 116, high byte first
  p[at++] = 0x74;
  for (int i = 0; i < 6; ++i) p[at++] = 0xFF;
  for (int r = 0; r < 16; ++r)
    for (uint8_t b : mac) p[at++] = b;
  for (uint8_t b : {0x40, 0x00, 0x90, 0x90, 0x40, 0x00}) p[at++] = b;
  return p;
}

bool TWakeUp::PingHost(const std::string& host, TPingStatus* status) {
  TPingStatus answer = pinger_.Ping(host);
  if (status) *status = answer;
  return answer == TPingStatus::EchoReply;
}

bool WakeButtonWaits(const std::string& host) { return host != "255.255.255.255"; }

void TWakeUp::SendWakeUp(const std::string& mac, const std::string& host, bool waiting, const TWakeSettings& settings,
                         const TLangLines& lang, bool& abortWake) {
  abortWake = false;
  std::string stage = lang[llStageMac];
  try {
    TMacBytes bytes = ParseMacText(mac);
    stage = lang[llStagePrepare];
    TWakePayload payload = BuildWakePayload(bytes);
    auto closing = [&] {
      ui_.EndWait();
      ui_.SetStatus(abortWake ? lang[llAbortStatus] : lang[llWokeStatus] + mac);
    };
    try {
      if (waiting) ui_.BeginWait();
      stage = lang[llStageSend];
      // One echo request before the first datagram; its answer is not used.
      if (waiting) PingHost(host);
      // A port the datagram cannot carry fails as port 0 does, rather than wrapping to another.
      if (settings.WakePort < 1 || settings.WakePort > 65535) throw EWakeError("wake port outside 1..65535");
      for (int32_t t = 0; t < settings.WakeTimes; ++t) {
        udp_.Send(host, settings.WakePort, payload.data(), WakePayloadSize);
        if (settings.WakeWait < 0) throw EWakeError("negative pause after a wake datagram");
        ui_.Sleep(settings.WakeWait);
      }
      stage.clear();
      if (waiting) {
        for (;;) {
          ui_.KeepAlive();
          if (abortWake) break;
          TPingStatus status = TPingStatus::TimedOut;
          if (PingHost(host, &status)) break;
          if (status != TPingStatus::TimedOut) {
            // Unreachable and TTL reports come back at once while the host is still
            // asleep; pause about a second, staying responsive, so the loop does not spin.
            for (int slice = 0; slice < 10 && !abortWake; ++slice) {
              ui_.Sleep(100);
              ui_.KeepAlive();
            }
          }
        }
        if (!abortWake) ui_.InfoBox(host + lang[llHostAnswered]);
      }
    } catch (...) {
      closing();
      throw;
    }
    closing();
  } catch (...) {
    ui_.SetStatus(lang[llAbortStatus]);
    ui_.ErrorBox(lang[llWakeErrorBeforeMac] + mac + lang[llWakeErrorAfterMac] + "\r\r" + lang[llWakeErrorBeforeStage] +
                 "\r" + stage);
  }
}

// The wake-up: the 116-byte wake datagram (a magic packet inside a small frame) sent
// WakeTimes times to the host, then, when waiting, echo requests until the host answers
// or the user cancels. Runs on the main thread; the user interface stays alive because
// the wait processes pending window messages between the blocking echo requests.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "console/lang.h"
#include "console/settings.h"

constexpr int WakePayloadSize = 116;
using TWakePayload = std::array<uint8_t, WakePayloadSize>;
using TMacBytes = std::array<uint8_t, 6>;

// The text read as hexadecimal digits; a character that is no hex digit counts as 0, and a
// text longer than 8 characters gives 0.
int32_t HexToInt(const std::string& text);
// Characters 1-2, 3-4, ... 11-12 of the text are the six bytes; later characters are
// ignored. Raises EWakeError for a text shorter than 12 characters.
TMacBytes ParseMacText(const std::string& text);
TWakePayload BuildWakePayload(const TMacBytes& mac);

enum class TPingStatus { EchoReply, TimedOut, Unreachable, TtlExceeded };

// Sends one datagram to host (dotted address or name, resolved for every datagram) and
// port; raises on a name that does not resolve or a socket error.
class IUdpSender {
public:
  virtual ~IUdpSender() = default;
  virtual void Send(const std::string& host, int32_t port, const uint8_t* data, int size) = 0;
};

// One echo request, waiting up to 5000 ms for the reply; raises on failure.
class IPinger {
public:
  virtual ~IPinger() = default;
  virtual TPingStatus Ping(const std::string& host) = 0;
};

class IWakeUi {
public:
  virtual ~IWakeUi() = default;
  // Shows the wait dialog, disables the console window, repaints, processes messages.
  virtual void BeginWait() = 0;
  // Repaints the wait dialog and processes pending window messages.
  virtual void KeepAlive() = 0;
  // Enables the console window and hides the wait dialog.
  virtual void EndWait() = 0;
  virtual void SetStatus(const std::string& text) = 0;
  virtual void InfoBox(const std::string& text) = 0;
  virtual void ErrorBox(const std::string& text) = 0;
  virtual void Sleep(int32_t ms) = 0;
};

class EWakeError : public std::exception {
public:
  explicit EWakeError(const char* what) : what_(what) {}
  const char* what() const noexcept override { return what_; }

private:
  const char* what_;
};

class TWakeUp {
public:
  TWakeUp(IUdpSender& udp, IPinger& pinger, IWakeUi& ui) : udp_(udp), pinger_(pinger), ui_(ui) {}
  // AbortWake is the flag the wait dialog's cancel button sets.
  void SendWakeUp(const std::string& mac, const std::string& host, bool waiting, const TWakeSettings& settings,
                  const TLangLines& lang, bool& abortWake);
  // One echo request; true only for a real echo reply. status, when given, receives the kind
  // of the answer.
  bool PingHost(const std::string& host, TPingStatus* status = nullptr);

private:
  IUdpSender& udp_;
  IPinger& pinger_;
  IWakeUi& ui_;
};

// The wake button waits for an answer unless the host is the limited broadcast address.
bool WakeButtonWaits(const std::string& host);

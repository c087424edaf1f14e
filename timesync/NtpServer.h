// The computer as an NTP server for its local network: a socket on one UDP
// port of every IPv4 address (and every IPv6 address where the system has
// IPv6), answering on the window's thread between window events. What the
// replies say is NtpAnswer's; here are the sockets, the moments, the rate
// limit and the last synchronisation the replies describe.
//
// The receive time is read right after the datagram is taken, and put
// back to when the system announced it as far as the tick can tell: the
// window's thread may come to it some milliseconds later. A request that
// waited longer behind other work of the window (a synchronisation run, a
// fetch) is dropped rather than answered: the client asks again.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Platform.h"
#include "timesync/NtpAnswer.h"
#include "timesync/RateLimit.h"

namespace tavrel {

class NtpServer {
 public:
  // Datagrams the system announced longer ago than this are dropped.
  static constexpr uint32_t kLateMs = 200;
  // Datagrams taken per announcement: the window stays responsive under a
  // flood, and the system announces the rest again.
  static constexpr int kBatch = 32;
  // Without a period: how long a synchronisation counts.
  static constexpr double kDefaultMaxAgeSeconds = 24 * 3600.0;

  // On the installed platform's UDP and clock.
  NtpServer();
  NtpServer(IUdp& udp, IClock& clock);
  ~NtpServer();
  NtpServer(const NtpServer&) = delete;
  NtpServer& operator=(const NtpServer&) = delete;

  // Serves on `port` from now on, on no other. Throws RuntimeError when the
  // IPv4 socket cannot be had: errPortInUse ("Port 123 is in use by another
  // program"), errSocketFailure. IPv6 is served where the system lets it.
  void Serve(uint16_t port);
  // After a failed Serve: tries once more, quietly. Nothing otherwise.
  void Retry();
  void Stop();
  bool Serving() const { return ipv4_ != nullptr; }
  bool ServingIpv6() const { return ipv6_ != nullptr; }
  // The port asked for by the last Serve (0: none since Stop).
  uint16_t Port() const { return port_; }

  // A synchronisation has just set the clock from a source of this quality.
  void NoteSynchronised(const SourceQuality& quality);
  // How long a synchronisation counts, in seconds (4 periods, or a day).
  void SetMaxAge(double seconds) { maxAgeSeconds_ = seconds; }
  // The clock as a request gets it now.
  ServedClock Describe();

  struct Counts {
    unsigned answered = 0;  // with the time (synchronised or not)
    unsigned kissed = 0;    // with a Kiss-o'-Death RATE
    unsigned dropped = 0;   // no request the server answers
    unsigned late = 0;      // waited longer than kLateMs
  };
  const Counts& Counted() const { return counts_; }

 private:
  void Readable(NetAddress::Family family, uint32_t readyTick);
  void Answer(IUdpSocket& socket, const Datagram& datagram, DateTime received, uint32_t tick);
  void Open();
  void ReportOnce(const RuntimeError& error);
  double AgeSeconds();

  IUdp& udp_;
  IClock& clock_;
  std::unique_ptr<IUdpSocket> ipv4_, ipv6_;
  uint16_t port_ = 0;
  std::optional<int> precision_;
  uint32_t tickStepMs_ = 16;
  std::optional<LastSynchronisation> last_;
  uint32_t lastTick_ = 0;
  double maxAgeSeconds_ = kDefaultMaxAgeSeconds;
  RateLimiter limiter_;
  bool reported_ = false;
  Counts counts_;
};

// The smallest step of the clock's TickCount() in milliseconds, from its
// first three changes; 16 when it did not move in 2,000,000 readings.
uint32_t MeasureTickStep(IClock& clock);

// The address box while the program serves: ":port", or nothing for the
// standard port 123. Throws RuntimeError errInvalidPropertyValue for any
// other text.
uint16_t ParseServedPort(const std::string& text);
// Whether a text has that form (blank, or a colon first); its port may
// still be wrong.
bool IsServedPortText(const std::string& text);

// log2 of the smallest step of the clock's NowUtc() in seconds, rounded
// up, from its first three changes, read for at most 100 ms of the tick or
// 200,000 readings; -20 (a microsecond) when neither clock nor tick moved.
int MeasureClockPrecision(IClock& clock);

}  // namespace tavrel

// The time of an NTP server, for clocks on a local network that keep one:
// the client side of SNTP version 4 (RFC 4330, RFC 5905). A run asks the
// server four times and keeps the answer that travelled fastest; its result
// is the offset to add to the computer's UTC clock. Setting the clock is
// the caller's business (DoAtomicTime), and so is reporting: every request
// that brings no usable answer throws a RuntimeError the caller's error
// trap reports with its own statement number:
//
//   SntpClient ntp;
//   if (!trap(300, [&] { ntp.Open(serverText); })) return false;
//   while (ntp.CanRequest()) trap(310, [&] { ntp.Request(); });
//   SntpResult r;
//   if (!trap(320, [&] { r = ntp.Result(); })) return false;
//
// Nothing a server or anyone else sends can make a run fail other than by a
// RuntimeError, nor pass a reply that is not the answer to our request.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace tavrel {

// ---------------------------------------------------------------------------
// NTP timestamps: seconds since 1900-01-01 00:00 UTC in the high 32 bits,
// the fraction of a second in the low 32. The seconds wrap every 2^32 s
// (136 years); era 1 starts on 2036-02-07 06:28:16 UTC.
using NtpTimestamp = uint64_t;

// A UTC date as a timestamp (its era dropped).
NtpTimestamp ToNtpTimestamp(DateTime utc);
// `to` − `from` in seconds, taken the short way round the era: right for
// any two moments less than 68 years apart, on either side of an era
// boundary. Negative when `to` is earlier.
double NtpSeconds(NtpTimestamp from, NtpTimestamp to);
// The UTC date a timestamp stands for, in the era that puts it nearest to
// `nearUtc` (the computer's clock).
DateTime FromNtpTimestamp(NtpTimestamp timestamp, DateTime nearUtc);

// The time of day "hh:mm:ss" of a date, seconds cut (not rounded), as the
// program shows a time source's reading.
std::string TimeOfDayText(DateTime value);

// ---------------------------------------------------------------------------

// Where to ask: a host name, an IPv4 literal or an IPv6 literal (without
// brackets), and the UDP port.
struct NtpServerAddress {
  std::string host;
  uint16_t port = 123;
};

// The server as the user writes it: "" (the public pool, pool.ntp.org),
// "host", "host:port", "192.0.2.1", "192.0.2.1:port", "[2001:db8::1]:port"
// or a bare IPv6 literal "2001:db8::1", which has no port. Blanks around
// the text are ignored. Throws RuntimeError errInvalidPropertyValue for
// anything else: an empty host, a port that is no number from 1 to 65535,
// characters no host name has.
NtpServerAddress ParseNtpServer(const std::string& text);

// How one received datagram stands to the request it may answer.
struct NtpReplyCheck {
  enum Kind {
    Answer,   // the server's valid answer: t2 and t3 hold its timestamps
    Foreign,  // not an answer to this request (other sender, too short,
              // wrong origin): ignored, the wait goes on
    Invalid,  // the server's answer, unusable: the request failed
    Kiss,     // the server's kiss-o'-death: ask it nothing more this run
  } kind = Foreign;
  std::string reason;  // for every kind but Answer: the rule it broke
  std::string kissCode;  // for a Kiss: "RATE", "DENY" or "RSTR"
  NtpTimestamp t2 = 0, t3 = 0;  // the server's receive and transmit times
  // For an Answer: the server's stratum, and its root delay and root
  // dispersion in seconds (how far it stands from its reference).
  unsigned stratum = 0;
  double rootDelay = 0, rootDispersion = 0;
};

// Checks a datagram against a request sent to server:port whose transmit
// timestamp was `nonce`. Reads nothing outside the datagram.
NtpReplyCheck CheckNtpReply(const Datagram& datagram, const NetAddress& server, uint16_t port,
                            NtpTimestamp nonce);

// The 48-byte request: version 4, client mode, every field zero but the
// transmit timestamp, which carries the nonce.
std::string NtpRequest(NtpTimestamp nonce);

// ---------------------------------------------------------------------------

struct SntpResult {
  // Seconds to add to the computer's UTC clock to get the server's time:
  // positive when the computer is behind.
  double offset = 0;
  // The round trip of the chosen exchange in seconds, the server's own
  // time excluded.
  double delay = 0;
  // The server's transmit time (UTC) and its time of day "hh:mm:ss".
  DateTime serverUtc;
  std::string serverTime;
  // The address and port actually asked.
  NetAddress address;
  uint16_t port = 123;
  // What the chosen answer said of the server: its stratum (1 .. 15) and
  // its root delay and root dispersion in seconds.
  unsigned stratum = 0;
  double rootDelay = 0, rootDispersion = 0;
};

class SntpClient {
 public:
  static constexpr int kRequests = 4;
  static constexpr unsigned kDefaultTimeoutMs = 2000;

  // On the installed platform's UDP, clock and random source.
  SntpClient();
  SntpClient(IUdp& udp, IClock& clock, IRandom& random);
  ~SntpClient();

  // Reads the server setting, resolves it and opens a socket for the first
  // of its addresses the system can reach. Throws RuntimeError:
  // errInvalidPropertyValue (malformed text), errHostNotFound,
  // errSocketFailure.
  void Open(const std::string& serverText);
  // Opens a socket for one address of a server already resolved. Throws
  // RuntimeError errSocketFailure when the system has no socket for its
  // family.
  void Open(const NetAddress& address, uint16_t port);
  // True while another request may go out: opened, fewer than kRequests
  // sent, no kiss-o'-death received.
  bool CanRequest() const;
  // Sends one request and waits up to timeoutMs for its answer. Returns
  // when a valid answer came; throws RuntimeError otherwise:
  // errInetTimeout (no answer), errNtpBadReply (the rule the answer
  // broke), errNtpKissOfDeath (and CanRequest() turns false; answers that
  // came before it still count).
  void Request();
  // The valid answer with the smallest delay. Throws RuntimeError when no
  // answer counted (the number of the last failure).
  SntpResult Result() const;

  // How long each request waits for its answer, in milliseconds.
  unsigned timeoutMs = kDefaultTimeoutMs;
  int RequestsSent() const { return sent_; }
  // The code of the kiss-o'-death the server sent this run ("RATE",
  // "DENY", "RSTR"), or "" when it sent none.
  const std::string& KissCode() const { return kissCode_; }
  // Whether a valid answer came in this run.
  bool Answered() const { return !samples_.empty(); }

 private:
  struct Sample {
    double offset, delay;
    DateTime serverUtc;
    unsigned stratum;
    double rootDelay, rootDispersion;
  };
  [[noreturn]] void Fail(long number, const std::string& description);

  IUdp& udp_;
  IClock& clock_;
  IRandom& random_;
  std::unique_ptr<IUdpSocket> socket_;
  NetAddress address_;
  uint16_t port_ = 123;
  int sent_ = 0;
  bool stopped_ = false;
  long lastError_ = errInetTimeout;
  std::string lastDescription_;
  std::string kissCode_;
  std::vector<Sample> samples_;
};

// One whole run on the installed platform: Open, the requests, Result.
// Each failed request's error is appended to `failures` when given. Throws
// RuntimeError when the run fails.
SntpResult QueryNtpServer(const std::string& serverText, std::vector<RuntimeError>* failures = nullptr,
                          unsigned timeoutMs = SntpClient::kDefaultTimeoutMs);

}  // namespace tavrel

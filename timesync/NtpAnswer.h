// What the computer's NTP server answers, apart from any socket (RFC 5905,
// RFC 4330): which datagrams are requests it answers, how the computer's
// clock stands as the server tells it, and the reply's bytes. Nothing here
// reads a clock; the caller passes the moments, so that every field can be
// checked to the bit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "timesync/NtpPacket.h"
#include "timesync/Sntp.h"
#include "timesync/SyncCore.h"

namespace tavrel {

// A request the server answers, as far as the answer needs it.
struct NtpQuery {
  unsigned version = 4;  // 1 .. 4: the reply speaks it too
  unsigned mode = ntp::kClient;  // client or symmetric active
  int poll = 0;          // echoed
  NtpTimestamp transmit = 0;  // the client's transmit time: the reply's originate
};

// The longest request answered: the header and a MAC (a key ID and a
// 20-byte digest), which the server cannot check and ignores.
constexpr std::size_t kNtpLongestQuery = 72;

// The requests the server answers: 48 to 72 bytes, a whole number of
// 32-bit words; version 1 to 4; client or symmetric active mode (a Windows
// XP or 2003 time service asks in the latter). Nothing for everything else,
// which gets no reply at all: shorter or longer datagrams, control (6) and
// private (7) requests, servers' and broadcasts' packets.
std::optional<NtpQuery> ReadNtpQuery(const std::string& datagram);

// How fast a clock left alone may drift: 15 parts per million (RFC 5905's
// PHI). The root dispersion grows by as much after every synchronisation.
constexpr double kNtpDriftPerSecond = 15e-6;

// The computer's clock as the server tells it.
struct ServedClock {
  bool synchronised = false;
  unsigned stratum = ntp::kUnsynchronisedStratum;
  uint32_t referenceId = 0;
  NtpTimestamp referenceTime = 0;  // when the clock was last set
  double rootDelay = 0, rootDispersion = 0;  // seconds
  int precision = -20;  // log2 seconds: how finely the clock is read
};

// The last successful synchronisation.
struct LastSynchronisation {
  SourceQuality quality;
  DateTime utc;  // when the clock was set (UTC)
};

// The clock `ageSeconds` after the last synchronisation: synchronised at
// the source's stratum while that is younger than `maxAgeSeconds` and the
// stratum below 16, its dispersion grown by the drift since; unsynchronised
// when there was none.
ServedClock DescribeServedClock(const std::optional<LastSynchronisation>& last, double ageSeconds,
                                double maxAgeSeconds, int precision);

// The 48-byte reply to a request received at `received` and answered at
// `transmitted`: server mode to a client, symmetric passive to symmetric
// active; the request's version and poll; its transmit time as the
// originate. An unsynchronised clock answers with leap indicator 3 and
// stratum 16. `rateKiss`: the Kiss-o'-Death RATE (stratum 0, reference ID
// "RATE") in place of the time.
std::string NtpReplyTo(const NtpQuery& query, const ServedClock& clock, NtpTimestamp received,
                       NtpTimestamp transmitted, bool rateKiss);

}  // namespace tavrel

#include "timesync/NtpAnswer.h"

#include <algorithm>
#include <cmath>

namespace tavrel {

std::optional<NtpQuery> ReadNtpQuery(const std::string& datagram) {
  if (datagram.size() > kNtpLongestQuery || datagram.size() % 4 != 0) return std::nullopt;
  const std::optional<NtpHeader> header = ReadNtpHeader(datagram);
  if (!header) return std::nullopt;
  if (header->version < 1 || header->version > 4) return std::nullopt;
  if (header->mode != ntp::kClient && header->mode != ntp::kSymmetricActive) return std::nullopt;
  NtpQuery query;
  query.version = header->version;
  query.mode = header->mode;
  query.poll = header->poll;
  query.transmit = header->transmitTime;
  return query;
}

ServedClock DescribeServedClock(const std::optional<LastSynchronisation>& last, double ageSeconds,
                                double maxAgeSeconds, int precision) {
  ServedClock clock;
  clock.precision = precision;
  // Never set, set too long ago, or from a source that is itself as far
  // from a reference as a clock may be: the clients had better keep away.
  if (!last || !(ageSeconds <= maxAgeSeconds) || last->quality.stratum >= ntp::kUnsynchronisedStratum) {
    if (last) clock.referenceTime = ToNtpTimestamp(last->utc);
    return clock;
  }
  clock.synchronised = true;
  clock.stratum = last->quality.stratum;
  clock.referenceId = last->quality.referenceId;
  clock.referenceTime = ToNtpTimestamp(last->utc);
  clock.rootDelay = last->quality.rootDelay;
  clock.rootDispersion =
      last->quality.rootDispersion + std::ldexp(1.0, precision) + kNtpDriftPerSecond * std::max(0.0, ageSeconds);
  return clock;
}

std::string NtpReplyTo(const NtpQuery& query, const ServedClock& clock, NtpTimestamp received,
                       NtpTimestamp transmitted, bool rateKiss) {
  NtpHeader h;
  h.version = query.version;
  h.mode = query.mode == ntp::kSymmetricActive ? ntp::kSymmetricPassive : ntp::kServer;
  h.poll = query.poll;
  h.precision = clock.precision;
  h.originTime = query.transmit;
  h.receiveTime = received;
  h.transmitTime = transmitted;
  if (rateKiss) {
    h.leap = ntp::kLeapUnsynchronised;
    h.stratum = 0;
    h.referenceId = NtpCode("RATE");
    return WriteNtpHeader(h);
  }
  h.leap = clock.synchronised ? 0 : ntp::kLeapUnsynchronised;
  h.stratum = clock.synchronised ? clock.stratum : ntp::kUnsynchronisedStratum;
  h.referenceId = clock.referenceId;
  h.referenceTime = clock.referenceTime;
  h.rootDelay = ToNtpShort(clock.rootDelay);
  h.rootDispersion = ToNtpShort(clock.rootDispersion);
  return WriteNtpHeader(h);
}

}  // namespace tavrel

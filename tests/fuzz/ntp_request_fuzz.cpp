// Any datagram in, as the computer's NTP server gets it: it answers only
// what it reads as a request, always with 48 bytes (never more than came),
// the request's transmit time as the originate, its version, the answering
// mode, and nothing it would answer itself (no two servers can keep each
// other busy). The same datagrams also go through the whole server on the
// memory network, rate limit included, from a handful of senders.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/memory/MemoryPlatform.h"
#include "timesync/NtpAnswer.h"
#include "timesync/NtpServer.h"

namespace {

using namespace tavrel;

void CheckReply(const std::string& datagram, const NtpQuery& query, const std::string& reply) {
  const auto header = ReadNtpHeader(reply);
  if (reply.size() != 48 || reply.size() > datagram.size() || !header) std::abort();
  if (header->originTime != ntp::Read64(datagram, ntp::kTransmitTime)) std::abort();
  if (header->version != query.version) std::abort();
  if (header->mode != (query.mode == ntp::kSymmetricActive ? ntp::kSymmetricPassive : ntp::kServer)) std::abort();
  if (ReadNtpQuery(reply)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string datagram(reinterpret_cast<const char*>(data), size);
  const auto query = ReadNtpQuery(datagram);
  if (query) {
    if (datagram.size() < 48 || datagram.size() > kNtpLongestQuery) std::abort();
    if (query->version < 1 || query->version > 4) std::abort();
    SourceQuality quality;
    quality.stratum = size % 17;
    quality.rootDelay = size * 0.01;
    const LastSynchronisation last{quality, MakeDateTime(2026, 12, 8, 12, 0, 0)};
    for (const ServedClock& clock : {DescribeServedClock(std::nullopt, 0, 86400, -20),
                                     DescribeServedClock(last, static_cast<double>(size), 86400, -6)}) {
      for (bool kiss : {false, true}) CheckReply(datagram, *query, NtpReplyTo(*query, clock, 1, 2, kiss));
    }
  }

  static MemoryPlatform sys;
  static NtpServer server(sys.udp, sys.clock);
  if (!server.Serving()) server.Serve(123);
  sys.clock.Advance(0.3);
  const std::size_t before = sys.udp.sent.size();
  sys.udp.Deliver(123, {datagram, NetAddress::V4(10, 0, 0, static_cast<uint8_t>(size % 4)), 40000});
  if (sys.udp.sent.size() > before + 1) std::abort();
  if (sys.udp.sent.size() == before + 1) {
    if (!query) std::abort();
    CheckReply(datagram, *query, sys.udp.sent.back().bytes);
  }
  sys.udp.sent.clear();
  return 0;
}

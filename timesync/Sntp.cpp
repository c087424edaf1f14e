#include "timesync/Sntp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "support/Text.h"
#include "timesync/NtpPacket.h"

namespace tavrel {
namespace {

const char* const kPublicPool = "pool.ntp.org";
// 1900-01-01, the NTP epoch, is day 2 of the program's date serial.
const long kNtpEpochSerial = 2;
const double kTwoTo32 = 4294967296.0;

using ntp::kOriginTime;
using ntp::kPacketSize;
using ntp::kReceiveTime;
using ntp::kReferenceId;
using ntp::kTransmitTime;
using ntp::Read64;
using ntp::Write64;

bool IsHostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

[[noreturn]] void BadAddress(const std::string& text) {
  Raise(errInvalidPropertyValue, "Invalid NTP server address '" + text + "'");
}

// A host name as far as the text can tell: letters, digits, hyphens,
// underscores, dots between non-empty labels. IPv4 literals pass too.
bool IsHostName(const std::string& host) {
  if (host.empty() || host.size() > 253 || host.front() == '.' || host.find("..") != std::string::npos)
    return false;
  for (char c : host)
    if (!IsHostChar(c)) return false;
  return true;
}

// 1 .. 65535 in decimal digits, nothing else.
bool ParsePort(const std::string& text, uint16_t& port) {
  if (text.empty() || text.size() > 5) return false;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

bool IsIpv6Literal(const std::string& text) {
  const auto address = ParseIpLiteral(text);
  return address && address->family == NetAddress::IPv6;
}

NtpReplyCheck Verdict(NtpReplyCheck::Kind kind, const std::string& reason) {
  NtpReplyCheck check;
  check.kind = kind;
  check.reason = reason;
  return check;
}

}  // namespace

// ---------------------------------------------------------------------------

NtpTimestamp ToNtpTimestamp(DateTime utc) {
  // Whole days and the day's microseconds apart: the serial holds about a
  // microsecond in this century, and whole microseconds keep 12:00:00.5
  // from reading 12:00:00.4999994.
  const double serial = utc.Serial();
  const double days = std::floor(serial);
  const long long micros = std::llround((serial - days) * 86400e6);
  const int64_t seconds = (static_cast<int64_t>(days) - kNtpEpochSerial) * 86400 + micros / 1000000;
  const uint64_t fraction = (static_cast<uint64_t>(micros % 1000000) << 32) / 1000000;
  // The era goes: the seconds count modulo 2^32, as on the wire.
  return static_cast<uint64_t>(static_cast<uint32_t>(static_cast<uint64_t>(seconds))) << 32 | fraction;
}

double NtpSeconds(NtpTimestamp from, NtpTimestamp to) {
  // Modulo 2^64 and read as signed: the short way round the era.
  return static_cast<double>(static_cast<int64_t>(to - from)) / kTwoTo32;
}

DateTime FromNtpTimestamp(NtpTimestamp timestamp, DateTime nearUtc) {
  return nearUtc.AddSeconds(NtpSeconds(ToNtpTimestamp(nearUtc), timestamp));
}

std::string TimeOfDayText(DateTime value) {
  // Microseconds first, so that 12:00:00 stored as 11:59:59.9999999 reads
  // 12:00:00; then whole seconds cut off.
  const long long micros = std::llround(value.Serial() * 86400e6);
  long long seconds = micros / 1000000 - (micros % 1000000 < 0 ? 1 : 0);
  seconds %= 86400;
  if (seconds < 0) seconds += 86400;
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return text;
}

// ---------------------------------------------------------------------------

NtpServerAddress ParseNtpServer(const std::string& text) {
  const std::string t = Trim(text);
  NtpServerAddress result;
  if (t.empty()) {
    result.host = kPublicPool;
    return result;
  }
  if (t.front() == '[') {
    const std::size_t close = t.find(']');
    if (close == std::string::npos) BadAddress(text);
    result.host = t.substr(1, close - 1);
    if (!IsIpv6Literal(result.host)) BadAddress(text);
    const std::string rest = t.substr(close + 1);
    if (!rest.empty() && (rest.front() != ':' || !ParsePort(rest.substr(1), result.port))) BadAddress(text);
    return result;
  }
  const std::size_t colon = t.find(':');
  if (colon == std::string::npos) {
    if (!IsHostName(t)) BadAddress(text);
    result.host = t;
  } else if (t.find(':', colon + 1) == std::string::npos) {
    result.host = t.substr(0, colon);
    if (!IsHostName(result.host) || !ParsePort(t.substr(colon + 1), result.port)) BadAddress(text);
  } else {
    // Two colons or more: an IPv6 literal, whose last group would read as
    // a port; a port needs the brackets.
    if (!IsIpv6Literal(t)) BadAddress(text);
    result.host = t;
  }
  return result;
}

std::string NtpRequest(NtpTimestamp nonce) {
  std::string packet(kPacketSize, '\0');
  packet[0] = static_cast<char>(0 << 6 | 4 << 3 | 3);  // no leap warning, version 4, client
  Write64(packet, kTransmitTime, nonce);
  return packet;
}

NtpReplyCheck CheckNtpReply(const Datagram& datagram, const NetAddress& server, uint16_t port,
                            NtpTimestamp nonce) {
  const std::string& b = datagram.bytes;
  // Whatever does not prove to answer this very request is someone else's
  // (or a forger's): the wait for the real answer goes on.
  if (datagram.from != server) return Verdict(NtpReplyCheck::Foreign, "NTP reply from another address");
  if (datagram.fromPort != port) return Verdict(NtpReplyCheck::Foreign, "NTP reply from another port");
  if (b.size() < kPacketSize) return Verdict(NtpReplyCheck::Foreign, "NTP reply shorter than 48 bytes");
  if (Read64(b, kOriginTime) != nonce)
    return Verdict(NtpReplyCheck::Foreign, "NTP reply with wrong origin timestamp");

  const unsigned first = static_cast<unsigned char>(b[0]);
  const unsigned leap = first >> 6, version = first >> 3 & 7, mode = first & 7;
  const unsigned stratum = static_cast<unsigned char>(b[1]);
  if (mode != 4) return Verdict(NtpReplyCheck::Invalid, "NTP reply not in server mode (mode " + std::to_string(mode) + ")");
  if (version != 3 && version != 4)
    return Verdict(NtpReplyCheck::Invalid, "NTP reply of version " + std::to_string(version));
  if (stratum == 0) {
    const std::string code = b.substr(kReferenceId, 4);
    if (code == "RATE" || code == "DENY" || code == "RSTR") {
      NtpReplyCheck kiss = Verdict(NtpReplyCheck::Kiss, "NTP kiss-o'-death " + code);
      kiss.kissCode = code;
      return kiss;
    }
    return Verdict(NtpReplyCheck::Invalid, "NTP reply with stratum 0");
  }
  if (stratum > 15)
    return Verdict(NtpReplyCheck::Invalid, "NTP reply with stratum " + std::to_string(stratum) + " (unsynchronised)");
  if (leap == 3) return Verdict(NtpReplyCheck::Invalid, "NTP server not synchronised (leap indicator 3)");
  NtpReplyCheck check;
  check.t2 = Read64(b, kReceiveTime);
  check.t3 = Read64(b, kTransmitTime);
  if (check.t3 == 0) return Verdict(NtpReplyCheck::Invalid, "NTP reply with zero transmit timestamp");
  check.stratum = stratum;
  check.rootDelay = FromNtpShort(ntp::Read32(b, ntp::kRootDelay));
  check.rootDispersion = FromNtpShort(ntp::Read32(b, ntp::kRootDispersion));
  check.kind = NtpReplyCheck::Answer;
  return check;
}

// ---------------------------------------------------------------------------

SntpClient::SntpClient() : SntpClient(*Sys().udp, *Sys().clock, *Sys().random) {}

SntpClient::SntpClient(IUdp& udp, IClock& clock, IRandom& random)
    : udp_(udp), clock_(clock), random_(random) {}

SntpClient::~SntpClient() = default;

void SntpClient::Fail(long number, const std::string& description) {
  lastError_ = number;
  lastDescription_ = description;
  Raise(number, description);
}

void SntpClient::Open(const std::string& serverText) {
  socket_.reset();
  const NtpServerAddress server = ParseNtpServer(serverText);
  const std::vector<NetAddress> addresses = udp_.Resolve(server.host);
  // A name may resolve to IPv6 first on a machine without IPv6 sockets:
  // the first address that gets a socket is the one asked.
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    try {
      Open(addresses[i], server.port);
      return;
    } catch (const RuntimeError&) {
      if (i + 1 == addresses.size()) throw;
    }
  }
  Fail(errHostNotFound, "Host not found: " + server.host);
}

void SntpClient::Open(const NetAddress& address, uint16_t port) {
  socket_.reset();
  sent_ = 0;
  stopped_ = false;
  kissCode_.clear();
  samples_.clear();
  address_ = address;
  port_ = port;
  socket_ = udp_.Open(address.family);
}

bool SntpClient::CanRequest() const { return socket_ && !stopped_ && sent_ < kRequests; }

void SntpClient::Request() {
  if (!CanRequest()) Raise(errInvalidCall);
  ++sent_;
  // A random transmit timestamp: only the server that got the request can
  // echo it, so a forged answer has to guess 64 bits. Zero would read as
  // "no time" to the server.
  NtpTimestamp nonce = 0;
  while (nonce == 0) nonce = random_.Next64();
  const DateTime sentAt = clock_.NowUtc();
  const NtpTimestamp t1 = ToNtpTimestamp(sentAt);
  const uint32_t sentTick = clock_.TickCount();
  socket_->SendTo(address_, port_, NtpRequest(nonce));

  std::string ignored;
  for (;;) {
    // The tick measures the wait: the wall clock can be stepped meanwhile,
    // and the unsigned difference stays right across the tick's wrap.
    const double waitedMs = static_cast<uint32_t>(clock_.TickCount() - sentTick);
    const double leftMs = timeoutMs - waitedMs;
    if (leftMs < 0.5) break;
    const std::optional<Datagram> datagram = socket_->Receive(static_cast<unsigned>(std::lround(leftMs)));
    if (!datagram) break;
    const DateTime receivedAt = clock_.NowUtc();
    const NtpReplyCheck check = CheckNtpReply(*datagram, address_, port_, nonce);
    switch (check.kind) {
      case NtpReplyCheck::Foreign:
        ignored = check.reason;
        continue;
      case NtpReplyCheck::Invalid:
        Fail(errNtpBadReply, check.reason);
      case NtpReplyCheck::Kiss:
        stopped_ = true;
        kissCode_ = check.kissCode;
        Fail(errNtpKissOfDeath, check.reason);
      case NtpReplyCheck::Answer: {
        const NtpTimestamp t4 = ToNtpTimestamp(receivedAt);
        Sample sample;
        sample.offset = (NtpSeconds(t1, check.t2) + NtpSeconds(t4, check.t3)) / 2;
        sample.delay = NtpSeconds(t1, t4) - NtpSeconds(check.t2, check.t3);
        sample.serverUtc = FromNtpTimestamp(check.t3, receivedAt);
        sample.stratum = check.stratum;
        sample.rootDelay = check.rootDelay;
        sample.rootDispersion = check.rootDispersion;
        samples_.push_back(sample);
        return;
      }
    }
  }
  // Silence, or only datagrams that were no answer: name the last of them,
  // it tells more than the silence.
  if (!ignored.empty()) Fail(errNtpBadReply, ignored);
  char text[64];
  std::snprintf(text, sizeof text, "NTP server did not answer within %g s", timeoutMs / 1000.0);
  Fail(errInetTimeout, text);
}

SntpResult SntpClient::Result() const {
  if (samples_.empty()) {
    const std::string host = address_.family == NetAddress::IPv6 ? "[" + address_.Text() + "]" : address_.Text();
    Raise(lastError_, "No valid NTP reply from " + host + ":" + std::to_string(port_) +
                          (lastDescription_.empty() ? "" : " (" + lastDescription_ + ")"));
  }
  const Sample* best = &samples_.front();
  for (const Sample& s : samples_)
    if (s.delay < best->delay) best = &s;
  SntpResult result;
  result.offset = best->offset;
  result.delay = best->delay;
  result.serverUtc = best->serverUtc;
  result.serverTime = TimeOfDayText(best->serverUtc);
  result.address = address_;
  result.stratum = best->stratum;
  result.rootDelay = best->rootDelay;
  result.rootDispersion = best->rootDispersion;
  result.port = port_;
  return result;
}

SntpResult QueryNtpServer(const std::string& serverText, std::vector<RuntimeError>* failures,
                          unsigned timeoutMs) {
  SntpClient client;
  client.timeoutMs = timeoutMs;
  client.Open(serverText);
  while (client.CanRequest()) {
    try {
      client.Request();
    } catch (const RuntimeError& e) {
      if (failures) failures->push_back(e);
    }
  }
  return client.Result();
}

}  // namespace tavrel

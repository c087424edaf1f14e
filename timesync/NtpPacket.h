// The 48-byte NTP header (RFC 5905, figure 8) both ways: the one layout the
// client (Sntp) and the local network's server (NtpServer) read and write.
// Every field is in network byte order on the wire; timestamps are 64-bit
// NTP timestamps (see Sntp.h), root delay and root dispersion the 32-bit
// short format (seconds in the high 16 bits, the fraction in the low 16).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace tavrel {
namespace ntp {

constexpr std::size_t kPacketSize = 48;
// Byte offsets of the fields after the first four bytes.
constexpr std::size_t kRootDelay = 4;
constexpr std::size_t kRootDispersion = 8;
constexpr std::size_t kReferenceId = 12;
constexpr std::size_t kReferenceTime = 16;
constexpr std::size_t kOriginTime = 24;
constexpr std::size_t kReceiveTime = 32;
constexpr std::size_t kTransmitTime = 40;

// Association modes.
enum Mode : unsigned {
  kSymmetricActive = 1,
  kSymmetricPassive = 2,
  kClient = 3,
  kServer = 4,
  kBroadcast = 5,
  kControl = 6,
  kPrivate = 7,
};

// Leap indicator 3 and stratum 16: the sender's clock is not synchronised.
constexpr unsigned kLeapUnsynchronised = 3;
constexpr unsigned kUnsynchronisedStratum = 16;

// Big-endian fields of a packet; the caller sees to it that they lie
// inside the bytes.
uint32_t Read32(const std::string& bytes, std::size_t at);
uint64_t Read64(const std::string& bytes, std::size_t at);
void Write32(std::string& bytes, std::size_t at, uint32_t value);
void Write64(std::string& bytes, std::size_t at, uint64_t value);

}  // namespace ntp

struct NtpHeader {
  unsigned leap = 0;     // 0 .. 3
  unsigned version = 4;  // 0 .. 7
  unsigned mode = 0;     // 0 .. 7 (ntp::Mode)
  unsigned stratum = 0;  // 0 .. 255
  int poll = 0;          // log2 seconds, a signed byte
  int precision = 0;     // log2 seconds, a signed byte
  uint32_t rootDelay = 0, rootDispersion = 0;  // short format
  uint32_t referenceId = 0;  // as on the wire: its first byte is the highest
  uint64_t referenceTime = 0, originTime = 0, receiveTime = 0, transmitTime = 0;
};

// The header at the start of a datagram; nothing when the datagram is
// shorter than 48 bytes. What follows the header (extension fields, a
// MAC) is not read.
std::optional<NtpHeader> ReadNtpHeader(const std::string& bytes);
// The 48 bytes of a header. Fields wider than theirs on the wire keep their
// low bits.
std::string WriteNtpHeader(const NtpHeader& header);

// Seconds in the short format and back: below 0 is 0, beyond its range
// (about 18 hours) its largest value.
uint32_t ToNtpShort(double seconds);
double FromNtpShort(uint32_t value);

// Reference IDs: a four-letter code ("HTTP", "RATE"), and a server as its
// clients name it: an IPv4 address itself, an IPv6 address the first four
// bytes of its MD5 digest (RFC 5905, 7.3).
uint32_t NtpCode(const char* fourLetters);
uint32_t NtpReferenceId(const NetAddress& server);

}  // namespace tavrel

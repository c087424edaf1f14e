#include "timesync/NtpPacket.h"

#include <cmath>

#include "support/Md5.h"

namespace tavrel {
namespace ntp {

uint32_t Read32(const std::string& bytes, std::size_t at) {
  uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

uint64_t Read64(const std::string& bytes, std::size_t at) {
  return uint64_t{Read32(bytes, at)} << 32 | Read32(bytes, at + 4);
}

void Write32(std::string& bytes, std::size_t at, uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (24 - 8 * i) & 0xFF);
}

void Write64(std::string& bytes, std::size_t at, uint64_t value) {
  Write32(bytes, at, static_cast<uint32_t>(value >> 32));
  Write32(bytes, at + 4, static_cast<uint32_t>(value));
}

}  // namespace ntp

std::optional<NtpHeader> ReadNtpHeader(const std::string& bytes) {
  if (bytes.size() < ntp::kPacketSize) return std::nullopt;
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(bytes[at]); };
  NtpHeader h;
  h.leap = byte(0) >> 6;
  h.version = byte(0) >> 3 & 7;
  h.mode = byte(0) & 7;
  h.stratum = byte(1);
  h.poll = static_cast<signed char>(byte(2));
  h.precision = static_cast<signed char>(byte(3));
  h.rootDelay = ntp::Read32(bytes, ntp::kRootDelay);
  h.rootDispersion = ntp::Read32(bytes, ntp::kRootDispersion);
  h.referenceId = ntp::Read32(bytes, ntp::kReferenceId);
  h.referenceTime = ntp::Read64(bytes, ntp::kReferenceTime);
  h.originTime = ntp::Read64(bytes, ntp::kOriginTime);
  h.receiveTime = ntp::Read64(bytes, ntp::kReceiveTime);
  h.transmitTime = ntp::Read64(bytes, ntp::kTransmitTime);
  return h;
}

std::string WriteNtpHeader(const NtpHeader& h) {
  std::string bytes(ntp::kPacketSize, '\0');
  bytes[0] = static_cast<char>((h.leap & 3) << 6 | (h.version & 7) << 3 | (h.mode & 7));
  bytes[1] = static_cast<char>(h.stratum & 0xFF);
  bytes[2] = static_cast<char>(h.poll & 0xFF);
  bytes[3] = static_cast<char>(h.precision & 0xFF);
  ntp::Write32(bytes, ntp::kRootDelay, h.rootDelay);
  ntp::Write32(bytes, ntp::kRootDispersion, h.rootDispersion);
  ntp::Write32(bytes, ntp::kReferenceId, h.referenceId);
  ntp::Write64(bytes, ntp::kReferenceTime, h.referenceTime);
  ntp::Write64(bytes, ntp::kOriginTime, h.originTime);
  ntp::Write64(bytes, ntp::kReceiveTime, h.receiveTime);
  ntp::Write64(bytes, ntp::kTransmitTime, h.transmitTime);
  return bytes;
}

uint32_t ToNtpShort(double seconds) {
  // Written as "!(x > 0)" so that a NaN reads as 0 too.
  if (!(seconds > 0)) return 0;
  const double units = std::round(seconds * 65536.0);
  if (units >= 4294967295.0) return 0xFFFFFFFFu;
  return static_cast<uint32_t>(units);
}

double FromNtpShort(uint32_t value) { return value / 65536.0; }

uint32_t NtpCode(const char* fourLetters) {
  uint32_t code = 0;
  bool ended = false;
  for (int i = 0; i < 4; ++i) {
    // A shorter code is filled with NULs ("GPS" is "GPS\0").
    ended = ended || fourLetters[i] == '\0';
    code = code << 8 | (ended ? 0u : static_cast<unsigned char>(fourLetters[i]));
  }
  return code;
}

uint32_t NtpReferenceId(const NetAddress& server) {
  const uint8_t* b = server.bytes.data();
  if (server.family == NetAddress::IPv4)
    return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
  const Md5Digest digest = Md5(std::string(reinterpret_cast<const char*>(b), 16));
  return uint32_t{digest[0]} << 24 | uint32_t{digest[1]} << 16 | uint32_t{digest[2]} << 8 | digest[3];
}

}  // namespace tavrel

// The MD5 message digest (RFC 1321). Not for secrets: the program uses it
// where a protocol names it, to turn an IPv6 address into an NTP
// reference ID.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tavrel {

using Md5Digest = std::array<uint8_t, 16>;

// The 16-byte digest of `bytes`.
Md5Digest Md5(const std::string& bytes);

}  // namespace tavrel

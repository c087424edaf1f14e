// Internet addresses as text, both ways, without the system's resolver: the
// in-memory platform resolves literals with it, and the NTP server setting
// is checked with it before anything goes on the network.
#include <cstdio>
#include <vector>

#include "platform/Platform.h"

namespace tavrel {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

// Four decimal parts of one to three digits, each up to 255.
bool ParseV4(const std::string& text, uint8_t* out) {
  const std::vector<std::string> parts = Split(text, '.');
  if (parts.size() != 4) return false;
  for (int i = 0; i < 4; ++i) {
    const std::string& part = parts[i];
    if (part.empty() || part.size() > 3) return false;
    int value = 0;
    for (char c : part) {
      if (!IsDigit(c)) return false;
      value = value * 10 + (c - '0');
    }
    if (value > 255) return false;
    out[i] = static_cast<uint8_t>(value);
  }
  return true;
}

// Groups of one to four hex digits; the last may be a dotted IPv4 part,
// worth two groups. Appends the 16-bit values; false on anything else.
bool ParseGroups(const std::string& text, bool mayEndInV4, std::vector<uint16_t>& groups) {
  if (text.empty()) return true;
  const std::vector<std::string> parts = Split(text, ':');
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (mayEndInV4 && i + 1 == parts.size() && part.find('.') != std::string::npos) {
      uint8_t v4[4];
      if (!ParseV4(part, v4)) return false;
      groups.push_back(static_cast<uint16_t>(v4[0] << 8 | v4[1]));
      groups.push_back(static_cast<uint16_t>(v4[2] << 8 | v4[3]));
      continue;
    }
    if (part.empty() || part.size() > 4) return false;
    unsigned value = 0;
    for (char c : part) {
      const int digit = HexValue(c);
      if (digit < 0) return false;
      value = value * 16 + static_cast<unsigned>(digit);
    }
    groups.push_back(static_cast<uint16_t>(value));
  }
  return true;
}

bool ParseV6(const std::string& text, uint8_t* out) {
  std::vector<uint16_t> head, tail;
  const std::size_t gap = text.find("::");
  if (gap == std::string::npos) {
    if (!ParseGroups(text, true, head) || head.size() != 8) return false;
  } else {
    if (text.find("::", gap + 1) != std::string::npos) return false;
    if (!ParseGroups(text.substr(0, gap), false, head)) return false;
    if (!ParseGroups(text.substr(gap + 2), true, tail)) return false;
    // "::" stands for at least one group of zeros.
    if (head.size() + tail.size() > 7) return false;
    head.resize(8 - tail.size(), 0);
    head.insert(head.end(), tail.begin(), tail.end());
  }
  for (int i = 0; i < 8; ++i) {
    out[2 * i] = static_cast<uint8_t>(head[i] >> 8);
    out[2 * i + 1] = static_cast<uint8_t>(head[i] & 0xFF);
  }
  return true;
}

}  // namespace

NetAddress NetAddress::V4(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  NetAddress address;
  address.bytes[0] = a;
  address.bytes[1] = b;
  address.bytes[2] = c;
  address.bytes[3] = d;
  return address;
}

std::string NetAddress::Text() const {
  char text[48];
  if (family == IPv4) {
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
  }
  uint16_t groups[8];
  for (int i = 0; i < 8; ++i) groups[i] = static_cast<uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
  // The longest run of two or more zero groups becomes "::" (the first of
  // equal runs), as RFC 5952 writes it.
  int bestStart = -1, bestLength = 1;
  for (int i = 0; i < 8;) {
    int j = i;
    while (j < 8 && groups[j] == 0) ++j;
    if (j - i > bestLength) {
      bestStart = i;
      bestLength = j - i;
    }
    i = j == i ? i + 1 : j;
  }
  std::string result;
  for (int i = 0; i < 8; ++i) {
    if (i == bestStart) {
      result += "::";
      i += bestLength - 1;
      continue;
    }
    if (!result.empty() && result.back() != ':') result += ':';
    std::snprintf(text, sizeof text, "%x", groups[i]);
    result += text;
  }
  return result;
}

std::optional<NetAddress> ParseIpLiteral(const std::string& text) {
  NetAddress address;
  if (text.find(':') == std::string::npos) {
    if (!ParseV4(text, address.bytes.data())) return std::nullopt;
    return address;
  }
  address.family = NetAddress::IPv6;
  if (!ParseV6(text, address.bytes.data())) return std::nullopt;
  return address;
}

}  // namespace tavrel

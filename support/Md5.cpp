#include "support/Md5.h"

namespace tavrel {
namespace {

uint32_t RotateLeft(uint32_t x, unsigned n) { return x << n | x >> (32 - n); }

// RFC 1321, 3.4: floor(2^32 * |sin(i + 1)|), written out rather than
// computed, so no floating-point unit's rounding can change a digest.
const uint32_t kSines[64] = {
    0xd76aa478u, 0xe8c7b756u, 0x242070dbu, 0xc1bdceeeu,
    0xf57c0fafu, 0x4787c62au, 0xa8304613u, 0xfd469501u,
    0x698098d8u, 0x8b44f7afu, 0xffff5bb1u, 0x895cd7beu,
    0x6b901122u, 0xfd987193u, 0xa679438eu, 0x49b40821u,
    0xf61e2562u, 0xc040b340u, 0x265e5a51u, 0xe9b6c7aau,
    0xd62f105du, 0x02441453u, 0xd8a1e681u, 0xe7d3fbc8u,
    0x21e1cde6u, 0xc33707d6u, 0xf4d50d87u, 0x455a14edu,
    0xa9e3e905u, 0xfcefa3f8u, 0x676f02d9u, 0x8d2a4c8au,
    0xfffa3942u, 0x8771f681u, 0x6d9d6122u, 0xfde5380cu,
    0xa4beea44u, 0x4bdecfa9u, 0xf6bb4b60u, 0xbebfbc70u,
    0x289b7ec6u, 0xeaa127fau, 0xd4ef3085u, 0x04881d05u,
    0xd9d4d039u, 0xe6db99e5u, 0x1fa27cf8u, 0xc4ac5665u,
    0xf4292244u, 0x432aff97u, 0xab9423a7u, 0xfc93a039u,
    0x655b59c3u, 0x8f0ccc92u, 0xffeff47du, 0x85845dd1u,
    0x6fa87e4fu, 0xfe2ce6e0u, 0xa3014314u, 0x4e0811a1u,
    0xf7537e82u, 0xbd3af235u, 0x2ad7d2bbu, 0xeb86d391u,
};

void Block(std::array<uint32_t, 4>& state, const unsigned char* block) {
  static const unsigned kShifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
  uint32_t x[16];
  for (int i = 0; i < 16; ++i)
    x[i] = uint32_t{block[4 * i]} | uint32_t{block[4 * i + 1]} << 8 | uint32_t{block[4 * i + 2]} << 16 |
           uint32_t{block[4 * i + 3]} << 24;
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (int i = 0; i < 64; ++i) {
    const int round = i / 16;
    uint32_t f = 0;
    int k = 0;
    switch (round) {
      case 0: f = (b & c) | (~b & d); k = i; break;
      case 1: f = (d & b) | (~d & c); k = (5 * i + 1) % 16; break;
      case 2: f = b ^ c ^ d; k = (3 * i + 5) % 16; break;
      default: f = c ^ (b | ~d); k = (7 * i) % 16; break;
    }
    const uint32_t next = b + RotateLeft(a + f + kSines[i] + x[k], kShifts[round][i % 4]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

}  // namespace

Md5Digest Md5(const std::string& bytes) {
  std::array<uint32_t, 4> state{0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u};
  // The message, a 1 bit, zeros up to 56 bytes into the last block, and
  // its length in bits, least significant byte first.
  std::string padded = bytes;
  padded += '\x80';
  while (padded.size() % 64 != 56) padded += '\0';
  const uint64_t bits = static_cast<uint64_t>(bytes.size()) * 8;
  for (int i = 0; i < 8; ++i) padded += static_cast<char>(bits >> (8 * i) & 0xFF);
  for (std::size_t at = 0; at < padded.size(); at += 64)
    Block(state, reinterpret_cast<const unsigned char*>(padded.data() + at));
  Md5Digest digest{};
  for (int i = 0; i < 16; ++i) digest[i] = static_cast<uint8_t>(state[i / 4] >> (8 * (i % 4)));
  return digest;
}

}  // namespace tavrel

// A socket of the Windows tests' own servers, bound to an ephemeral port of
// 127.0.0.1. Include after <winsock2.h>.
#pragma once

#include <cstdint>

namespace tavrel {

// A new socket of `type` (SOCK_STREAM, SOCK_DGRAM) bound to 127.0.0.1;
// `port` receives the port the system chose. Winsock must be started.
inline SOCKET BindLoopback(int type, int protocol, uint16_t& port) {
  SOCKET s = socket(AF_INET, type, protocol);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  int size = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
  port = ntohs(address.sin_port);
  return s;
}

}  // namespace tavrel

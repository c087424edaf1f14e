#include "bench/PosixHttp.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>


namespace tavrel {

HttpAnswer PosixHttp::Fetch(const std::string& url, const HttpOptions&) {
  const std::string scheme = "http://";
  if (url.compare(0, scheme.size(), scheme) != 0) Raise(errInetFailure);
  const auto slash = url.find('/', scheme.size());
  const std::string hostPort = url.substr(scheme.size(), slash - scheme.size());
  const std::string path = slash == std::string::npos ? "/" : url.substr(slash);
  const auto colon = hostPort.find(':');
  const std::string host = hostPort.substr(0, colon);
  const std::string port = colon == std::string::npos ? "80" : hostPort.substr(colon + 1);

  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) Raise(errInetFailure);
  const int fd = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  const bool connected = fd >= 0 && connect(fd, found->ai_addr, found->ai_addrlen) == 0;
  freeaddrinfo(found);
  if (!connected) {
    if (fd >= 0) close(fd);
    Raise(errInetFailure);
  }
  // The installed clock, coarse or fine as the benchmark chose.
  IClock& clock = *Sys().clock;
  HttpAnswer answer;
  answer.sentUtc = clock.NowUtc();
  const std::string request = "GET " + path + " HTTP/1.0\r\nHost: " + hostPort + "\r\n\r\n";
  if (send(fd, request.data(), request.size(), 0) != static_cast<ssize_t>(request.size())) {
    close(fd);
    Raise(errInetFailure);
  }
  std::string response;
  char buffer[4096];
  for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) {
    if (response.empty()) answer.answeredUtc = clock.NowUtc();
    response.append(buffer, n);
  }
  close(fd);
  const auto body = response.find("\r\n\r\n");
  const auto lineEnd = response.find("\r\n");
  if (body == std::string::npos || response.compare(0, 5, "HTTP/") != 0) Raise(errInetFailure);
  const auto blank = response.find(' ');
  answer.status = std::atoi(response.c_str() + blank + 1);
  answer.headers = response.substr(lineEnd + 2, body + 2 - (lineEnd + 2));
  answer.body = response.substr(body + 4);
  return answer;
}

}  // namespace tavrel

// How one synchronisation run asks the web time hosts: every request goes
// out with "Cache-Control: no-cache" (a cache between us and the server
// would hand back an old Date), without following redirects, and no host
// gets more than kPerHost requests in the run, whichever part of the run
// asks it (the time pages, the web server's clock, the second opinion).
#pragma once

#include <map>
#include <string>

#include "platform/Platform.h"

namespace tavrel {

// What a host is known by in a run: "http://Time.example:8080/x?y" gives
// "time.example:8080" (the scheme dropped, the name in lower case, the
// port kept when the address has one).
std::string HostOf(const std::string& url);

class WebAsker {
 public:
  static constexpr int kPerHost = 10;

  // Requests the host of `url` may still get in this run.
  int Left(const std::string& url) const;
  // Fetches `url` (time-out in milliseconds, 0: the platform's own) and
  // counts it against its host. Throws RuntimeError as IHttp::Fetch does,
  // and errInvalidCall when the host has had its requests.
  HttpAnswer Fetch(const std::string& url, unsigned timeoutMs = 0);
  // True when nothing answered in this run and a request failed the way a
  // network that is down fails: the name did not resolve or no connection
  // was made.
  bool NetworkDown() const { return answers_ == 0 && networkFailures_ > 0; }

 private:
  std::map<std::string, int> asked_;
  int answers_ = 0;
  int networkFailures_ = 0;
};

// Whether a run-time error is what a network that is down gives: a name
// that does not resolve, a connection nobody takes, a socket the system
// refuses.
bool IsNetworkFailure(long errorNumber);

}  // namespace tavrel

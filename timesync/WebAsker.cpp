#include "timesync/WebAsker.h"

#include <algorithm>
#include <cctype>

namespace tavrel {

std::string HostOf(const std::string& url) {
  std::size_t start = url.find("://");
  start = start == std::string::npos ? 0 : start + 3;
  const std::size_t end = url.find_first_of("/?#", start);
  std::string host = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
  std::transform(host.begin(), host.end(), host.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return host;
}

bool IsNetworkFailure(long errorNumber) {
  return errorNumber == errHostNotFound || errorNumber == errCannotConnect || errorNumber == errSocketFailure;
}

int WebAsker::Left(const std::string& url) const {
  const auto it = asked_.find(HostOf(url));
  return kPerHost - (it == asked_.end() ? 0 : it->second);
}

HttpAnswer WebAsker::Fetch(const std::string& url, unsigned timeoutMs) {
  if (Left(url) <= 0) Raise(errInvalidCall, "Host asked " + std::to_string(kPerHost) + " times in this run");
  ++asked_[HostOf(url)];
  HttpOptions options;
  options.followRedirects = false;
  options.timeoutMs = timeoutMs;
  options.headers = "Cache-Control: no-cache\r\n";
  try {
    HttpAnswer answer = Sys().http->Fetch(url, options);
    ++answers_;
    return answer;
  } catch (const RuntimeError& e) {
    if (IsNetworkFailure(e.Number())) ++networkFailures_;
    throw;
  }
}

}  // namespace tavrel

#include "platform/Platform.h"

namespace tavrel {
namespace {
Platform g_platform;
}

void InstallPlatform(const Platform& platform) { g_platform = platform; }

const Platform& Sys() { return g_platform; }

std::optional<std::string> HttpAnswer::Header(const std::string& name) const {
  auto lower = [](std::string t) {
    for (char& c : t)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return t;
  };
  const std::string wanted = lower(name);
  std::size_t start = 0;
  while (start < headers.size()) {
    std::size_t end = headers.find('\n', start);
    if (end == std::string::npos) end = headers.size();
    const std::string line = headers.substr(start, end - start);
    start = end + 1;
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos || lower(line.substr(0, colon)) != wanted) continue;
    const std::size_t first = line.find_first_not_of(" \t", colon + 1);
    if (first == std::string::npos) return std::string();
    const std::size_t last = line.find_last_not_of(" \t\r");
    return line.substr(first, last - first + 1);
  }
  return std::nullopt;
}

std::string IHttp::OpenUrl(const std::string& url) {
  HttpAnswer answer = Fetch(url, HttpOptions());
  if (answer.status < 200 || answer.status > 299)
    Raise(errInetFailure, "HTTP status " + std::to_string(answer.status));
  return std::move(answer.body);
}

}  // namespace tavrel

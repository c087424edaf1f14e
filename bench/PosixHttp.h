// A plain HTTP/1.0 GET over a POSIX socket, for measuring the web time on
// Linux against a server on loopback. Only "http://host[:port]/path";
// redirects are never followed, and the times come from the installed clock.
#pragma once

#include "platform/Platform.h"

namespace tavrel {

class PosixHttp : public IHttp {
 public:
  HttpAnswer Fetch(const std::string& url, const HttpOptions& options) override;
};

}  // namespace tavrel

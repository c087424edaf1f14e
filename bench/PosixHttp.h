// A plain HTTP/1.0 GET over a POSIX socket, for measuring the web time on
// Linux against a server on loopback. Only "http://host[:port]/path".
#pragma once

#include "platform/Platform.h"

namespace tavrel {

class PosixHttp : public IHttp {
 public:
  std::string OpenUrl(const std::string& url) override;
};

}  // namespace tavrel

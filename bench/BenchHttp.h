// The real HTTP client of the build: a POSIX socket natively, WinINet in the
// Windows build.
#pragma once

#include <memory>

#include "platform/Platform.h"

namespace tavrel {

std::unique_ptr<IHttp> MakeBenchHttp();

}  // namespace tavrel

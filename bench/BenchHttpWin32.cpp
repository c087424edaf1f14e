#include "bench/BenchHttp.h"
#include "platform/win32/Win32Services.h"

namespace tavrel {

std::unique_ptr<IHttp> MakeBenchHttp() { return std::make_unique<Win32Http>(); }

}  // namespace tavrel

#include "bench/BenchHttp.h"
#include "bench/PosixHttp.h"

namespace tavrel {

std::unique_ptr<IHttp> MakeBenchHttp() { return std::make_unique<PosixHttp>(); }

}  // namespace tavrel

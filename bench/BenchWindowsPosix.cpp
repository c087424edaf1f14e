#include "bench/BenchWindows.h"

namespace tavrel {

void InstallBenchWindows() {}
ObjectCounts CountObjects() { return {}; }
void LetWindowsPaint() {}
double WindowServerRequestNs(const Control&) { return 0; }

}  // namespace tavrel

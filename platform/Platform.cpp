#include "platform/Platform.h"

namespace tavrel {
namespace {
Platform g_platform;
}

void InstallPlatform(const Platform& platform) { g_platform = platform; }

const Platform& Sys() { return g_platform; }

}  // namespace tavrel

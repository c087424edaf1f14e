// Resource IDs of A_Tavrel.exe, grouped by prefix, and the version the
// version resource states. Shared by the .rc file and the C++ sources.
#pragma once

#include "tavrel_version.h"

#define VER_FILEVERSION TAVREL_FILEVERSION
#define VER_FILEVERSION_STR TAVREL_FILEVERSION_STR
#define VER_PRODUCTNAME_STR "vrn Tavrel XP"

// Icons.
#define IDI_APP 101

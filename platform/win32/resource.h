// Resource IDs of A_Tavrel.exe, grouped by prefix, and the version the
// version resource states. Shared by the .rc file and the C++ sources.
#pragma once

// Version: 3.10.0.1, shown by the program as 3.10.1.
#define VER_FILEVERSION 3, 10, 0, 1
#define VER_FILEVERSION_STR "3.10.0001"
#define VER_PRODUCTNAME_STR "vrn Tavrel XP"

// Icons.
#define IDI_APP 101

// The one way platform/win32 includes the Windows headers. <windows.h>
// defines TIME_ZONE_ID_* and MessageBox as macros, which would rewrite the
// names platform/ declares; the platform headers therefore come first.
#pragma once

#include "platform/Forms.h"
#include "platform/Platform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>
#include <shellapi.h>
#include <wininet.h>

// IWindowSystem has a member of this name; Win32 code calls MessageBoxA.
#undef MessageBox

// <windows.h> as the Windows port includes it: without the rarely used
// parts, and without the min and max macros that break <algorithm>.
// Internal to the Windows port.
#ifndef LM_PLATFORM_WIN32_WINDOWS_API_H_
#define LM_PLATFORM_WIN32_WINDOWS_API_H_

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#endif  // LM_PLATFORM_WIN32_WINDOWS_API_H_

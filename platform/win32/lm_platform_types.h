// The Windows port takes the types, constants and KERNEL32 calls from the
// Windows headers themselves.
#ifndef LM_PLATFORM_WIN32_LM_PLATFORM_TYPES_H_
#define LM_PLATFORM_WIN32_LM_PLATFORM_TYPES_H_

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef NOUSER
#define NOUSER
#endif
#ifndef NOGDI
#define NOGDI
#endif
#include <windows.h>

// The library has operations of these names; the Windows headers would
// otherwise turn them into their A/W variants.
#undef GetClassName
#undef CreateFile
#undef DeleteFile
#undef GetCurrentTime

#endif  // LM_PLATFORM_WIN32_LM_PLATFORM_TYPES_H_

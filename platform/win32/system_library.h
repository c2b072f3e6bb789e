// Functions of system DLLs that the Windows programs must not import
// statically (the launcher imports only KERNEL32 and msvcrt), looked up at
// run time. Internal to the Windows port.
#ifndef LM_PLATFORM_WIN32_SYSTEM_LIBRARY_H_
#define LM_PLATFORM_WIN32_SYSTEM_LIBRARY_H_

namespace platform {

// The address of `name` in `dll` (a bare file name such as "shell32.dll"),
// loaded from the system directory only, never from the program's folder
// or the current directory; null when either is missing. A loaded library
// stays loaded for the rest of the process: shell32 and ole32 may leave
// threads running behind a call, so unloading them is never safe.
void* SystemProcedure(const char* dll, const char* name);

// The address of `name` in KERNEL32, which every process has loaded; null
// on systems that lack it.
void* KernelProcedure(const char* name);

}  // namespace platform

#endif  // LM_PLATFORM_WIN32_SYSTEM_LIBRARY_H_

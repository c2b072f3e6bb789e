// The Windows process entry of the launcher: a GUI-subsystem program that
// opens no window. Its command line, when the payload passes it on, is read
// by the port (platform::ProgramArguments).
#include "platform/win32/windows_api.h"

#include "launcher/launcher_run.h"
#include "platform/win32/system_library.h"

namespace {

// A setup runs from folders such as Downloads, where other files may have
// been planted: DLLs are looked up in System32 only. Looked up at run time,
// so that systems without SetDefaultDllDirectories still start; KERNEL32
// and msvcrt, the only static imports, are KnownDLLs and never searched.
void RestrictDllSearch() {
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
  const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  auto restrict = reinterpret_cast<SetDefaultDllDirectoriesFn>(platform::KernelProcedure("SetDefaultDllDirectories"));
  if (restrict != nullptr) restrict(kSearchSystem32);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RestrictDllSearch();
  return RunLauncher();
}

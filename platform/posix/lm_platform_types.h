// The Windows types, constants and KERNEL32 calls that the code uses, for the
// POSIX port. Names, fields and meanings follow the Windows API; only what
// the project uses is here.
#ifndef LM_PLATFORM_POSIX_LM_PLATFORM_TYPES_H_
#define LM_PLATFORM_POSIX_LM_PLATFORM_TYPES_H_

#include <pthread.h>

#include <cstdint>

typedef uint32_t DWORD;
typedef int BOOL;
typedef uint16_t WORD;
typedef void* HANDLE;
typedef void* LPVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define MAX_PATH 260
#define INFINITE 0xFFFFFFFFu
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define WAIT_OBJECT_0 0u
#define WAIT_FAILED 0xFFFFFFFFu

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x1u
#define FILE_SHARE_WRITE 0x2u
#define OPEN_EXISTING 3u
#define FILE_ATTRIBUTE_READONLY 0x1u
#define FILE_ATTRIBUTE_DIRECTORY 0x10u
#define FILE_ATTRIBUTE_ARCHIVE 0x20u
#define FILE_ATTRIBUTE_NORMAL 0x80u

#define ERROR_SUCCESS 0u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_BAD_FORMAT 11u
#define ERROR_NO_MORE_FILES 18u
#define ERROR_WRITE_FAULT 29u
#define ERROR_CANNOT_MAKE 82u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_OPEN_FAILED 110u
#define ERROR_DISK_FULL 112u
#define ERROR_FILE_CORRUPT 1392u

struct CRITICAL_SECTION {
  pthread_mutex_t mutex;
};

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

// 100-nanosecond intervals since 1601-01-01 00:00:00 UTC.
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  char cFileName[MAX_PATH];
};

struct STARTUPINFOA {
  DWORD cb;
  LPSTR lpReserved;
  LPSTR lpDesktop;
  LPSTR lpTitle;
  DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  uint8_t* lpReserved2;
  HANDLE hStdInput, hStdOutput, hStdError;
};

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};

struct SECURITY_ATTRIBUTES;

BOOL InitializeCriticalSectionAndSpinCount(CRITICAL_SECTION* section, DWORD spinCount);
void EnterCriticalSection(CRITICAL_SECTION* section);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
DWORD GetTickCount();
void Sleep(DWORD milliseconds);

DWORD GetLastError();
void SetLastError(DWORD error);
DWORD GetCurrentProcessId();

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE find);
DWORD GetLongPathNameA(LPCSTR shortPath, LPSTR longPath, DWORD size);

BOOL RemoveDirectoryA(LPCSTR path);
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, SECURITY_ATTRIBUTES* security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, FILETIME* fileTime);
BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                 const FILETIME* lastWrite);
BOOL CloseHandle(HANDLE handle);

DWORD GetModuleFileNameA(void* module, LPSTR buffer, DWORD size);
// The program's arguments joined by spaces, each quoted when it holds white
// space (a POSIX process has no single command line).
LPSTR GetCommandLineA();
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
DWORD GetTempPathA(DWORD size, LPSTR buffer);
// The command line follows the Windows quoting rules and becomes the new
// program's argv; lpApplicationName, when given, names the program to run.
// The environment block is "NAME=value\0...\0\0", null for this process's.
BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, SECURITY_ATTRIBUTES* processAttributes,
                    SECURITY_ATTRIBUTES* threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCSTR currentDirectory, STARTUPINFOA* startupInfo,
                    PROCESS_INFORMATION* processInformation);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// Exit status of a process that was waited for; a process ended by a signal
// reports 128 + the signal number.
BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode);

#endif  // LM_PLATFORM_POSIX_LM_PLATFORM_TYPES_H_

// What the Windows launcher takes in place of parts of libstdc++.
//
// The launcher is built without exceptions, and libstdc++.a's own versions
// of these throw, which would link the unwinder and the exception classes
// back in. The linker searches libstdc++.a only for symbols still
// undefined; defined here, they leave the library's objects that hold them
// (and everything those objects need) unlinked:
//
//  * __gnu_cxx::__verbose_terminate_handler, the default terminate handler
//    (vterminate.o), writes the uncaught exception's type to stderr before
//    it calls abort(), and links the C++ demangler to name it.
//    std::set_terminate cannot keep it out: eh_terminate.o refers to it as
//    the handler that set_terminate(nullptr) restores. Nothing throws, so
//    only a thread never joined or a broken noexcept promise gets here.
//  * The std::__throw_* functions that the library's templates call
//    (functexcept.o). A request beyond what a container can hold, or a
//    failed allocation, is memory running out (platform/memory.h); the
//    other logic errors (a position out of range, a null string) are
//    mistakes of the program's.
//
// Both kinds of mistake end the process at once with exit code 3, what
// abort() gives, but without msvcrt's abort message: the launcher shows
// nothing. Each definition names the library's own declaration (a qualified
// definition must match one), so a libstdc++ that renames or drops one
// fails to compile here; one that needs a __throw_* function not defined
// here links functexcept.o again, whose definitions then clash with these.
// tests/windows/launcher_image_test.sh reads the launcher's link map and
// fails when any of the replaced objects, or the unwinder, is linked again.
#include <exception>
#include <new>
#include <stdexcept>

#include "platform/memory.h"

namespace {

const int kMistake = 3;

}  // namespace

void __gnu_cxx::__verbose_terminate_handler() { platform::EndProcessNow(kMistake); }

void std::__throw_bad_alloc() { platform::MemoryExhausted(); }
void std::__throw_bad_array_new_length() { platform::MemoryExhausted(); }
void std::__throw_length_error(const char*) { platform::MemoryExhausted(); }
void std::__throw_logic_error(const char*) { platform::EndProcessNow(kMistake); }
void std::__throw_out_of_range(const char*) { platform::EndProcessNow(kMistake); }
void std::__throw_out_of_range_fmt(const char*, ...) { platform::EndProcessNow(kMistake); }
void std::__throw_invalid_argument(const char*) { platform::EndProcessNow(kMistake); }
void std::__throw_bad_function_call() { platform::EndProcessNow(kMistake); }

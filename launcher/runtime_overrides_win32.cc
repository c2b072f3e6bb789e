// What the Windows launcher takes in place of parts of libstdc++.
//
// This replaces library internals, to keep about 130 KB of a statically
// linked launcher out. The linker searches libstdc++.a only for symbols
// still undefined; defined here, they leave the library's objects that
// hold them (and everything those objects need) unlinked:
//
//  * __gnu_cxx::__verbose_terminate_handler, the default terminate handler
//    (vterminate.o), writes the uncaught exception's type to stderr before
//    it calls abort(), and links the C++ demangler to name it.
//    std::set_terminate cannot keep it out: eh_terminate.o refers to it as
//    the handler that set_terminate(nullptr) restores. Here it only calls
//    abort(). The launcher is a GUI-subsystem program whose stderr leads
//    nowhere, and it catches every exception of its own thread
//    (entry_win32.cc): only an exception that leaves a worker thread or a
//    noexcept function gets here.
//  * The std::__throw_* functions that the library's templates call
//    (functexcept.o): that object constructs every standard exception, and
//    std::length_error and its kin carry their message in a reference-
//    counted string that brings both of the library's std::string builds
//    with it. bad_alloc and bad_array_new_length are thrown as they are;
//    the logic errors (a size beyond max_size(), a position out of range, a
//    null string) as LibraryError, of the same std::exception family, with
//    the library's message. The launcher turns any exception into the same
//    exit code whatever its type (entry_win32.cc, launcher_run.cc), so its
//    behaviour stays the same.
//
// Each definition names the library's own declaration (a qualified
// definition must match one), so a libstdc++ that renames or drops one
// fails to compile here; one that needs a __throw_* function not defined
// here links functexcept.o again, whose definitions then clash with these.
// tests/windows/launcher_image_test.sh reads the launcher's link map and
// fails when any of the replaced objects is linked again.
#include <cstdlib>
#include <exception>
#include <new>
#include <stdexcept>

namespace {

class LibraryError final : public std::exception {
 public:
  explicit LibraryError(const char* what) : what_(what) {}
  const char* what() const noexcept override { return what_; }

 private:
  const char* what_;  // the library's messages are string literals
};

}  // namespace

void __gnu_cxx::__verbose_terminate_handler() { std::abort(); }

void std::__throw_bad_alloc() { throw std::bad_alloc(); }
void std::__throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void std::__throw_length_error(const char* what) { throw LibraryError(what); }
void std::__throw_logic_error(const char* what) { throw LibraryError(what); }
void std::__throw_out_of_range(const char* what) { throw LibraryError(what); }
// The message is the format itself, unformatted.
void std::__throw_out_of_range_fmt(const char* format, ...) { throw LibraryError(format); }
void std::__throw_invalid_argument(const char* what) { throw LibraryError(what); }

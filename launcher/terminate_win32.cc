// The Windows launcher's terminate handler, in place of libstdc++'s.
//
// This replaces a library internal. libstdc++'s default terminate handler,
// __gnu_cxx::__verbose_terminate_handler (vterminate.o), writes the type of
// the uncaught exception to stderr and then calls abort(); to name the type
// it links the C++ demangler, about 46 KB of a statically linked launcher.
// std::set_terminate cannot keep it out: eh_terminate.o refers to it as the
// handler that set_terminate(nullptr) restores. Defining the function here
// satisfies those references before the linker searches libstdc++.a, so
// vterminate.o and the demangler stay out.
//
// What changes: nothing is written before abort(). The launcher is a
// GUI-subsystem program, whose stderr leads nowhere, and the launcher
// catches every exception of its own thread (entry_win32.cc); only an
// exception escaping a worker thread or a noexcept function gets here.
//
// tests/windows/launcher_image_test.sh fails when the library's handler or
// the demangler is linked again, e.g. because a newer libstdc++ names or
// places the handler otherwise; a libstdc++ that defined it beside other
// needed symbols would fail the link with a duplicate definition.
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

// The GNU C++ library's default terminate handler prints the demangled type of
// an uncaught exception before it aborts. Its demangler and the printf family
// it calls are about 75 KiB of the exe, a quarter of it, for a message this
// program never means to show: it throws nothing itself, and memory that runs
// out ends the run through its new handler (run_sequence.cpp). Defined here,
// the handler keeps the library's own out of the link; std::terminate still
// ends the process through abort(). Built with MinGW only.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

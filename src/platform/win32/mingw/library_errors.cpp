// The GNU C++ library reports a broken rule of its own (a string grown past
// its largest size, a position out of range, a lock the system refuses) by
// throwing one of its exception classes through the routines below. Those
// classes, their messages and the older string type they keep them in are
// about 60 KiB of the exe, for errors this program never catches: each one
// would end the process through std::terminate where it was thrown, and the
// program's terminate handler aborts. Defined here, the routines end the
// process that same way without building the exception, and the library's own
// stay out of the link (a second definition would fail the link rather than
// pass unnoticed). Built with MinGW only.
#include <exception>
#include <string>

namespace std {
void __throw_bad_alloc() { std::terminate(); }
void __throw_bad_array_new_length() { std::terminate(); }
void __throw_length_error(const char*) { std::terminate(); }
void __throw_logic_error(const char*) { std::terminate(); }
void __throw_out_of_range_fmt(const char*, ...) { std::terminate(); }
void __throw_system_error(int) { std::terminate(); }
}  // namespace std

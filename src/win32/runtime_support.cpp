// Runtime support replaced for a small, self-contained image.
//
// The program reports everything through result codes and catches no
// exception. An exception that the C++ runtime would throw (a string longer
// than memory can hold, memory exhausted) would end it through
// std::terminate. Ending it at once is the same outcome, without linking in
// the exception classes, the strings they carry and the demangler that the
// default terminate handler uses to name them.
#include <bits/functexcept.h>

#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
  std::abort();
}
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() {
  std::abort();
}
void __throw_bad_array_new_length() {
  std::abort();
}
void __throw_length_error(const char*) {
  std::abort();
}
void __throw_logic_error(const char*) {
  std::abort();
}
void __throw_out_of_range(const char*) {
  std::abort();
}
void __throw_out_of_range_fmt(const char*, ...) {
  std::abort();
}
void __throw_invalid_argument(const char*) {
  std::abort();
}
}  // namespace std

// Runtime support replaced for a small, self-contained image.
//
// The program reports everything through result codes and catches no
// exception. An exception that the C++ runtime would throw (a string longer
// than memory can hold, memory exhausted) would end it through
// std::terminate. Ending it at once is the same outcome, without linking in
// the exception classes, the strings they carry and the demangler that the
// default terminate handler uses to name them.
//
// The runtime's own operator new throws std::bad_alloc, and its nothrow
// forms call the throwing one inside a try block: either way they link the
// exception machinery (the unwinder, the personality routine, the exception
// allocator) into an image that never unwinds. The replacements below take
// from malloc as the runtime's do and end or fail as they would here, where
// no new handler is ever set: the throwing form ends the program as an
// uncaught std::bad_alloc does, the nothrow forms return null. The runtime's
// operator delete, which calls free, stays.
#include <bits/functexcept.h>

#include <cstddef>
#include <cstdlib>
#include <new>

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

namespace {
// A request for zero bytes still gets a unique pointer, as from the runtime.
void* Allocate(std::size_t size) noexcept {
  return std::malloc(size == 0 ? 1 : size);
}
}  // namespace

void* operator new(std::size_t size) {
  void* block = Allocate(size);
  if (block == nullptr) std::__throw_bad_alloc();
  return block;
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}

// The runtime's start-up code applies the image's pseudo-relocations, which
// the linker makes for data that code takes from a DLL without importing it
// as such. The programs import only functions: the list is empty, and its
// relocator, with the error reporting that it links, would never act. An
// image that has some after all ends at its start.
extern "C" char __RUNTIME_PSEUDO_RELOC_LIST__;
extern "C" char __RUNTIME_PSEUDO_RELOC_LIST_END__;
extern "C" void _pei386_runtime_relocator() {
  if (&__RUNTIME_PSEUDO_RELOC_LIST__ != &__RUNTIME_PSEUDO_RELOC_LIST_END__) std::abort();
}

// The runtime's start-up code installs _matherr as the handler of the C
// math library's errors; its own prints them to standard error. The
// programs do no floating-point math, so none is ever raised: this one
// takes the library's default action, as the runtime's does, and prints
// nothing, without linking the formatted output that the runtime's uses.
struct _exception;
extern "C" int _matherr(_exception*) {
  return 0;
}

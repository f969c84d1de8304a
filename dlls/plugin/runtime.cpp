// The few hooks of the C++ runtime that the library defines itself.
//
// The plugin is built without exceptions and links the C++ runtime
// statically, so that it loads on any server with glibc 2.11 or later.  The
// runtime's own versions of these functions throw, and throwing pulls in the
// runtime's exception machinery and the static unwinder, which need symbols
// of glibc 2.32 to 2.36 (the guard code's __libc_single_threaded,
// _dl_find_object, the new pthread_once and, through the exception classes'
// strings, arc4random).  Defined here, those parts are never linked.
//
// What happens when memory runs out: the buffers whose size a file decides
// (the player values table and its read buffers) take their memory from
// malloc with checks and fail the load cleanly.  Every other allocation is
// small and bounded by the 32 player slots (names of at most 31 bytes,
// reports of a few kilobytes); if one of those fails, the server process has
// no memory left at all, and operator new ends it with a line on stderr
// rather than go on with memory it does not have.
#include <bits/functexcept.h>

#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

[[noreturn]] void Fail(const char* what) {
  // Nothing more can be done if stderr fails too.
  (void)std::fputs("kel_mm: ", stderr);
  (void)std::fputs(what, stderr);
  (void)std::fputs("; the server cannot go on\n", stderr);
  std::abort();
}

void* Allocate(std::size_t size) {
  // malloc(0) may give null; operator new must give a unique pointer.
  return std::malloc(size == 0 ? 1 : size);
}

void* AllocateOrFail(std::size_t size) {
  void* memory = Allocate(size);
  if (memory == nullptr) Fail("out of memory");
  return memory;
}

}  // namespace

// NOLINTBEGIN(cert-dcl58-cpp): replacing these is what the standard allows.
void* operator new(std::size_t size) { return AllocateOrFail(size); }
void* operator new[](std::size_t size) { return AllocateOrFail(size); }
void* operator new(std::size_t size, const std::nothrow_t& /*tag*/) noexcept {
  return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t& /*tag*/) noexcept {
  return Allocate(size);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t /*size*/) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t /*size*/) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t& /*tag*/) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t& /*tag*/) noexcept { std::free(memory); }
// NOLINTEND(cert-dcl58-cpp)

// The standard containers call these where the library would throw: a
// length beyond max_size, an index out of range, a size that overflows.  The
// plugin's texts and lists are bounded far below any of them, so reaching
// one is a fault of the plugin, not of its input.
namespace std {  // NOLINT(cert-dcl58-cpp): the library's own hooks, defined here
// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl50-cpp,cert-dcl51-cpp,cert-dcl58-cpp)
void __throw_bad_alloc() { Fail("out of memory"); }
void __throw_bad_array_new_length() { Fail("array length overflow"); }
void __throw_length_error(const char* /*what*/) { Fail("length error"); }
void __throw_logic_error(const char* /*what*/) { Fail("logic error"); }
void __throw_out_of_range(const char* /*what*/) { Fail("index out of range"); }
void __throw_out_of_range_fmt(const char* /*format*/, ...) { Fail("index out of range"); }
void __throw_invalid_argument(const char* /*what*/) { Fail("invalid argument"); }
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl50-cpp,cert-dcl51-cpp,cert-dcl58-cpp)
}  // namespace std

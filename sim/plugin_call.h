// Every call from the simulated host into the plugin goes through CallPlugin,
// so that a story can make the host call it the way an old engine or plugin
// manager may: with the stack aligned to 4 bytes only.  Old engines keep
// only the 4-byte alignment the i386 calling convention guarantees, while
// code built by today's compilers assumes 16 at every call and may store
// SSE registers to aligned stack slots.
#pragma once

#include <cstdint>
#include <type_traits>

namespace kelsim::detail {

constexpr bool StackMisalignmentSupported() {
#if defined(__i386__)
  return true;
#else
  return false;
#endif
}

#if defined(__i386__)
// misaligned_call.cpp: calls `function` with `count` words of arguments
// copied from `words`, the stack pointer `misalignment` bytes past a 16-byte
// boundary at the call, and returns what it left in eax.  A stdcall
// function, which pops its own arguments, is called as well as a cdecl one.
extern "C" uint32_t kelsim_call_misaligned(const void* function, const uint32_t* words,
                                           uint32_t count, uint32_t misalignment);

// Every argument and result of the plugin's entry points is one word:
// a pointer, an int or an enum.
template <typename T>
uint32_t ToWord(T value) {
  static_assert(sizeof(T) == sizeof(uint32_t) && !std::is_floating_point_v<T>,
                "an argument of the plugin's entry points is one word");
  if constexpr (std::is_pointer_v<T>) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(value));
  } else {
    return static_cast<uint32_t>(value);
  }
}

template <typename T>
T FromWord(uint32_t word) {
  static_assert(sizeof(T) == sizeof(uint32_t) && !std::is_floating_point_v<T>);
  if constexpr (std::is_pointer_v<T>) {
    return reinterpret_cast<T>(static_cast<uintptr_t>(word));
  } else {
    return static_cast<T>(word);
  }
}
#endif

// Calls a function of the plugin with `args`, with the stack pointer
// `misalignment` bytes past a 16-byte boundary: 0 calls directly, as the
// compiler makes the call; 4, 8 or 12 go through the trampoline, which
// only an i386 build has (StackMisalignmentSupported).
template <typename Function, typename... Args>
auto CallPlugin(int misalignment, Function* function, Args... args) {
#if defined(__i386__)
  using Result = decltype(function(args...));
  if (misalignment != 0) {
    const uint32_t words[] = {ToWord(args)..., 0};  // 0: never an empty array
    const uint32_t result = kelsim_call_misaligned(reinterpret_cast<const void*>(function), words,
                                                   static_cast<uint32_t>(sizeof...(Args)),
                                                   static_cast<uint32_t>(misalignment));
    if constexpr (std::is_void_v<Result>) {
      return;
    } else {
      return FromWord<Result>(result);
    }
  }
#else
  (void)misalignment;
#endif
  return function(args...);
}

}  // namespace kelsim::detail

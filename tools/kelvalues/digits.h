// ASCII digits eight at a time, in a word loaded from text (its first byte
// the word's lowest): no loop whose end depends on how many digits there
// are, which the processor mispredicts when lengths vary from line to line.
#pragma once

#include <bit>
#include <cstdint>

namespace kelvalues {

static_assert(std::endian::native == std::endian::little, "words are loaded from text");

inline constexpr uint64_t kAsciiZeros = 0x3030303030303030ULL;

// Whether the bytes of `word` that `kept` keeps are all '0' to '9'.
inline bool AreDigits(uint64_t word, uint64_t kept = ~uint64_t{0}) {
  // A digit's high nibble is 3, and adding 6 leaves it 3.  A carry out of
  // a byte only comes from one whose high nibble is F, which fails anyway.
  constexpr uint64_t kHighNibbles = 0xF0F0F0F0F0F0F0F0ULL;
  return (word & kHighNibbles & kept) == (kAsciiZeros & kept) &&
         ((word + 0x0606060606060606ULL) & kHighNibbles & kept) == (kAsciiZeros & kept);
}

// The number the eight digits of `word` write, its first the most
// significant (AreDigits(word) must hold): pairs, then fours, then eight.
inline uint64_t EightDigitsValue(uint64_t word) {
  word -= kAsciiZeros;
  word = word * 10 + (word >> 8);
  return ((word & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32)) +
          ((word >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32))) >>
         32;
}

}  // namespace kelvalues

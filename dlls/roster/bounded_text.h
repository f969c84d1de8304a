// printf-style formatting into a fixed-size result, for texts that carry
// player names: the format is always ours, the names only arguments.
#pragma once

#include <cstddef>
#include <string>

// Formats like snprintf into a buffer of `capacity` bytes: the result holds at
// most capacity - 1 characters.
std::string FormatBounded(std::size_t capacity, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

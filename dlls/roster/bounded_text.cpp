#include "bounded_text.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

std::string FormatBounded(std::size_t capacity, const char* format, ...) {
  if (capacity == 0) return std::string();
  std::vector<char> buffer(capacity);
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(buffer.data(), capacity, format, args);
  va_end(args);
  if (written < 0) return std::string();
  return std::string(buffer.data());
}

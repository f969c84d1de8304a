#include "bounded_text.h"

#include <cstdarg>
#include <cstdio>

// printf style on purpose: the format attribute in the header lets the
// compiler check every call's arguments against its format.
// NOLINTNEXTLINE(cert-dcl50-cpp)
std::string FormatBounded(std::size_t capacity, const char* format, ...) {
  if (capacity == 0 || !format) return std::string();
  std::string result(capacity, '\0');
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(result.data(), capacity, format, args);
  va_end(args);
  if (written < 0) return std::string();
  // vsnprintf reports the untruncated length; the buffer holds capacity - 1.
  result.resize(static_cast<std::size_t>(written) < capacity ? static_cast<std::size_t>(written)
                                                             : capacity - 1);
  return result;
}

namespace {

bool IsContinuationByte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// The length a UTF-8 lead byte announces; 0 for a byte that leads nothing.
std::size_t SequenceLength(char byte) {
  const auto lead = static_cast<unsigned char>(byte);
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 0;
}

}  // namespace

std::string_view CutToBytes(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  // The character that the cut would split goes whole: look back from the
  // first byte dropped for the lead byte of a sequence running past it.
  // Bytes that are no UTF-8 are cut where the size says.
  if (IsContinuationByte(text[maxBytes])) {
    for (std::size_t back = 1; back <= 3 && back <= maxBytes; ++back) {
      const std::size_t start = maxBytes - back;
      if (IsContinuationByte(text[start])) continue;
      if (start + SequenceLength(text[start]) > maxBytes) return text.substr(0, start);
      break;
    }
  }
  return text.substr(0, maxBytes);
}

std::size_t PieceLength(std::string_view line, std::size_t maxBytes) {
  if (maxBytes == 0) maxBytes = 1;  // always make progress
  if (line.size() <= maxBytes) return line.size();
  std::size_t length = maxBytes;
  // Step back over UTF-8 continuation bytes (10xxxxxx) so that the next piece
  // starts on a character; a sequence is at most four bytes long.
  for (int step = 0; step < 3 && length > 1; ++step) {
    const auto next = static_cast<unsigned char>(line[length]);
    if ((next & 0xC0) != 0x80) break;
    --length;
  }
  if ((static_cast<unsigned char>(line[length]) & 0xC0) == 0x80) return maxBytes;  // not UTF-8
  return length;
}

#include "command_line.h"

#include <cstdio>

namespace kelvalues {

int UsageError(std::string_view message) {
  (void)std::fprintf(stderr, "kelvalues: %.*s\n", static_cast<int>(message.size()), message.data());
  return kExitUsage;
}

std::string QuoteArgument(std::string_view text) {
  constexpr std::size_t kShownBytes = 64;
  static const char kHex[] = "0123456789abcdef";
  std::string shown = "\"";
  for (const char c : text.substr(0, kShownBytes)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 0xF];
    } else {
      shown += c;
    }
  }
  shown += '"';
  if (text.size() > kShownBytes) shown += "...";
  return shown;
}

}  // namespace kelvalues

#include "server_output.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "bounded_text.h"
#include "host_api.h"

namespace {

void PrintLines(const std::string& text, void (*printLine)(const char*)) {
  // The manager appends its own line end to every call and cuts at about
  // 1 KB: print each line without its line end, long lines in pieces.
  char piece[kConsolePieceBytes + 1];
  ForEachConsolePiece(text, kConsolePieceBytes, [&](std::string_view part) {
    std::memcpy(piece, part.data(), part.size());
    piece[part.size()] = '\0';
    printLine(piece);
  });
}

}  // namespace

// printf style on purpose, checked by the format attribute in the header.
// NOLINTNEXTLINE(cert-dcl50-cpp)
void LogToServer(const char* format, ...) {
  static char buffer[1024];
  if (!format) return;
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(buffer, sizeof(buffer), format, args);
  va_end(args);
  if (written < 0) buffer[0] = '\0';
  buffer[sizeof(buffer) - 1] = '\0';
  HostApi::LogToServerRaw(buffer);  // through "%s"
}

void ConsoleReply(const std::string& text) { PrintLines(text, HostApi::LogConsoleLine); }

void ErrorLog(const std::string& text) { PrintLines(text, HostApi::LogErrorLine); }

// The server's own outputs: its log, its console and the plugin manager's
// error log.  Texts are finished texts: nothing here reads a text (a
// player's name, an id) as a format, and every path has a fixed upper size.
#pragma once

#include <cstddef>
#include <string>

// Formats into the 1024-byte log buffer (cut at 1023, always terminated) and
// hands the result to the server log through "%s".
void LogToServer(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The server console: `text` shown exactly, one console line per line of the
// text (see ForEachConsolePiece); a line too long for the manager's buffer
// is printed in pieces of at most kConsolePieceBytes.
void ConsoleReply(const std::string& text);
// The plugin manager's error log: `text` shown exactly, as ConsoleReply.
void ErrorLog(const std::string& text);

// The manager formats each console or error line into 1024 bytes, its own
// line end and terminator included; pieces of this size always fit whole.
inline constexpr std::size_t kConsolePieceBytes = 1000;

// What every fuzz target shares: a check that stops the run with a message
// the fuzzer keeps beside the crashing input.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

// Aborts with `what` when `condition` is false.  libFuzzer treats the abort
// as a crash and saves the input.
#define KEL_FUZZ_CHECK(condition, what)                                       \
  do {                                                                        \
    if (!(condition)) kel_fuzz::Fail(__FILE__, __LINE__, #condition, (what)); \
  } while (0)

namespace kel_fuzz {

[[noreturn]] inline void Fail(const char* file, int line, const char* condition,
                              const std::string& what) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n  %s\n", file, line, condition, what.c_str());
  std::fflush(stderr);
  std::abort();
}

// Where a target writes the files it makes for every input: TMPDIR when it
// names a place, else memory.  On a disk file system a file truncated and
// written again is flushed to disk when closed (ext4 does so for replaced
// files), which costs more than the work under test.
inline std::string ScratchDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  if (tmp && *tmp) return tmp;
  return access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
}

// A text shown in a failure message: printable ASCII as it is, every other
// byte as \xHH, at most `limit` bytes of it.
inline std::string Shown(const std::string& text, std::size_t limit = 200) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  if (text.size() > limit) out += "...";
  return out + "\"";
}

}  // namespace kel_fuzz

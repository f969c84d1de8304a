#include "line_reader.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace kelsim {

namespace {

// libedit's readline emulation first (Debian's libedit2), then GNU
// readline.  Both give readline() a malloc'd line or null at the end of
// input, and add_history() takes a copy.
constexpr const char* kLibraries[] = {"libedit.so.2", "libreadline.so.8"};

}  // namespace

LineReader::LineReader(bool terminal) : terminal_(terminal) {
  if (!terminal_) return;
  std::string why;
  for (const char* name : kLibraries) {
    void* library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      const char* error = dlerror();
      if (why.empty()) why = error ? error : name;
      continue;
    }
    auto readline = reinterpret_cast<ReadlineFn>(dlsym(library, "readline"));
    auto addHistory = reinterpret_cast<AddHistoryFn>(dlsym(library, "add_history"));
    if (readline && addHistory) {
      // Kept open for the life of the process: the editor's history and
      // terminal state live in its own globals, and an exit handler it set
      // up must not point at unmapped code.
      readline_ = readline;
      addHistory_ = addHistory;
      return;
    }
    dlclose(library);
    if (why.empty()) why = std::string(name) + " has no readline()";
  }
  unavailable_ = "line editing is unavailable (" + why +
                 "): install libedit2, or libedit2:i386 for the i386 build";
}

bool LineReader::Read(const char* prompt, std::string& line) {
  if (readline_) {
    char* read = readline_(prompt);
    if (!read) {
      std::printf("\n");  // the terminal's cursor is still after the prompt
      return false;
    }
    line = read;
    std::free(read);
    if (line.find_first_not_of(" \t") != std::string::npos) addHistory_(line.c_str());
    return true;
  }
  if (terminal_) {
    std::printf("%s", prompt);
    (void)std::fflush(stdout);
  }
  if (!std::getline(std::cin, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace kelsim

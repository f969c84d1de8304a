// Lines typed at kelsim's prompt.  On a terminal the prompt edits lines and
// keeps a history through libedit (or GNU readline), opened at run time so
// that the i386 build needs no i386 development package: only the library
// itself (libedit2, or libedit2:i386 for the i386 build).  Without it, or
// when standard input is no terminal, lines are read as they come.
#pragma once

#include <string>

namespace kelsim {

class LineReader {
 public:
  // `terminal`: standard input is a terminal; only then is a line editor
  // looked for and the prompt shown.
  explicit LineReader(bool terminal);

  // Why line editing is unavailable on this terminal ("" when it works or
  // when standard input is no terminal), to be said once.
  const std::string& Unavailable() const { return unavailable_; }

  // The next line, without its line end; false at the end of input.
  bool Read(const char* prompt, std::string& line);

 private:
  using ReadlineFn = char* (*)(const char* prompt);
  using AddHistoryFn = int (*)(const char* line);

  bool terminal_;
  ReadlineFn readline_ = nullptr;
  AddHistoryFn addHistory_ = nullptr;
  std::string unavailable_;
};

}  // namespace kelsim

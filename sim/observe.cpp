// Recording what a person at the server could observe, and its rendering.
#include <cstdio>
#include <cstring>

#include "sim_state.h"

namespace kelsim {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// One line per text line; later lines are indented under the first.  A final
// line end is dropped (most texts carry one); other line ends and control
// bytes are made visible.
std::string Block(const std::string& head, const std::string& text) {
  std::string body = text;
  if (!body.empty() && body.back() == '\n') body.pop_back();
  std::string out = head;
  const std::string indent(head.size(), ' ');
  for (char c : body) {
    if (c == '\n') {
      out += "\n" + indent;
    } else if (static_cast<unsigned char>(c) < ' ') {
      char escaped[8];
      (void)std::snprintf(escaped, sizeof(escaped), "\\x%02x", static_cast<unsigned char>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

std::string Who(const Event& event) {
  if (!event.who.empty()) return event.who;
  return "slot " + std::to_string(event.slot);
}

}  // namespace

namespace detail {

void TakeLines(std::string& pending, std::vector<std::string>& lines) {
  std::size_t start = 0;
  for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(pending.substr(start, end - start));
  pending.erase(0, start);
}

bool CaseLess::operator()(const std::string& a, const std::string& b) const {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char x = LowerAscii(a[i]);
    const char y = LowerAscii(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  }
  return a.size() < b.size();
}

std::string FormatInto(std::size_t capacity, const char* format, va_list args) {
  if (!format || capacity == 0) return std::string();
  std::vector<char> buffer(capacity);
  if (std::vsnprintf(buffer.data(), capacity, format, args) < 0) return std::string();
  return std::string(buffer.data());
}

std::vector<std::string> Tokenize(const std::string& line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && static_cast<unsigned char>(line[i]) <= ' ') ++i;
    if (i >= line.size()) break;
    std::string word;
    if (line[i] == '"') {
      ++i;
      while (i < line.size() && line[i] != '"') word += line[i++];
      if (i < line.size()) ++i;  // the closing quote
    } else {
      while (i < line.size() && static_cast<unsigned char>(line[i]) > ' ') word += line[i++];
    }
    words.push_back(word);
  }
  return words;
}

void SimState::Record(Event::Kind kind, int slot, const std::string& text) {
  Event event;
  event.kind = kind;
  event.time = globals.time;
  event.slot = slot;
  event.text = text;
  if (slot > 0) event.who = NameOf(slot);
  events.push_back(std::move(event));
}

void SimState::HostError(const std::string& text) {
  hostErrors.push_back(text);
  Record(Event::Kind::HostError, 0, text);
}

void SimState::Fatal(const std::string& reason) {
  if (!fatal) {
    fatal = true;
    fatalReason = reason;
  }
  Record(Event::Kind::Fatal, 0, reason);
}

void SimState::ConsolePrint(const std::string& text) {
  consolePending += text;
  const std::size_t before = consoleLines.size();
  TakeLines(consolePending, consoleLines);
  for (std::size_t i = before; i < consoleLines.size(); ++i)
    Record(Event::Kind::Console, 0, consoleLines[i]);
}

void SimState::ErrorPrint(const std::string& text) {
  errorPending += text;
  const std::size_t before = errorLines.size();
  TakeLines(errorPending, errorLines);
  for (std::size_t i = before; i < errorLines.size(); ++i)
    Record(Event::Kind::Error, 0, errorLines[i]);
}

std::string SimState::NameOf(int slot) const {
  if (!IsPlayerSlot(slot)) return std::string();
  return PoolText(edicts[static_cast<std::size_t>(slot)].v.netname);
}

}  // namespace detail

std::string Describe(const Event& event) {
  switch (event.kind) {
    case Event::Kind::Console:
      return Block("[console] ", event.text);
    case Event::Kind::Log:
      return Block("[log] ", event.text);
    case Event::Kind::Error:
      return Block("[error log] ", event.text);
    case Event::Kind::Chat:
      return Block("[" + Who(event) + " chat] ", event.text);
    case Event::Kind::Hud:
      return Block("[" + Who(event) + " screen] ", event.text);
    case Event::Kind::ClientCommand:
      return Block("[" + Who(event) + " client runs] ", event.text);
    case Event::Kind::PlayerChat:
      return Block("[" + Who(event) + " sees] ", event.text);
    case Event::Kind::Note:
      return Block("-- ", event.text);
    case Event::Kind::HostError:
      return Block("[HOST ERROR] ", event.text);
    case Event::Kind::Fatal:
      return Block("[FATAL] ", event.text);
    case Event::Kind::PrintConsole:
      return Block("[" + Who(event) + " console] ", event.text);
    case Event::Kind::PrintCenter:
      return Block("[" + Who(event) + " center print] ", event.text);
    case Event::Kind::PrintChat:
      return Block("[" + Who(event) + " chat print] ", event.text);
  }
  return event.text;
}

}  // namespace kelsim

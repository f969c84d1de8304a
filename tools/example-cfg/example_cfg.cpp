// kel_example_cfg: writes the example server.cfg of the release
// (examples/kel.example.cfg) from the plugin's table of console variables,
// so the file an operator pastes names every variable with the default the
// plugin registers.
//
//   kel_example_cfg                 prints the file
//   kel_example_cfg --compare FILE  exit 0 when FILE is what it would print,
//                                   else 1, naming the first line that differs
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "console_variables.h"

namespace {

// The server runs each line of server.cfg as commands split at every ';'
// outside quotes, a line starting with // included: "// a; b" runs "b".  So
// no text that goes into a comment may hold one, and no text may break its
// line or its quotes.
bool FitsOnACfgLine(std::string_view text) {
  return text.find_first_of(";\r\n") == std::string_view::npos;
}

// What is wrong with a row for the file, or nullptr.
const char* RowFault(const ConsoleVariable& row) {
  if (row.range == nullptr || row.comment == nullptr || std::strlen(row.range) == 0 ||
      std::strlen(row.comment) == 0) {
    return "no range or comment";
  }
  if (!FitsOnACfgLine(row.name) || !FitsOnACfgLine(row.defaultValue) ||
      !FitsOnACfgLine(row.range) || !FitsOnACfgLine(row.comment)) {
    return "a ';' or a line end in its texts";
  }
  if (std::strchr(row.defaultValue, '"')) return "a '\"' in its default";
  return nullptr;
}

// The operator sets the plugin's own variables; its version it sets back
// itself at every map start, and the server's own variables are the
// server's, so those lines are shown commented out.
bool OperatorSetsHere(const ConsoleVariable& row) {
  return row.registration != CvarRegistration::NotOurs && row.id != Cvar::Version;
}

void WriteRow(std::ostream& out, const ConsoleVariable& row) {
  out << "\n// " << row.comment << "\n// values: " << row.range << '\n';
  out << (OperatorSetsHere(row) ? "" : "// ") << row.name << " \"" << row.defaultValue << "\"\n";
}

// The file's text, or an empty text after naming a faulty row on stderr.
std::string ExampleCfg() {
  std::ostringstream out;
  out << "// kel_mm " << kPluginVersion
      << ": every console variable with its default, ready to paste\n"
         "// into server.cfg.  Set one by changing the text in quotes after its\n"
         "// name.  addons/kel/operator-guide.md tells more about each.\n";
  bool serverSection = false;
  for (const ConsoleVariable& row : kConsoleVariables) {
    if (const char* fault = RowFault(row)) {
      std::cerr << "kel_example_cfg: console variable " << row.name << ": " << fault << '\n';
      return {};
    }
    if (row.registration == CvarRegistration::NotOurs && !serverSection) {
      out << "\n// The server's own variables, which the plugin reads but never sets,\n"
             "// with what it reads when the server has none.  Your server may set\n"
             "// them elsewhere: remove the // to set one here.\n";
      serverSection = true;
    }
    WriteRow(out, row);
  }
  return out.str();
}

// 0 when the file holds `expected`, else 1 after naming the first
// difference and how to write the file afresh.
int Compare(const char* program, const char* path, const std::string& expected) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::cerr << "kel_example_cfg: cannot read " << path << '\n';
    return 1;
  }
  std::stringstream held;
  held << file.rdbuf();
  if (held.str() == expected) return 0;
  std::istringstream want(expected);
  std::string wantLine;
  std::string heldLine;
  int line = 1;
  while (true) {
    const bool hasWant = static_cast<bool>(std::getline(want, wantLine));
    const bool hasHeld = static_cast<bool>(std::getline(held, heldLine));
    if (!hasWant || !hasHeld || wantLine != heldLine) {
      std::cerr << path << ':' << line << ": expected \"" << (hasWant ? wantLine : "(the end)")
                << "\", found \"" << (hasHeld ? heldLine : "(the end)") << "\"\n";
      break;
    }
    ++line;
  }
  std::cerr << "kel_example_cfg: " << path << " is not the table's example: write it again with\n  "
            << program << " > " << path << '\n';
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string text = ExampleCfg();
  if (text.empty()) return 1;
  if (argc == 3 && std::strcmp(argv[1], "--compare") == 0) return Compare(argv[0], argv[2], text);
  if (argc != 1) {
    std::cerr << "usage: kel_example_cfg [--compare FILE]\n";
    return 2;
  }
  std::cout << text << std::flush;
  return std::cout ? 0 : 1;
}

#include "cvar_reading.h"

#include <bitset>
#include <cstdlib>

#include "bounded_text.h"
#include "host_api.h"
#include "server_output.h"

namespace {

std::bitset<kConsoleVariableCount> g_toldThisMap;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool FirstCvarNoticeThisMap(Cvar variable) {
  const auto index = static_cast<std::size_t>(variable);
  if (g_toldThisMap.test(index)) return false;
  g_toldThisMap.set(index);
  return true;
}

void ResetCvarNotices() { g_toldThisMap.reset(); }

bool IsDecimalNumber(const char* text) {
  if (!text) return false;
  if (*text == '+' || *text == '-') ++text;
  bool digits = false;
  for (; IsDigit(*text); ++text) digits = true;
  if (*text == '.') {
    for (++text; IsDigit(*text); ++text) digits = true;
  }
  return digits && *text == '\0';
}

bool CvarReadsAsNumber(Cvar variable) {
  const char* text = HostApi::CvarText(variable);
  if (IsDecimalNumber(text)) return true;
  if (FirstCvarNoticeThisMap(variable)) {
    const ConsoleVariable& row = ConsoleVariableOf(variable);
    ConsoleReply(FormatBounded(256, "kel: %s \"%.64s\" is not a number; the default \"%s\" is used",
                               row.name, text, row.defaultValue));
  }
  return false;
}

float CvarNumber(Cvar variable) {
  if (CvarReadsAsNumber(variable)) return HostApi::CvarValue(variable);
  return std::strtof(ConsoleVariableOf(variable).defaultValue, nullptr);
}

void TellNumberCvarsThatDoNotRead() {
  for (const Cvar variable : kNumberCvars) CvarReadsAsNumber(variable);
}

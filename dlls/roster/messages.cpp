#include "messages.h"

#include <cstdarg>
#include <cstdio>

// Filled by the messages work; minimal for now.
void LogToServer(const char* format, ...) {
  static char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof(buffer), format, args);
  va_end(args);
  HostApi::LogToServerRaw(buffer);
}
void ConsoleReply(const std::string& text) { HostApi::LogConsoleLine(text.c_str()); }
void ErrorLog(const std::string& text) { HostApi::LogErrorLine(text.c_str()); }
void NoticeAll(const std::string&, int) {}
void SendHudText(GameObject*, const HudTextParams&, const std::string&) {}
void HudAlert(GameObject*, const std::string&) {}
void HudInfo(GameObject*, const std::string&) {}
bool IsServerOperator(edict_t*) { return false; }
void NotifyOperators(const std::string&) {}

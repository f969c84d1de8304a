// Every way the plugin puts text in front of people, and the operator test.
#pragma once

#include <cstdint>
#include <string>

#include "host_api.h"

struct HudTextParams {
  float x, y;  // fractions of the screen; -1 centres
  int32_t effect;
  uint8_t r1, g1, b1, a1;
  uint8_t r2, g2, b2, a2;
  float fadeinTime, fadeoutTime, holdTime, fxTime;
  int32_t channel;
};

// Formats into the 1024-byte log buffer (cut at 1023) and logs it through
// "%s".
void LogToServer(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The server console: `text` shown exactly, line by line.
void ConsoleReply(const std::string& text);
// The plugin manager's error log: `text` shown exactly.
void ErrorLog(const std::string& text);
// Chat text to every eligible player, unless qvd_disable_notice is above 0.
void NoticeAll(const std::string& text, int destination);
void SendHudText(GameObject* player, const HudTextParams& params, const std::string& text);
void HudAlert(GameObject* player, const std::string& text);
void HudInfo(GameObject* player, const std::string& text);
// True when the player's id stands whole in mp_serverops.
bool IsServerOperator(edict_t* entity);
// HudAlert to every connected operator.
void NotifyOperators(const std::string& text);

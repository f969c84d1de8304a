#include "reply.h"

#include "hud_text.h"
#include "server_output.h"

void ReplyAlert(const CommandCaller& caller, const std::string& text) {
  if (caller.IsServerConsole()) {
    ConsoleReply(text);
  } else {
    HudAlert(caller.player, text);
  }
}

void ReplyInfo(const CommandCaller& caller, const std::string& text) {
  if (caller.IsServerConsole()) {
    ConsoleReply(text);
  } else {
    HudInfo(caller.player, text);
  }
}

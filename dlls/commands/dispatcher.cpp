#include "dispatcher.h"

// Filled by the dispatcher work; ignores everything for now.
const char kHelpText[] = "";
CommandWords ReadCommandWords() { return {}; }
bool IsCommand(const CommandWords&, const char*) { return false; }
void DispatchClientCommand(edict_t*, GameObject*) {
  HostApi::SetHookResult(HostApi::HookResult::Ignored);
}
void DispatchServerCommand() { HostApi::SetHookResult(HostApi::HookResult::Ignored); }
void ReplyAlert(const CommandCaller&, const std::string&) {}
void ReplyInfo(const CommandCaller&, const std::string&) {}

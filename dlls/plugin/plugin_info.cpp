// The plugin information, and the registration of the console variables and
// server commands.
#include "boundary.h"
#include "command_table.h"
#include "dispatcher.h"
#include "host_bind.h"
#include "plugin_shell.h"

plugin_info_t g_pluginInfo = {
    "5:10",                            // ifvers
    "Kelvane",                         // name
    kPluginVersion,                    // version
    "Mon Feb 16 02:39:40 2004",        // date
    "the kel_mm developers",           // author
    "https://example.invalid/kel_mm",  // url
    "KEL",                             // logtag
    PT_ANYPAUSE,                       // loadable
    PT_ANYPAUSE,                       // unloadable
};

namespace {

// The engine's one callback for every server command: the dispatcher reads
// the words itself.
void ServerCommandCallback() noexcept {
  AtHook([] { DispatchServerCommand(); });
}

}  // namespace

void RegisterCvarsAndCommands() {
  HostApi::RegisterConsoleVariables();
  for (const CommandRow& row : CommandTable()) {
    for (const char* word : row.words) {
      if (word) HostApi::AddServerCommand(word, ServerCommandCallback);
    }
  }
}

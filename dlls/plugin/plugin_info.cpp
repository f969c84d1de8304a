// The plugin information, console variables and server commands.
#include "commands/dispatcher.h"
#include "host_bind.h"
#include "plugin_shell.h"

plugin_info_t g_pluginInfo = {
    "5:10",                            // ifvers
    "Kelvane",                         // name
    "1.01e",                           // version
    "Mon Feb 16 02:39:40 2004",        // date
    "the kel_mm developers",           // author
    "https://example.invalid/kel_mm",  // url
    "KEL",                             // logtag
    PT_ANYPAUSE,                       // loadable
    PT_ANYPAUSE,                       // unloadable
};

namespace {

// The engine keeps and links these records: they must live as long as the
// library.  The manager registers its own copies, so the plugin reads and
// sets the variables by name and never through these.
cvar_t g_versionCvar = {"mm_kel_version", "1.01e", FCVAR_SERVER, 0.0f, nullptr};
cvar_t g_handicapCvar = {"kel_handicapteam", "none", FCVAR_PROTECTED, 0.0f, nullptr};
cvar_t g_valuesFileCvar = {"kel_playervaluesfile", "player_values.txt", FCVAR_PROTECTED, 0.0f,
                           nullptr};

const char* const kServerCommands[] = {
    "kel", "kel_help", "sl", "showlast", "ml", "movelast", "rrr", "stv", "eventeam", "eventeams",
};

void ServerCommandCallback() { DispatchServerCommand(); }

}  // namespace

void RegisterCvarsAndCommands() {
  HostApi::RegisterCvar(&g_versionCvar);
  HostApi::RegisterCvar(&g_handicapCvar);
  HostApi::RegisterCvar(&g_valuesFileCvar);
  for (const char* name : kServerCommands) HostApi::AddServerCommand(name, ServerCommandCallback);
}

// The engine's first call into the library.
#include "host_bind.h"
#include "plugin_shell.h"

KEL_EXPORT void KEL_GIVEFNPTRS_CALL GiveFnptrsToDll(enginefuncs_t* engineFunctions,
                                                    globalvars_t* globals) noexcept {
  HostApi::BindEngine(engineFunctions, globals);
  RegisterCvarsAndCommands();
}

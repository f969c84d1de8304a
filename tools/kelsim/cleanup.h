// The simulated server's private folder (a copy of the plugin, the values
// files) is removed by its destructor; a signal that ends kelsim (Ctrl-C, a
// closed output pipe, SIGTERM, a closed terminal) skips destructors, so it
// removes the folder itself before ending kelsim as the signal would.
#pragma once

#include <string>

namespace kelsim {

// From now on SIGINT, SIGTERM, SIGHUP and SIGPIPE (those not ignored when
// this is called) remove `directory` (its files, then the folder) and then
// end the program with that signal.  One folder at a time: a later call
// replaces the earlier.
void RemoveOnSignal(const std::string& directory);

}  // namespace kelsim

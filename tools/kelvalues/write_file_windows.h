// The values file written on Windows, with the same promise as on Linux:
// the target is replaced whole, once the new file is complete and flushed,
// or not at all.
#pragma once

#include <string>

namespace kelvalues {

// Writes `text` to a new file beside `path` and moves it over `path`; a
// device (NUL, CON) is written into, a folder refused.  False, with `error`
// saying why, when that failed (the target untouched, no file left).
bool WriteFileWhole(const std::string& path, const std::string& text, std::string& error);

}  // namespace kelvalues

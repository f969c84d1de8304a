// Must not compile: the roster reaching past HostApi into the raw host
// structures.
#include "host_abi.h"

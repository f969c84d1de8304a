// Must not compile: the output layer and the roster are siblings on the host
// layer; neither sees the other.
#include "roster.h"

// Must not compile: the values layer reaching up into the commands layer.
#include "dispatcher.h"

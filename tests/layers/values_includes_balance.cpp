// Must not compile: the values layer reaching up into the balance layer.
#include "balance_watch.h"

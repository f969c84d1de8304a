// Must not compile: the balance layer reaching up into the commands layer.
#include "command_table.h"

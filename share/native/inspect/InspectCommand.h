// loftwick-inspect's command line, the same on every system: each system's
// entry point hands it the arguments and its own usage text.
#ifndef INSPECTCOMMAND_H
#define INSPECTCOMMAND_H

#include "tstrings.h"

// `args` without the program's name. Returns the exit code.
int inspectCommand(const tstring_array& args, const char* usage);

#endif // INSPECTCOMMAND_H

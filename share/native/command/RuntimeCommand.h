// loftwick-pack runtime: the command line of the step that makes a runtime.
#ifndef RUNTIMECOMMAND_H
#define RUNTIMECOMMAND_H

#include <ostream>
#include <string>
#include <vector>

// `args` after "runtime". Returns the exit code.
int runtimeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

#endif // RUNTIMECOMMAND_H

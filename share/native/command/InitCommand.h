// loftwick-pack init: a first project file, from the application's jar.
#ifndef INITCOMMAND_H
#define INITCOMMAND_H

#include <ostream>
#include <string>
#include <vector>

// `args` after "init". Returns the exit code.
int initCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

#endif // INITCOMMAND_H

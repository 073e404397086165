// "loftwick-pack repository DIR PACKAGE... [options]": the repository step.
#ifndef REPOSITORYCOMMAND_H
#define REPOSITORYCOMMAND_H

#include <ostream>
#include <string>
#include <vector>

// `args` follow the word "repository". Returns the exit code: 0 written or
// up to date, 1 it could not be (the message says why), 2 bad command line.
int repositoryCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

#endif // REPOSITORYCOMMAND_H

// "loftwick-pack installer IMAGE [options]": the installer step.
#ifndef INSTALLERCOMMAND_H
#define INSTALLERCOMMAND_H

#include <ostream>
#include <string>
#include <vector>

// `args` follow the word "installer". Returns the exit code: 0 written,
// 1 it could not be (the message says why), 2 bad command line.
int installerCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

#endif // INSTALLERCOMMAND_H

// "loftwick-pack deb IMAGE [options]" and "loftwick-pack rpm IMAGE [options]".
#ifndef LINUXPACKAGECOMMAND_H
#define LINUXPACKAGECOMMAND_H

#include <ostream>
#include <string>
#include <vector>

// `format` is "deb" or "rpm"; `args` follow it. Returns the exit code: 0
// written, 1 it could not be (the message says why), 2 bad command line.
int linuxPackageCommand(const std::string& format, const std::vector<std::string>& args,
                        std::ostream& out, std::ostream& err);

#endif // LINUXPACKAGECOMMAND_H

// "loftwick-pack sign PATH... [options]": the signing step.
#ifndef SIGNCOMMAND_H
#define SIGNCOMMAND_H

#include <ostream>
#include <string>
#include <vector>

#include "ImageSigning.h"
#include "SigningRequest.h"

// `args` follow the word "sign". Returns the exit code: 0 signed and
// verified, 1 it could not be (the message says why), 2 bad command line.
int signCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Prints the summary of a Windows signing run, and the warning of a run
// without timestamps.
void printSigningSummary(const SigningReport& report, const SigningRequest& request, std::ostream& out);

#endif // SIGNCOMMAND_H

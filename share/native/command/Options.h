// The tool's command-line conventions: options are "--name value" or
// "--name=value"; repeatable ones collect one value each time, in order.
#ifndef OPTIONS_H
#define OPTIONS_H

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "PackError.h"

// A wrong command line: exit code 2 and a pointer to --help.
struct UsageError : PackError {
    using PackError::PackError;
};

struct OptionTable {
    std::map<std::string, std::function<void(const std::string&)>> single;
    std::map<std::string, std::vector<std::string>*> repeated;
    std::map<std::string, bool*> flags;
    std::vector<std::string>* operands = nullptr;  // words that are not options; null refuses them
};

// Fills what the table points to; returns the single options seen. Throws
// UsageError.
std::map<std::string, int> parseOptions(const std::vector<std::string>& args, const OptionTable& table);

#endif // OPTIONS_H

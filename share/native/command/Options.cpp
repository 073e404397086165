#include "Options.h"

std::map<std::string, int> parseOptions(const std::vector<std::string>& args, const OptionTable& t) {
    std::map<std::string, int> seen;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i];
        if (t.operands && option.rfind("--", 0) != 0) {
            t.operands->push_back(option);
            continue;
        }
        std::string value;
        const size_t eq = option.find('=');
        const bool inlineValue = option.rfind("--", 0) == 0 && eq != std::string::npos;
        if (inlineValue) {
            value = option.substr(eq + 1);
            option.erase(eq);
        }
        if (t.flags.count(option)) {
            if (inlineValue) {
                throw UsageError(option + " takes no value");
            }
            *t.flags.at(option) = true;
            continue;
        }
        if (!t.single.count(option) && !t.repeated.count(option)) {
            throw UsageError("unknown option \"" + option + "\"");
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                throw UsageError(option + " needs a value");
            }
            value = args[++i];
        }
        if (t.repeated.count(option)) {
            t.repeated.at(option)->push_back(value);
        } else if (++seen[option] > 1) {
            throw UsageError(option + " is given twice");
        } else {
            t.single.at(option)(value);
        }
    }
    return seen;
}

#include "BuildCommand.h"

#include <algorithm>
#include <sstream>

#include "BuildPlan.h"
#include "PackCommand.h"
#include "Quoting.h"

namespace fs = std::filesystem;

namespace {

const char* const usage =
"usage: loftwick-pack build [--file FILE] [--target windows|linux]... [--only WHAT]... [OPTION...]\n"
"\n"
"Makes every artefact that the project file (default: loftwick.toml here) describes:\n"
"for [windows], the runtime ([windows.jlink]), the image and the .msi\n"
"([windows.installer]); for [linux], the runtime ([linux.jlink]), the image, the\n"
".deb ([linux.deb]) and the .rpm ([linux.rpm]); [windows.signing] signs the image\n"
"and the .msi, [linux.signing] the .rpm; [linux.repository] adds the packages the\n"
"build made to a repository. Each step is the command line it prints, with the\n"
"same checks.\n"
"\n"
"  --file FILE             the project file\n"
"  --target windows|linux  only that target's artefacts (repeatable)\n"
"  --only WHAT             only runtime, image, msi, deb, rpm or repository (repeatable)\n"
"  OPTION                  any option of a step, such as --app-version 2.0: it replaces\n"
"                          the file's setting in every step that takes it, for this run\n"
"\n"
"Every artefact is made anew each time.\n";

struct BuildArgs {
    fs::path file = "loftwick.toml";
    std::vector<std::string> targets, only;
    std::vector<std::pair<std::string, std::vector<std::string>>> overrides;
};

// A wrong command line: exit code 2.
struct BadCommandLine {
    std::string what;
};

BuildArgs parse(const std::vector<std::string>& args) {
    BuildArgs b;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i], value;
        const size_t eq = option.find('=');
        const bool inlineValue = option.rfind("--", 0) == 0 && eq != std::string::npos;
        if (inlineValue) {
            value = option.substr(eq + 1);
            option.erase(eq);
        }
        if (option.rfind("--", 0) != 0) {
            throw BadCommandLine{"\"" + option + "\" is no option"};
        }
        bool takesValue = true;
        if (option != "--file" && option != "--target" && option != "--only") {
            try {
                takesValue = overrideTakesValue(option);
            } catch (const ProjectError& e) {
                throw BadCommandLine{e.what()};
            }
        }
        if (takesValue && !inlineValue) {
            if (i + 1 >= args.size()) {
                throw BadCommandLine{option + " needs a value"};
            }
            value = args[++i];
        }
        if (option == "--file") {
            b.file = fs::u8path(value);
        } else if (option == "--target") {
            if (value != "windows" && value != "linux") {
                throw BadCommandLine{"--target is windows or linux, not \"" + value + "\""};
            }
            b.targets.push_back(value);
        } else if (option == "--only") {
            static const std::vector<std::string> kinds = {"runtime", "image", "msi", "deb", "rpm", "repository"};
            if (std::find(kinds.begin(), kinds.end(), value) == kinds.end()) {
                throw BadCommandLine{"--only is runtime, image, msi, deb, rpm or repository, not \"" + value + "\""};
            }
            b.only.push_back(value);
        } else {
            auto same = std::find_if(b.overrides.begin(), b.overrides.end(),
                                     [&](const auto& o) { return o.first == option; });
            if (same == b.overrides.end()) {
                b.overrides.push_back({option, {}});
                same = b.overrides.end() - 1;
            }
            if (takesValue) {
                same->second.push_back(value);
            }
        }
    }
    return b;
}

// An argument as a shell would need it: plain words as they are.
std::string shown(const std::string& arg) {
    const bool plain = !arg.empty() && arg.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                             "0123456789_./=:@%+,-") == std::string::npos;
    return plain ? arg : shellWord(arg);
}

// Runs a step in `dir` (where an output without a name goes), and comes back.
int runIn(const fs::path& dir, const std::vector<std::string>& args, const fs::path& self, std::ostream& out,
          std::ostream& err) {
    const fs::path before = fs::current_path();
    if (!dir.empty()) {
        fs::create_directories(dir);
        fs::current_path(dir);
    }
    const int code = packCommand(args, self, out, err);
    fs::current_path(before);
    return code;
}

} // namespace

int buildCommand(const std::vector<std::string>& args, const fs::path& self, std::ostream& out,
                 std::ostream& err) {
    if (args.size() == 1 && args[0] == "--help") {
        out << usage;
        return 0;
    }
    BuildArgs b;
    try {
        b = parse(args);
    } catch (const BadCommandLine& e) {
        err << "loftwick-pack build: " << e.what << "\n(build --help lists the options)\n";
        return 2;
    }
    std::vector<BuildStep> steps;
    try {
        steps = buildSteps(readProject(fs::absolute(b.file)), b.targets, b.only, b.overrides);
    } catch (const ProjectError& e) {
        err << e.what() << "\n";
        return 2;
    }
    if (steps.empty()) {
        err << "loftwick-pack build: the project file describes nothing for the targets and artefacts named\n";
        return 2;
    }
    std::vector<std::string> packages;  // what the deb and rpm steps wrote
    for (const BuildStep& step : steps) {
        std::vector<std::string> stepArgs = step.args;
        if (step.takesPackages) {
            if (packages.empty()) {
                err << "loftwick-pack build: the repository step adds the packages a build makes, and this "
                       "one made none (--only deb, rpm and repository together)\n";
                return 2;
            }
            stepArgs.insert(stepArgs.begin() + 2, packages.begin(), packages.end());
        }
        std::string line = "loftwick-pack";
        for (const std::string& a : stepArgs) {
            line += " " + shown(a);
        }
        out << "== " << step.target << " " << step.what << ": " << line << "\n";
        out.flush();
        std::ostringstream said;
        const bool isPackage = step.what == "deb" || step.what == "rpm";
        const int code = runIn(step.workingDirectory, stepArgs, self, isPackage ? said : out, err);
        if (isPackage) {
            out << said.str();
            const std::string text = said.str();
            const size_t at = text.rfind("Wrote ");
            if (code == 0 && at != std::string::npos) {
                const std::string written = text.substr(at + 6, text.find('\n', at) - at - 6);
                packages.push_back((step.workingDirectory / fs::u8path(written)).u8string());
            }
        }
        if (code != 0) {
            err << "loftwick-pack build: the " << step.target << " " << step.what << " step failed; "
                << "nothing after it was made\n";
            return code;
        }
    }
    out << "Built " << steps.size() << (steps.size() == 1 ? " artefact" : " artefacts")
        << ", each made anew: a build never takes an earlier artefact as up to date\n";
    return 0;
}

#include "DebPackage.h"

#include <system_error>

#include "PackError.h"
#include "Packager.h"
#include "ToolRun.h"

namespace fs = std::filesystem;

namespace {

const char* const dpkgDebMissing =
    "dpkg-deb, which builds .deb packages, is not installed (or not on PATH): install it with "
    "\"sudo apt install dpkg-dev\" (Debian, Ubuntu), \"sudo dnf install dpkg\" (Fedora) or "
    "\"brew install dpkg\" (macOS)";

// An extended description: each line starts with a space, an empty one is " .".
std::string extended(const std::string& text) {
    std::string out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        const std::string line = text.substr(start, end - start);
        out += line.empty() ? " .\n" : " " + line + "\n";
        start = end + 1;
    }
    return out;
}

} // namespace

std::string debianControl(const PackagePlan& plan, const Product& product, const Stage& stage,
                          const std::vector<std::string>& depends) {
    std::string text = "Package: " + plan.packageName + "\nVersion: " + product.version
                       + "\nArchitecture: amd64\nMaintainer: " + plan.maintainer
                       + "\nInstalled-Size: " + std::to_string((stage.installedBytes + 1023) / 1024) + "\n";
    if (!depends.empty()) {
        text += "Depends: ";
        for (size_t i = 0; i < depends.size(); ++i) {
            text += (i ? ", " : "") + depends[i];
        }
        text += "\n";
    }
    if (!plan.homepage.empty()) {
        text += "Homepage: " + plan.homepage + "\n";
    }
    return text + "Section: misc\nPriority: optional\nDescription: " + product.description + "\n"
           + extended(product.name + " " + product.version + ", from " + product.vendor
                      + ", with the Java runtime it runs on.");
}

void buildDeb(const PackagePlan& plan, const Product& product, const Stage& stage,
              const std::vector<std::string>& depends, const fs::path& deb) {
    const fs::path dpkgDeb = findProgram("dpkg-deb");
    if (dpkgDeb.empty()) {
        throw PackError(dpkgDebMissing);
    }
    std::error_code ec;
    fs::create_directory(stage.root / "DEBIAN", ec);
    const std::string control = debianControl(plan, product, stage, depends);
    writeBinaryFile(stage.root / "DEBIAN" / "control", Bytes(control.begin(), control.end()));
    fs::permissions(stage.root / "DEBIAN", static_cast<fs::perms>(0755), ec);
    fs::permissions(stage.root / "DEBIAN" / "control", static_cast<fs::perms>(0644), ec);
    std::string output;
    // root:root whoever builds it; xz, which every dpkg since Debian 6 reads.
    if (!runProgram(dpkgDeb, {"--root-owner-group", "-Zxz", "--build", stage.root.u8string(), deb.u8string()},
                    stage.root.parent_path(), output)) {
        throw PackError("dpkg-deb could not build the package:\n" + output);
    }
}

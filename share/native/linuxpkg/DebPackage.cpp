#include "DebPackage.h"

#include <algorithm>
#include <system_error>

#include "PackError.h"
#include "Packager.h"
#include "Quoting.h"
#include "ToolRun.h"

namespace fs = std::filesystem;

namespace {

const char* const dpkgDebMissing =
    "dpkg-deb, which builds .deb packages, is not installed (or not on PATH): install it with "
    "\"sudo apt install dpkg-dev\" (Debian, Ubuntu), \"sudo dnf install dpkg\" (Fedora) or "
    "\"brew install dpkg\" (macOS)";

bool isPackageNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

bool isVersionCharacter(char c) {
    return isPackageNameCharacter(c) || (c >= 'A' && c <= 'Z') || c == '~' || c == ':';
}

// "name" or "name (OP version)".
bool isSimpleRelation(const std::string& text) {
    const size_t open = text.find(" (");
    const std::string name = text.substr(0, open);
    if (!isDebianPackageName(name)) {
        return false;
    }
    if (open == std::string::npos) {
        return true;
    }
    const std::string rest = text.substr(open + 2);
    size_t op = 0;
    for (const char* o : {"<<", "<=", ">=", ">>", "="}) {
        if (rest.rfind(o, 0) == 0) {
            op = std::string(o).size();
            break;
        }
    }
    if (op == 0 || rest.size() < op + 3 || rest[op] != ' ' || rest.back() != ')') {
        return false;
    }
    const std::string version = rest.substr(op + 1, rest.size() - op - 2);
    return !version.empty() && std::all_of(version.begin(), version.end(), isVersionCharacter);
}

} // namespace

bool isDebianPackageName(const std::string& name) {
    return name.size() >= 2 && name[0] != '+' && name[0] != '-' && name[0] != '.'
           && std::all_of(name.begin(), name.end(), isPackageNameCharacter);
}

void checkDebianRelation(const std::string& relation, const std::string& what) {
    size_t start = 0;
    for (;;) {
        const size_t bar = relation.find(" | ", start);
        if (!isSimpleRelation(relation.substr(start, bar == std::string::npos ? std::string::npos : bar - start))) {
            throw PackError(what + " " + shownValue(relation) + " is not a package relation, such as "
                            "\"libfoo1\", \"libfoo1 (>= 1.2)\" or \"libfoo2 | libfoo1\"");
        }
        if (bar == std::string::npos) {
            return;
        }
        start = bar + 3;
    }
}

std::string debianControl(const PackagePlan& plan, const Product& product, const Stage& stage,
                          const std::vector<std::string>& depends) {
    const auto field = [](const char* name, const std::string& value, const std::string& what) {
        return std::string(name) + ": " + controlFieldValue(value, what) + "\n";
    };
    std::string text = field("Package", plan.packageName, "the package name")
                       + field("Version", product.version, "the version") + "Architecture: amd64\n"
                       + field("Maintainer", plan.maintainer, "the maintainer")
                       + "Installed-Size: " + std::to_string((stage.installedBytes + 1023) / 1024) + "\n";
    for (const auto& relations : {std::make_pair("Depends", &depends),
                                  std::make_pair("Recommends", &plan.recommends)}) {
        std::string list;
        for (const std::string& relation : *relations.second) {
            checkDebianRelation(relation, std::string("a package of ") + relations.first);
            list += (list.empty() ? "" : ", ") + relation;
        }
        if (!list.empty()) {
            text += field(relations.first, list, std::string("the field ") + relations.first);
        }
    }
    if (!plan.homepage.empty()) {
        text += field("Homepage", plan.homepage, "the homepage");
    }
    return text + "Section: misc\nPriority: optional\n" + field("Description", product.description, "the description")
           + controlContinuation(longDescription(product), "the product name, version or vendor");
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
    std::string conffiles;
    for (const StagedFile& f : stage.files) {
        if (f.config) {
            conffiles += f.path + "\n";
        }
    }
    if (!conffiles.empty()) {
        writeBinaryFile(stage.root / "DEBIAN" / "conffiles", Bytes(conffiles.begin(), conffiles.end()));
        fs::permissions(stage.root / "DEBIAN" / "conffiles", static_cast<fs::perms>(0644), ec);
    }
    std::string output;
    // root:root whoever builds it; xz, which every dpkg since Debian 6 reads.
    if (!runProgram(dpkgDeb, {"--root-owner-group", "-Zxz", "--build", stage.root.u8string(), deb.u8string()},
                    stage.root.parent_path(), output)) {
        throw PackError("dpkg-deb could not build the package:\n" + output);
    }
}

#include "LinuxPackage.h"

#include "Gpg.h"
#include "SourceFiles.h"

#include <algorithm>
#include <set>
#include <system_error>

#include "DebPackage.h"
#include "HicolorIcons.h"
#include "OutputFile.h"
#include "PackError.h"
#include "Packager.h"
#include "Quoting.h"
#include "RpmPackage.h"
#include "ToolRun.h"
#include "ScratchDirectory.h"
#include "Utf16.h"

namespace fs = std::filesystem;

namespace {

std::string inQuotes(const std::string& text) {
    return "\"" + text + "\"";
}

bool isLower(char c) { return c >= 'a' && c <= 'z'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string lowerCase(std::string text) {
    for (char& c : text) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return text;
}

void checkPackageName(const std::string& name, bool derived) {
    if (!isDebianPackageName(name)) {
        throw PackError("the package name " + inQuotes(name) + (derived ? ", the image's name in lower case," : "")
                        + " is not two or more of a-z, 0-9, '+', '-' and '.', starting with a letter "
                        "or digit, as package managers require: give one with --package-name");
    }
}

// Control characters would break the lines of the control file or of
// rpmbuild's recipe (a line break would add a field, or a recipe section
// that runs commands).
void checkText(const std::string& text, const std::string& what) {
    if (text.empty()) {
        throw PackError(what + " is empty");
    }
    utf8ToUtf16(text, what);  // throws for text that is not UTF-8
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20) {
            throw PackError(what + " " + inQuotes(text) + " holds a control character, which a "
                            "package's one-line fields cannot carry");
        }
    }
}

void checkMaintainer(const std::string& maintainer) {
    const size_t open = maintainer.find('<'), at = maintainer.find('@'), close = maintainer.find('>');
    if (open == std::string::npos || open == 0 || at < open || close < at || close + 1 != maintainer.size()) {
        throw PackError("a .deb names who maintains it, as \"Name <address>\": give --maintainer "
                        "(\"" + maintainer + "\" is not that)");
    }
}

std::vector<LinuxFileType> checkedFileTypes(const std::vector<FileAssociation>& given,
                                            const std::string& packageName) {
    std::vector<LinuxFileType> result;
    std::set<std::string> seen;
    for (const FileAssociation& a : given) {
        const std::string extension = checkedExtension(a.extension);
        static const std::set<std::string> system = {".desktop", ".sh", ".run", ".appimage", ".deb",
                                                     ".rpm", ".jar", ".jnlp", ".py", ".pl", ".exe"};
        if (system.count(lowerCase(extension))) {
            throw PackError("the file type " + inQuotes(extension) + " is one the desktop runs or "
                            "installs (programs, scripts, packages): the application would become "
                            "its opener; give a type of the application's own");
        }
        if (!seen.insert(lowerCase(extension)).second) {
            throw PackError("the file type " + inQuotes(extension) + " is given twice");
        }
        checkText(a.description, "the description of " + extension);
        result.push_back({extension, a.description, "application/x-" + packageName + "-"
                                                        + lowerCase(extension.substr(1))});
    }
    return result;
}

void applyOverrides(const LinuxPackageRequest& r, LinuxImage& image) {
    Product& p = image.product;
    for (const auto& o : {std::make_pair(&r.productName, &p.name), std::make_pair(&r.version, &p.version),
                          std::make_pair(&r.vendor, &p.vendor), std::make_pair(&r.description, &p.description)}) {
        if (!o.first->empty()) {
            *o.second = *o.first;
        }
    }
}

PackagePlan planOf(const LinuxPackageRequest& r, const LinuxImage& image) {
    PackagePlan plan;
    plan.packageName = r.packageName.empty() ? lowerCase(image.name) : r.packageName;
    checkPackageName(plan.packageName, r.packageName.empty());
    plan.installDir = (r.usrLib ? "/usr/lib/" : "/opt/") + plan.packageName;
    plan.maintainer = r.maintainer;
    plan.license = r.license.empty() ? "Proprietary" : r.license;
    checkText(plan.license, "the license");
    for (const auto& text : {std::make_pair(&r.maintainer, "the maintainer"),
                             std::make_pair(&r.homepage, "the homepage")}) {
        if (!text.first->empty()) {
            checkText(*text.first, text.second);
        }
    }
    if (r.homepage.find_first_of(" \t") != std::string::npos) {
        throw PackError("the homepage " + inQuotes(r.homepage) + " holds a space, which no web address has");
    }
    plan.release = r.release.empty() ? "1" : r.release;
    plan.desktopEntry = r.desktopEntry;
    plan.categories = withMainCategory(r.categories);
    plan.fileTypes = checkedFileTypes(r.fileTypes, plan.packageName);
    for (const auto& given : {std::make_pair(&r.depends, &plan.depends),
                              std::make_pair(&r.recommends, &plan.recommends)}) {
        for (const std::string& relation : *given.first) {
            const std::string what = given.first == &r.depends ? "--depends" : "--recommends";
            if (r.format == LinuxPackageRequest::Deb) {
                checkDebianRelation(relation, what);
            } else {
                checkRpmRelation(relation, what);
            }
            given.second->push_back(relation);
        }
    }
    plan.libraryPackages = r.libraryPackages;
    for (const auto& given : plan.libraryPackages) {
        checkDebianRelation(given.second, "the package --library-package names for " + shownValue(given.first));
    }
    plan.debian = r.format == LinuxPackageRequest::Deb;
    plan.homepage = r.homepage;
    if (r.format == LinuxPackageRequest::Deb) {
        checkMaintainer(plan.maintainer);
    }
    if (r.format == LinuxPackageRequest::Rpm && linuxVersionProblem(plan.release, r.format) != "") {
        throw PackError("the release " + inQuotes(plan.release) + " is not one of digits and dots");
    }
    if (r.repositoryUrl.empty() != r.repositoryKey.empty()) {
        throw PackError("a repository is named by its URL (--repository-url) and the public key that "
                        "signs it (--repository-key), both");
    }
    if (!r.repositoryUrl.empty()) {
        plan.repositoryUrl = checkedRepositoryUrl(r.repositoryUrl);
        const PublicKey key = readPublicKey(r.repositoryKey);
        plan.keyBinary = key.binary;
        plan.keyArmored = key.armored;
    }
    return plan;
}

std::vector<std::string> dependencies(const LinuxPackageRequest& r, const PackagePlan& plan,
                                      const Stage& stage) {
    if (r.format == LinuxPackageRequest::Rpm) {
        std::vector<std::string> requires = rpmRequires(stage.needs);
        requires.insert(requires.end(), plan.depends.begin(), plan.depends.end());
        return requires;
    }
    std::vector<std::string> unknown;
    std::vector<std::string> depends = debianDepends(stage.needs, plan.libraryPackages, unknown);
    depends.insert(depends.end(), plan.depends.begin(), plan.depends.end());
    if (!unknown.empty()) {
        std::string list;
        for (const std::string& u : unknown) {
            list += (list.empty() ? "" : ", ") + u;
        }
        throw PackError("no package is known to provide " + list + ", which the image's native code "
                        "needs: name one with --library-package LIBRARY=PACKAGE (for example "
                        "--library-package " + unknown.front() + "=libexample1)");
    }
    return depends;
}

void checkProduct(const Product& product, LinuxPackageRequest::Format format) {
    checkText(product.name, "the product name");
    checkText(product.vendor, "the vendor");
    checkText(product.description, "the description");
    const std::string versionProblem = linuxVersionProblem(product.version, format);
    if (!versionProblem.empty()) {
        throw PackError("the version " + inQuotes(product.version) + " " + versionProblem
                        + "; give another with --app-version");
    }
}

// The description is the package's one-line summary, which the checkers
// read after the package's name ("notes provides ...").
std::string synopsisProblem(const std::string& description, const std::string& packageName) {
    const std::string synopsis = lowerCase(description);
    for (const std::string& start : {packageName, std::string("a "), std::string("an "), std::string("the ")}) {
        if (synopsis.rfind(start, 0) == 0) {
            return "the description " + inQuotes(description) + " is the package's one-line summary, "
                   "which package checkers want to start with neither an article nor the package's "
                   "name; --description gives another";
        }
    }
    return std::string();
}

// One word is no summary to the package checkers, which refuse it: an
// image packed without --description has only its name.
void giveASummary(Product& product, std::vector<std::string>& warnings) {
    if (product.description.find(' ') == std::string::npos) {
        const std::string summary = "Java application " + product.name;
        warnings.push_back("the description " + inQuotes(product.description) + " is one word (an image packed "
                           "without --description has its name): the package's one-line summary says \""
                           + summary + "\" instead; --description gives one");
        product.description = summary;
    }
}

// Whether apt, where this machine has it, knows a package of that name.
bool isDistributionPackage(const std::string& name) {
    const std::filesystem::path aptCache = findProgram("apt-cache");
    std::string output;
    return !aptCache.empty() && runProgram(aptCache, {"show", "--no-all-versions", name}, ".", output)
           && output.find("Package: " + name + "\n") != std::string::npos;
}

} // namespace

std::string linuxVersionProblem(const std::string& version, LinuxPackageRequest::Format format) {
    const bool deb = format == LinuxPackageRequest::Deb;
    if (version.empty() || !isDigit(version[0])) {
        return "does not start with a digit, which both package managers need to order versions";
    }
    for (const char c : version) {
        if (c == '-') {
            return deb ? "holds '-', which Debian reads as the start of the package's own revision"
                       : "holds '-', which rpm keeps between the version and the release";
        }
        const bool allowed = isDigit(c) || isLower(c) || (c >= 'A' && c <= 'Z') || c == '.' || c == '+'
                             || c == '~' || (!deb && (c == '_' || c == '^'));
        if (!allowed) {
            return std::string("holds '") + c + "', which " + (deb ? "a Debian" : "an RPM")
                   + " version cannot carry (" + (deb ? "letters, digits, '.', '+' and '~'"
                                                      : "letters, digits, '.', '+', '~', '_' and '^'") + ")";
        }
    }
    return std::string();
}

LinuxPackageResult makeLinuxPackage(const LinuxPackageRequest& r) {
    LinuxImage image = readLinuxImage(fs::absolute(r.image).lexically_normal());
    applyOverrides(r, image);
    checkProduct(image.product, r.format);
    std::vector<std::string> warnings;
    giveASummary(image.product, warnings);
    const Product& product = image.product;
    PackagePlan plan = planOf(r, image);
    plan.iconFile = !r.icon.empty() ? r.icon
                  : product.icon.empty() ? fs::path() : image.dir / "lib" / fs::u8path(product.icon);
    if (!plan.iconFile.empty()) {
        hicolorIcons(readBinaryFile(plan.iconFile, iconFileLimit), shown(plan.iconFile));
    }
    const bool deb = r.format == LinuxPackageRequest::Deb;
    LinuxPackageResult result;
    result.written = fs::absolute(!r.output.empty() ? r.output
        : fs::u8path(deb ? plan.packageName + "_" + product.version + "_amd64.deb"
                         : plan.packageName + "-" + product.version + "-" + plan.release + ".x86_64.rpm"));
    if (isWithin(result.written, image.dir)) {
        throw PackError("the output " + shown(result.written) + " lies inside the image, which "
                        "the package must not change");
    }
    refuseExisting(result.written, r.replace, deb ? OutputKind{"a .deb file", "!<arch>\n"}
                                                  : OutputKind{"an .rpm file", "\xED\xAB\xEE\xDB"});
    const ScratchDirectory scratch(result.written);
    const fs::path root = scratch.path / "root";
    fs::create_directory(root);
    const Stage stage = stagePackage(plan, image, root);
    result.dependencies = dependencies(r, plan, stage);
    result.warnings = warnings;
    result.warnings.insert(result.warnings.end(), stage.warnings.begin(), stage.warnings.end());
    if (!synopsisProblem(product.description, plan.packageName).empty()) {
        result.warnings.push_back(synopsisProblem(product.description, plan.packageName));
    }
    if (isDistributionPackage(plan.packageName)) {
        result.warnings.push_back("the package name " + inQuotes(plan.packageName) + " is also a package of "
                                  "this machine's distribution (apt-cache knows it): the two would replace "
                                  "or conflict with each other; --package-name gives another");
    }
    const fs::path built = scratch.path / (deb ? "package.deb" : "package.rpm");
    if (deb) {
        buildDeb(plan, product, stage, result.dependencies, built);
    } else {
        buildRpm(plan, product, stage, result.dependencies, built);
    }
    std::error_code ec;
    fs::rename(built, result.written, ec);
    if (ec) {
        throw PackError("cannot write " + shown(result.written) + ": " + ec.message());
    }
    return result;
}

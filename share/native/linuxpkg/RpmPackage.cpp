// The build machine's rpm configuration is kept out: no automatic
// dependencies (they would name the build machine's libraries), no
// post-install processing, no debug package, no build-id links that would
// clash between packages that hold the same runtime.
#include "RpmPackage.h"

#include <system_error>

#include "PackError.h"
#include "Packager.h"
#include "ToolRun.h"

namespace fs = std::filesystem;

namespace {

const char* const rpmbuildMissing =
    "rpmbuild, which builds .rpm packages, is not installed (or not on PATH): install it with "
    "\"sudo apt install rpm\" (Debian, Ubuntu), \"sudo dnf install rpm-build\" (Fedora) or "
    "\"brew install rpm\" (macOS)";


std::string shellQuoted(const std::string& word) {
    std::string out = "'";
    for (const char c : word) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// '%' doubled, so rpm expands no macro of the user's text.
std::string macroSafe(const std::string& text) {
    std::string out;
    for (const char c : text) {
        out += c == '%' ? std::string("%%") : std::string(1, c);
    }
    return out;
}

// A path in %files: quoted, and macro-safe.
std::string filePath(const std::string& path) {
    return "\"" + macroSafe(path) + "\"";
}

} // namespace

std::string rpmRecipe(const PackagePlan& plan, const Product& product, const Stage& stage,
                    const std::vector<std::string>& requires) {
    std::string text = "Name: " + plan.packageName + "\nVersion: " + product.version + "\nRelease: "
                       + plan.release + "\nSummary: " + macroSafe(product.description) + "\nLicense: "
                       + macroSafe(plan.license) + "\nVendor: " + macroSafe(product.vendor) + "\n";
    if (!plan.maintainer.empty()) {
        text += "Packager: " + macroSafe(plan.maintainer) + "\n";
    }
    if (!plan.homepage.empty()) {
        text += "URL: " + macroSafe(plan.homepage) + "\n";
    }
    text += "Group: Applications/Productivity\n";
    text += "AutoReqProv: no\n";
    for (const std::string& r : requires) {
        text += "Requires: " + r + "\n";
    }
    text += "\n%description\n" + macroSafe(product.name + " " + product.version + ", from " + product.vendor
                                           + ", with the Java runtime it runs on.")
            + "\n\n%install\ncp -a " + shellQuoted(stage.root.u8string() + "/.") + " \"%{buildroot}/\"\n"
            "\n%files\n";
    for (const StagedFile& f : stage.files) {
        if (f.kind == StagedFile::Directory) {
            if (f.ownedDirectory) {
                text += "%dir %attr(0755,root,root) " + filePath(f.path) + "\n";
            }
        } else if (f.kind == StagedFile::Link) {
            text += "%attr(-,root,root) " + filePath(f.path) + "\n";
        } else if (f.path.rfind("/usr/share/doc/", 0) == 0) {
            text += "%doc %attr(0644,root,root) " + filePath(f.path) + "\n";
        } else {
            char mode[8];
            std::snprintf(mode, sizeof(mode), "%04o", f.mode);
            text += std::string("%attr(") + mode + ",root,root) " + filePath(f.path) + "\n";
        }
    }
    return text + "\n%changelog\n* " + changelogDate("%a %b %d %Y") + " "
           + macroSafe(plan.maintainer.empty() ? product.vendor : plan.maintainer) + " - " + product.version
           + "-" + plan.release + "\n- " + macroSafe(product.name + " " + product.version) + ".\n";
}

void buildRpm(const PackagePlan& plan, const Product& product, const Stage& stage,
              const std::vector<std::string>& requires, const fs::path& rpm) {
    const fs::path rpmbuild = findProgram("rpmbuild");
    if (rpmbuild.empty()) {
        throw PackError(rpmbuildMissing);
    }
    const fs::path top = stage.root.parent_path() / "rpm";
    std::error_code ec;
    fs::create_directories(top, ec);
    const std::string recipe = rpmRecipe(plan, product, stage, requires);
    writeBinaryFile(top / "package.recipe", Bytes(recipe.begin(), recipe.end()));
    const std::string out = (top / "out").u8string();
    std::string output;
    const bool ok = runProgram(rpmbuild, {
        "-bb", "--quiet", "--nodeps",
        "--define", "_topdir " + top.u8string(),
        "--define", "_rpmdir " + out,
        "--define", "_build_name_fmt package.rpm",
        "--define", "_buildhost localhost",
        "--define", "debug_package %{nil}",
        "--define", "__os_install_post %{nil}",
        "--define", "_build_id_links none",
        "--define", "_binary_payload w6T.xzdio",
        "--define", "_target_cpu x86_64",
        "--target", "x86_64-linux",
        "--dbpath", (top / "db").u8string(),
        (top / "package.recipe").u8string()}, top, output);
    if (!ok || !fs::is_regular_file(out + "/package.rpm", ec)) {
        throw PackError("rpmbuild could not build the package:\n" + output);
    }
    fs::rename(out + "/package.rpm", rpm, ec);
    if (ec) {
        throw PackError("cannot write " + shown(rpm) + ": " + ec.message());
    }
}

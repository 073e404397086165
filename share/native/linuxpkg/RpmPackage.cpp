// The build machine's rpm configuration is kept out: no automatic
// dependencies (they would name the build machine's libraries), no
// post-install processing, no debug package, no build-id links that would
// clash between packages that hold the same runtime.
#include "RpmPackage.h"

#include <algorithm>
#include <system_error>

#include "Licenses.h"
#include "PackError.h"
#include "Packager.h"
#include "Quoting.h"
#include "ScratchDirectory.h"
#include "ToolRun.h"

namespace fs = std::filesystem;

namespace {

const char* const rpmbuildMissing =
    "rpmbuild, which builds .rpm packages, is not installed (or not on PATH): install it with "
    "\"sudo apt install rpm\" (Debian, Ubuntu), \"sudo dnf install rpm-build\" (Fedora) or "
    "\"brew install rpm\" (macOS)";

std::string tag(const char* name, const std::string& value, const std::string& what) {
    return std::string(name) + ": " + rpmMacroText(value, what) + "\n";
}

// Lines of text, each as macro text.
std::string rpmLines(const std::string& text, const std::string& what) {
    std::string out;
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        out += (start ? "\n" : "") + rpmMacroText(text.substr(start, end - start), what);
        start = end + 1;
    }
    return out;
}

// RPM distributions name licenses by their SPDX identifiers.
std::string license(const std::string& given) {
    CommonLicense common;
    return commonLicense(given, common) ? common.spdx : given;
}

bool isBelow(const std::string& path, const std::string& dir) {
    return path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 && path[dir.size()] == '/';
}

// The file list names only paths of the tool's own making: the image's
// folder as one entry, which rpmbuild walks itself, so no name of the
// application's files is ever read as recipe text. Modes are the stage's.
std::string fileList(const PackagePlan& plan, const Stage& stage) {
    std::string text = "%files\n%defattr(-,root,root,-)\n" + rpmFilePath(plan.installDir, "the install folder")
                       + "\n";
    for (const StagedFile& f : stage.files) {
        if (f.kind == StagedFile::Directory || f.path == plan.installDir || isBelow(f.path, plan.installDir)) {
            continue;
        }
        const std::string path = rpmFilePath(f.path, "the package's file");
        const bool doc = f.kind == StagedFile::File && isBelow(f.path, "/usr/share/doc");
        text += (doc ? "%doc " : f.config ? "%config(noreplace) " : "") + path + "\n";
    }
    return text;
}

// rpmbuild and the shell lines of its own that it runs read its folders'
// paths as macro text and inside double quotes: it is given a path of the
// tool's own making that leads to the work folder, whatever the output's
// path holds.
class PlainAlias {
public:
    explicit PlainAlias(const fs::path& target)
        : dir(fs::temp_directory_path() / "loftwick-rpm"), link(dir.path / "work") {
        rpmFilePath(dir.path.generic_u8string(), "the temporary folder (TMPDIR)");
        std::error_code ec;
        fs::create_directory_symlink(target, link, ec);
        if (ec) {
            throw PackError("cannot make the link " + shown(link) + ": " + ec.message());
        }
    }
    const fs::path& path() const { return link; }

private:
    const ScratchDirectory dir;  // removed, the link in it with it
    const fs::path link;
};

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
           || std::string("._+-/()").find(c) != std::string::npos;
}

bool isVersionCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
           || std::string("._+~^:-").find(c) != std::string::npos;
}

} // namespace

void checkRpmRelation(const std::string& relation, const std::string& what) {
    const size_t space = relation.find(' ');
    const std::string name = relation.substr(0, space);
    bool valid = !name.empty() && name[0] != '-' && std::all_of(name.begin(), name.end(), isNameCharacter);
    if (valid && space != std::string::npos) {
        const size_t second = relation.find(' ', space + 1);
        const std::string op = relation.substr(space + 1, second == std::string::npos ? 0 : second - space - 1);
        const std::string version = second == std::string::npos ? std::string() : relation.substr(second + 1);
        valid = (op == "<" || op == "<=" || op == "=" || op == ">=" || op == ">") && !version.empty()
                && std::all_of(version.begin(), version.end(), isVersionCharacter);
    }
    if (!valid) {
        throw PackError(what + " " + shownValue(relation) + " is not a package relation of rpm, such as "
                        "\"libfoo\" or \"libfoo >= 1.2\"");
    }
}

std::string rpmRecipe(const PackagePlan& plan, const Product& product, const Stage& stage,
                      const std::vector<std::string>& requires) {
    std::string text = tag("Name", plan.packageName, "the package name")
                       + tag("Version", product.version, "the version")
                       + tag("Release", plan.release, "the release")
                       + tag("Summary", product.description, "the description")
                       + tag("License", license(plan.license), "the license")
                       + tag("Vendor", product.vendor, "the vendor")
                       + tag("Packager", plan.maintainer.empty() ? product.vendor : plan.maintainer,
                             "the maintainer");
    if (!plan.homepage.empty()) {
        text += tag("URL", plan.homepage, "the homepage");
    }
    text += "Group: Applications/Productivity\nAutoReqProv: no\n";
    for (const std::string& r : requires) {
        text += tag("Requires", r, "the requirement");
    }
    for (const std::string& r : plan.recommends) {
        text += tag("Recommends", r, "the recommended package");
    }
    // No line of the description starts with '%', which would begin a
    // section however it is escaped.
    text += "\n%description\n"
            + rpmLines(longDescription(product), "the product name, version or vendor")
            + "\n\n%install\n"
            + rpmMacroText("cp -a " + shellWord(stage.root.u8string() + "/.") + " \"$RPM_BUILD_ROOT/\"",
                           "the work folder")
            + "\n\n" + fileList(plan, stage);
    return text + "\n%changelog\n* " + changelogDate("%a %b %d %Y") + " "
           + rpmMacroText(plan.maintainer.empty() ? product.vendor : plan.maintainer, "the maintainer") + " - "
           + rpmMacroText(product.version + "-" + plan.release, "the version") + "\n- "
           + rpmMacroText(product.name + " " + product.version + ".", "the product name") + "\n";
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
    const PlainAlias work(stage.root.parent_path());
    Stage seen = stage;
    seen.root = work.path() / stage.root.filename();
    const std::string recipe = rpmRecipe(plan, product, seen, requires);
    writeBinaryFile(top / "package.recipe", Bytes(recipe.begin(), recipe.end()));
    const std::string at = work.path().u8string() + "/rpm";
    std::string output;
    const bool ok = runProgram(rpmbuild, {
        "-bb", "--quiet", "--nodeps",
        "--define", "_topdir " + rpmMacroText(at, "the work folder"),
        "--define", "_rpmdir " + rpmMacroText(at + "/out", "the work folder"),
        "--define", "_build_name_fmt package.rpm",
        "--define", "_buildhost localhost",
        "--define", "debug_package %{nil}",
        "--define", "__os_install_post %{nil}",
        "--define", "_build_id_links none",
        "--define", "_binary_payload w6T.xzdio",
        "--define", "_target_cpu x86_64",
        "--target", "x86_64-linux",
        "--dbpath", at + "/db",
        at + "/package.recipe"}, work.path(), output);
    const fs::path built = top / "out" / "package.rpm";
    if (!ok || !fs::is_regular_file(built, ec)) {
        throw PackError("rpmbuild could not build the package:\n" + output);
    }
    fs::rename(built, rpm, ec);
    if (ec) {
        throw PackError("cannot write " + shown(rpm) + ": " + ec.message());
    }
}

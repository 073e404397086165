// Modes are normalised (0755 for what the image marks executable, 0644 for
// the rest) so the package does not carry the build machine's umask.
#include "PackageStage.h"

#include "SourceFiles.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <set>
#include <system_error>

#include "HicolorIcons.h"
#include "Licenses.h"
#include "PackError.h"
#include "Packager.h"
#include "Quoting.h"
#include "ToolRun.h"

namespace fs = std::filesystem;

namespace {

// The largest native file read for what it links against.
const uint64_t elfFileLimit = 1u << 30;

class Stager {
public:
    Stager(const PackagePlan& plan, const fs::path& root) : plan(plan) { stage.root = root; }

    void directory(const std::string& path, bool owned) {
        std::error_code ec;
        fs::create_directories(local(path), ec);
        if (ec) {
            throw PackError("cannot create " + shown(local(path)) + ": " + ec.message());
        }
        fs::permissions(local(path), static_cast<fs::perms>(0755), ec);
        if (made.insert(path).second) {
            StagedFile f;
            f.path = path;
            f.kind = StagedFile::Directory;
            f.mode = 0755;
            f.ownedDirectory = owned;
            stage.files.push_back(f);
        }
    }

    // Each folder above `path` as the system's (not removed with the package).
    void parents(const std::string& path) {
        for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
            directory(path.substr(0, slash), false);
        }
    }

    void file(const std::string& path, const Bytes& content, unsigned mode = 0644) {
        parents(path);
        writeBinaryFile(local(path), content);
        added(path, mode);
    }

    // A file under /etc: a conffile of a .deb, %config(noreplace) of an .rpm.
    void configFile(const std::string& path, const Bytes& content) {
        file(path, content);
        stage.files.back().config = true;
    }

    void link(const std::string& path, const std::string& target) {
        parents(path);
        std::error_code ec;
        fs::create_symlink(fs::u8path(target), local(path), ec);
        if (ec) {
            throw PackError("this machine cannot make the link " + shown(local(path)) + ": " + ec.message());
        }
        StagedFile f;
        f.path = path;
        f.kind = StagedFile::Link;
        f.linkTarget = target;
        stage.files.push_back(f);
    }

    void copyImage(const LinuxImage& image) {
        parents(plan.installDir);
        directory(plan.installDir, true);
        const fs::path strip = findProgram("strip");
        std::set<std::string> held;
        for (const TreeEntry& e : image.entries) {
            const std::string path = plan.installDir + "/" + e.relative.generic_u8string();
            if (e.directory) {
                directory(path, true);
                continue;
            }
            std::error_code ec;
            fs::copy_file(e.source, local(path), ec);
            if (ec) {
                throw PackError("cannot copy " + shown(e.source) + ": " + ec.message());
            }
            bool executable = (fs::status(e.source, ec).permissions()
                               & (fs::perms::owner_exec | fs::perms::group_exec)) != fs::perms::none;
            if (isElfFile(local(path))) {
                executable = executable || (!plan.debian && path.find(".so") != std::string::npos);
                stripped(strip, path);
                const ElfLinks links = readElfLinks(readBinaryFile(local(path), elfFileLimit), shown(e.source));
                addNeeds(stage.needs, links);
                held.insert(e.relative.filename().u8string());
                held.insert(links.soname);
            }
            added(path, executable ? 0755 : 0644);
        }
        for (const std::string& own : held) {
            stage.needs.libraries.erase(own);
        }
    }

    Stage stage;

private:
    fs::path local(const std::string& path) const { return stage.root / fs::u8path(path.substr(1)); }

    void added(const std::string& path, unsigned mode) {
        std::error_code ec;
        fs::permissions(local(path), static_cast<fs::perms>(mode), ec);
        stage.installedBytes += fs::file_size(local(path), ec);
        StagedFile f;
        f.path = path;
        f.mode = mode;
        stage.files.push_back(f);
    }

    // Native code for this package's machine: an x86-64 ELF file. Files for
    // other machines (an application may carry them) are copied untouched.
    static bool isElfFile(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        Bytes head(20);
        return in.read(reinterpret_cast<char*>(head.data()), 20) && isX86_64Elf(head);
    }

    // As Debian strips its own packages: symbols no one links against, and
    // the build's comment and note sections. A strip that cannot (not GNU,
    // say) leaves the file as it was.
    void stripped(const fs::path& strip, const std::string& path) {
        std::string output;
        std::vector<std::string> args = {"--remove-section=.comment", "--remove-section=.note"};
        if (path.find(".so") != std::string::npos) {
            args.push_back("--strip-unneeded");
        }
        args.push_back(local(path).u8string());
        if (strip.empty() || !runProgram(strip, args, stage.root, output)) {
            if (!warnedStrip) {
                stage.warnings.push_back("the native libraries are not stripped: this machine's "
                                         + (strip.empty() ? std::string("has no strip")
                                                          : "strip failed: " + output));
                warnedStrip = true;
            }
        }
    }

    const PackagePlan& plan;
    std::set<std::string> made;
    bool warnedStrip = false;
};

Bytes textBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// A manual page for the command, so that "man NAME" says what it is.
std::string manualPage(const PackagePlan& plan, const Product& product) {
    std::string upper = plan.packageName;
    for (char& c : upper) {
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return ".TH " + roffText(upper) + " 1 \"\" \"" + roffText(product.name + " " + product.version) + "\"\n"
           ".SH NAME\n" + roffText(plan.packageName) + " \\- " + roffText(product.description) + "\n"
           ".SH SYNOPSIS\n.B " + roffText(plan.packageName) + "\n[\\fIargument\\fR ...]\n"
           ".SH DESCRIPTION\nStarts " + roffText(product.name + " " + product.version) + ", from "
           + roffText(product.vendor) + ", with the Java runtime it brings (in " + roffText(plan.installDir)
           + "/lib/runtime). Arguments go to the application.\n";
}

void documents(Stager& s, const PackagePlan& plan, const Product& product) {
    const std::string doc = "/usr/share/doc/" + plan.packageName;
    const std::string copyright = product.copyright.empty()
        ? "Copyright " + changelogDate("%Y") + " " + product.vendor : product.copyright;
    CommonLicense common;
    // Debian ships the texts of the common licenses once, for every package
    // to refer to.
    const std::string licenseText = plan.debian && commonLicense(plan.license, common)
        ? "\nOn Debian systems, the complete text of the " + common.fullName + " can be found in \""
              + common.file + "\".\n" : std::string();
    s.file(doc + "/copyright", textBytes(product.name + " " + product.version + ", by " + product.vendor
                                         + "\n\n" + copyright + "\nLicense: " + plan.license + "\n"
                                         + licenseText + "\nThe Java runtime in " + plan.installDir
                                         + "/lib/runtime is under its own licenses, in " + plan.installDir
                                         + "/lib/runtime/legal.\n"));
    s.file("/usr/share/man/man1/" + plan.packageName + ".1.gz", gzipped(manualPage(plan, product)));
    if (plan.debian) {
        s.file(doc + "/changelog.gz", gzipped(plan.packageName + " (" + product.version + ") stable; "
                                              "urgency=medium\n\n  * " + product.name + " " + product.version
                                              + ".\n\n -- " + plan.maintainer + "  "
                                              + changelogDate("%a, %d %b %Y %H:%M:%S +0000") + "\n"));
        s.file("/usr/share/lintian/overrides/" + plan.packageName, textBytes(checkerOverrides(plan)));
    } else {
        s.file(doc + "/rpmlintrc", textBytes(checkerOverrides(plan)));
    }
}

} // namespace

std::string longDescription(const Product& product) {
    const std::string text = "The application " + product.name + " " + product.version + ", from " + product.vendor
                             + ", with the Java runtime it runs on.";
    std::vector<std::string> words;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find(' ', start), text.size());
        const std::string word = text.substr(start, end - start);
        if (!words.empty() && (word.empty() || word[0] == '%')) {
            words.back() += " " + word;
        } else {
            words.push_back(word);
        }
        start = end + 1;
    }
    std::string lines, line;
    for (const std::string& word : words) {
        if (!line.empty() && line.size() + 1 + word.size() > 79) {
            lines += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return lines + line;
}

std::string changelogDate(const char* format) {
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    const std::time_t now = epoch ? static_cast<std::time_t>(std::strtoll(epoch, nullptr, 10)) : std::time(nullptr);
    char text[64];
    std::strftime(text, sizeof(text), format, std::gmtime(&now));
    return text;
}

std::string checkerOverrides(const PackagePlan& plan) {
    const std::string dir = plan.installDir.substr(1), runtime = plan.installDir + "/lib/runtime";
    const bool opt = plan.installDir.rfind("/opt/", 0) == 0;
    if (plan.debian) {
        const std::string p = plan.packageName + ": ";
        return std::string("# lintian's overrides, each with its reason.\n") +
            (opt ? "# A vendor's package installs into /opt/" + plan.packageName + ", as the Filesystem\n"
                   "# Hierarchy Standard provides for add-on software.\n" +
                   p + "dir-or-file-in-opt [" + dir + "/*]\n" : "") +
            "# The application's jars and its runtime's are private to it: the runtime reads\n"
            "# them from the image, never from /usr/share/java.\n" +
            p + "jar-not-in-usr-share [" + dir + "/*]\n" +
            (plan.repositoryUrl.empty() ? "" :
                "# The vendor's own repository, where this package's updates come from: the\n"
                "# administrator chose it by installing the package, and purging removes it.\n" +
                p + "package-installs-apt-sources [etc/apt/sources.list.d/" + plan.packageName + ".sources]\n");
    }
    const std::string p = "addFilter(\"" + regexLiteral(plan.packageName) + "\\.x86_64: ";
    const std::string runtimeFiles = regexLiteral(runtime + "/");
    // rpmlint calls a filter that matches nothing an error: what depends on
    // the runtime's build (its hash sections, files it holds twice) or on
    // the package (its signature) shares one filter with a finding every
    // package of a Java runtime has.
    return std::string("# rpmlint's filters (rpmlint -r FILE), each with its reasons.\n") +
        (opt ? "# A vendor's package installs into /opt/NAME, as the Filesystem Hierarchy Standard\n"
               "# provides for add-on software.\n" + p + "E: dir-or-file-in-opt\")\n" : "") +
        "# The Java runtime's libraries are private to the application, not system libraries:\n"
        "# the library-package policy (versioned folders, sonames) is not theirs. They find one\n"
        "# another through $ORIGIN in their run path. The runtime's vendor may build them with\n"
        "# the GNU hash section only, which every loader reads, and the runtime may hold some\n"
        "# files twice (libjsig.so in lib/ and lib/server/). Packages are signed after they are\n"
        "# built (rpmsign --addsign), or by the repository.\n" +
        p + "E: (non-versioned-file-in-library-package|(invalid-soname|missing-hash-section|"
            "binary-or-shlib-defines-rpath) " + runtimeFiles + "|files-duplicated-waste|no-signature)\")\n";
}

Stage stagePackage(const PackagePlan& plan, const LinuxImage& image, const fs::path& root) {
    Stager s(plan, root);
    s.copyImage(image);
    const std::string command = "/usr/bin/" + plan.packageName;
    const std::string launcher = plan.installDir + "/bin/" + image.name;
    // Debian links across top-level folders absolutely, within /usr relatively;
    // RPM's distributions link relatively.
    const bool underUsr = plan.installDir.rfind("/usr/", 0) == 0;
    s.link(command, underUsr ? ".." + launcher.substr(4) : plan.debian ? launcher : "../.." + launcher);
    const Product& product = image.product;
    std::string iconName;
    if (!plan.iconFile.empty()) {
        for (const auto& size : hicolorIcons(readBinaryFile(plan.iconFile, iconFileLimit), shown(plan.iconFile))) {
            const std::string dim = std::to_string(size.first);
            s.file("/usr/share/icons/hicolor/" + dim + "x" + dim + "/apps/" + plan.packageName + ".png",
                   size.second);
        }
        iconName = plan.packageName;
    }
    if (plan.desktopEntry) {
        DesktopEntry entry{product.name, product.description, plan.packageName, iconName,
                           product.windowClass, plan.categories, plan.fileTypes};
        s.file("/usr/share/applications/" + plan.packageName + ".desktop", textBytes(desktopEntryText(entry)));
    }
    if (!plan.fileTypes.empty()) {
        s.file("/usr/share/mime/packages/" + plan.packageName + ".xml", textBytes(mimeInfoText(plan.fileTypes)));
    }
    documents(s, plan, product);
    if (!plan.repositoryUrl.empty()) {
        const RepositoryPlace place{plan.repositoryUrl, plan.packageName};
        if (plan.debian) {
            s.configFile(aptSourcesPath(place), textBytes(aptSourcesText(place)));
            s.file(aptKeyringPath(place), textBytes(plan.keyBinary));
        } else {
            s.configFile(yumRepoPath(place), textBytes(yumRepoText(place, product.name)));
            s.file(rpmKeyPath(place), textBytes(plan.keyArmored));
        }
    }
    return s.stage;
}

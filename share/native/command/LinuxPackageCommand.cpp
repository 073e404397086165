#include "LinuxPackageCommand.h"

#include "LinuxPackage.h"
#include "Options.h"
#include "RpmSigning.h"

namespace fs = std::filesystem;

namespace {

const char* const usage =
"usage: loftwick-pack deb IMAGE [options]\n"
"       loftwick-pack rpm IMAGE [options]\n"
"\n"
"Makes a Debian (.deb) or RPM (.rpm) package of a Linux application image that\n"
"loftwick-pack made; nothing in the image is changed. The product's name, version,\n"
"vendor, description and icon are read from IMAGE/lib/NAME.product.\n"
"\n"
"The package installs the image into /opt/PACKAGE, the command /usr/bin/PACKAGE, a\n"
"desktop entry (usr/share/applications/PACKAGE.desktop) whose window class matches\n"
"the application's Java windows, and the icon in each size its file holds. It\n"
"depends on the system libraries the image's native code needs: .deb packages name\n"
"packages that Debian 12, Ubuntu 22.04 and Ubuntu 24.04 all have, .rpm packages the\n"
"libraries themselves. The native libraries are stripped in the package.\n"
"\n"
"Options:\n"
"  --output FILE           the package to write (default: PACKAGE_VERSION_amd64.deb or\n"
"                          PACKAGE-VERSION-RELEASE.x86_64.rpm here)\n"
"  --package-name NAME     the package and command name (default: NAME in lower case)\n"
"  --location opt|usr-lib  opt (default): /opt/PACKAGE, as vendors install;\n"
"                          usr-lib: /usr/lib/PACKAGE, as distributions do\n"
"  --maintainer 'NAME <ADDRESS>'  who maintains the package (required for a .deb)\n"
"  --license TEXT          the license the package states (default: Proprietary); an\n"
"                          SPDX identifier (GPL-2.0-or-later, Apache-2.0) or Debian's\n"
"                          short name (GPL-2+) of a license Debian ships is referred to\n"
"  --release N             the .rpm's release number (default: 1)\n"
"  --gpg-key ID            (rpm) sign the .rpm with this key of gpg's keyring, then\n"
"                          check it with rpm -K; with --gpg-passphrase-env VAR or\n"
"                          --gpg-passphrase-file FILE where its passphrase is kept\n"
"  --homepage URL          the product's web page\n"
"  --file-type .EXT=DESCRIPTION\n"
"                          opening a .EXT file starts the application with its path\n"
"                          (repeatable); a MIME type application/x-PACKAGE-EXT is made\n"
"  --category NAME         a desktop menu category (repeatable; default: Utility)\n"
"  --no-desktop-entry      no desktop entry (a command-line application)\n"
"  --library-package LIBRARY=PACKAGE\n"
"                          the Debian package that provides a library no built-in\n"
"                          entry knows (repeatable), e.g. libfoo.so.1=libfoo1\n"
"  --depends RELATION      a package the application needs that its native code does\n"
"                          not show, e.g. a program it runs (repeatable): Depends of a\n"
"                          .deb (\"graphviz\", \"libfoo1 (>= 1.2)\"), Requires of an .rpm\n"
"                          (\"graphviz\", \"libfoo >= 1.2\")\n"
"  --recommends RELATION   a package it can use, installed with it by default\n"
"                          (repeatable)\n"
"  --repository-url URL    where this package's updates are published (a folder the\n"
"                          repository step made, on a web server): the package then\n"
"                          installs /etc/apt/sources.list.d/PACKAGE.sources (.deb) or\n"
"                          /etc/yum.repos.d/PACKAGE.repo (.rpm), with\n"
"  --repository-key FILE   the repository's public key (its key.asc), installed for\n"
"                          this repository alone\n"
"  --product-name TEXT, --app-version VERSION, --vendor TEXT, --description TEXT,\n"
"  --icon FILE             state these instead of what the image says (.png or .ico)\n"
"  --replace               replace an existing output file\n"
"  --help\n"
"\n"
"A version must start with a digit and hold no '-'. dpkg-deb (deb) or rpmbuild (rpm)\n"
"must be on PATH. dpkg checks no signature of a .deb and apt reads none: the\n"
"signed repository that serves it is what users' machines trust.\n"
"\n"
"Exit codes: 0 written; 1 it could not be (the message says why); 2 the command\n"
"line is wrong.\n";

LinuxPackageRequest parse(const std::string& format, const std::vector<std::string>& args,
                          SigningRequest& signing) {
    LinuxPackageRequest r;
    r.format = format == "rpm" ? LinuxPackageRequest::Rpm : LinuxPackageRequest::Deb;
    std::string location = "opt";
    std::vector<std::string> operands, fileTypes, libraries;
    bool noDesktopEntry = false;
    const OptionTable table = {
        {
            {"--output", [&](const std::string& v) { r.output = fs::u8path(v); }},
            {"--package-name", [&](const std::string& v) { r.packageName = v; }},
            {"--location", [&](const std::string& v) { location = v; }},
            {"--maintainer", [&](const std::string& v) { r.maintainer = v; }},
            {"--license", [&](const std::string& v) { r.license = v; }},
            {"--release", [&](const std::string& v) { r.release = v; }},
            {"--homepage", [&](const std::string& v) { r.homepage = v; }},
            {"--product-name", [&](const std::string& v) { r.productName = v; }},
            {"--app-version", [&](const std::string& v) { r.version = v; }},
            {"--vendor", [&](const std::string& v) { r.vendor = v; }},
            {"--description", [&](const std::string& v) { r.description = v; }},
            {"--icon", [&](const std::string& v) { r.icon = fs::u8path(v); }},
            {"--repository-url", [&](const std::string& v) { r.repositoryUrl = v; }},
            {"--repository-key", [&](const std::string& v) { r.repositoryKey = fs::u8path(v); }},
        },
        {{"--file-type", &fileTypes}, {"--category", &r.categories}, {"--library-package", &libraries},
         {"--depends", &r.depends}, {"--recommends", &r.recommends}},
        {{"--no-desktop-entry", &noDesktopEntry}, {"--replace", &r.replace}},
        &operands,
    };
    OptionTable all = table;
    if (format == "rpm") {
        all.single["--gpg-key"] = [&](const std::string& v) { signing.gpgKey = v; };
        all.single["--gpg-passphrase-env"] = [&](const std::string& v) { signing.gpgPassphrase.environment = v; };
        all.single["--gpg-passphrase-file"] = [&](const std::string& v) {
            signing.gpgPassphrase.file = fs::absolute(fs::u8path(v));
        };
    }
    parseOptions(args, all);
    if (!signing.gpgPassphrase.environment.empty() && !signing.gpgPassphrase.file.empty()) {
        throw UsageError("--gpg-passphrase-env and --gpg-passphrase-file exclude each other");
    }
    if (signing.gpgKey.empty() && signing.gpgPassphrase.given()) {
        throw UsageError("a GPG passphrase needs --gpg-key");
    }
    if (operands.size() != 1) {
        throw UsageError("give the image directory, once");
    }
    if (location != "opt" && location != "usr-lib") {
        throw UsageError("--location is opt or usr-lib, not \"" + location + "\"");
    }
    for (const std::string& type : fileTypes) {
        const size_t eq = type.find('=');
        if (eq == std::string::npos) {
            throw UsageError("--file-type is .EXT=DESCRIPTION, not \"" + type + "\"");
        }
        r.fileTypes.push_back({type.substr(0, eq), type.substr(eq + 1)});
    }
    for (const std::string& library : libraries) {
        const size_t eq = library.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == library.size()) {
            throw UsageError("--library-package is LIBRARY=PACKAGE, not \"" + library + "\"");
        }
        r.libraryPackages[library.substr(0, eq)] = library.substr(eq + 1);
    }
    r.image = fs::u8path(operands.front());
    r.usrLib = location == "usr-lib";
    r.desktopEntry = !noDesktopEntry;
    return r;
}

// An .rpm that could not be signed is not left to be shipped unsigned.
void signWritten(const fs::path& rpm, const SigningRequest& signing, std::ostream& out) {
    try {
        out << "Signed with GPG key " << signing.gpgKey << ":\n  " << signRpm(rpm, signing) << "\n";
    } catch (...) {
        std::error_code ec;
        fs::remove(rpm, ec);
        throw;
    }
}

} // namespace

int linuxPackageCommand(const std::string& format, const std::vector<std::string>& args,
                        std::ostream& out, std::ostream& err) {
    const std::string me = "loftwick-pack " + format + ": ";
    if (args.size() == 1 && args[0] == "--help") {
        out << usage;
        return 0;
    }
    LinuxPackageRequest request;
    SigningRequest signing;
    try {
        request = parse(format, args, signing);
    } catch (const UsageError& e) {
        err << me << e.what() << "\n(--help lists the options)\n";
        return 2;
    }
    try {
        const LinuxPackageResult result = makeLinuxPackage(request);
        for (const std::string& warning : result.warnings) {
            err << me << "warning: " << warning << "\n";
        }
        out << (format == "rpm" ? "Requires:" : "Depends:");
        for (size_t i = 0; i < result.dependencies.size(); ++i) {
            out << (i ? ", " : " ") << result.dependencies[i];
        }
        out << "\nWrote " << result.written.u8string() << "\n";
        if (!signing.gpgKey.empty()) {
            signWritten(result.written, signing, out);
        }
    } catch (const std::exception& e) {
        err << me << e.what() << "\n";
        return 1;
    }
    return 0;
}

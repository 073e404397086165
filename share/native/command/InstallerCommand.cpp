#include "InstallerCommand.h"

#include "Installer.h"
#include "Options.h"
#include "SignCommand.h"
#include "SigningOptions.h"

namespace fs = std::filesystem;

namespace {

const std::string usage = std::string(
"usage: loftwick-pack installer IMAGE [options]\n"
"\n"
"Makes one Windows Installer package (.msi) of an application image that\n"
"loftwick-pack made (and that may have been signed since: nothing in it is\n"
"changed). The product's name, version, publisher, description and icon are\n"
"read from IMAGE\\NAME.exe, so the installer states what the program states.\n"
"\n"
"Options:\n"
"  --output FILE           the .msi to write (default: NAME-VERSION.msi here)\n"
"  --scope user|machine    user (default): for the installing user, into\n"
"                          %LOCALAPPDATA%\\Programs\\NAME, without administrator rights;\n"
"                          machine: for every user, into Program Files\\NAME\n"
"  --file-type .EXT=DESCRIPTION\n"
"                          opening a .EXT file starts the application with the file's\n"
"                          path as its argument (repeatable); types Windows runs itself\n"
"                          (.exe, .bat, .lnk, .msi, ...) are refused\n"
"  --desktop-shortcut      a desktop shortcut too\n"
"  --no-start-menu-shortcut  no Start-menu shortcut (there is one by default)\n"
"  --upgrade-code GUID     ties the versions of the product together (default: derived\n"
"                          from the publisher and NAME, and printed); a newer version\n"
"                          replaces the installed one, an older one is refused\n"
"  --product-name TEXT, --app-version VERSION, --vendor TEXT, --description TEXT,\n"
"  --icon FILE             state these instead of what NAME.exe says\n"
"  --wix-source FILE       write only the WiX source (and its icon beside it, as .ico)\n"
"  --replace               replace an existing output file\n"
"  --help\n"
"\n"
"Windows Installer compares three version fields and allows 255.255.65535 at\n"
"most: a version beyond that, or whose fourth field is not 0, is refused. The\n"
".msi is built by wixl (msitools), which must be on PATH. Without a key, sign the\n"
"image before making the installer, and the installer afterwards.\n"
"\n"
"Exit codes: 0 written; 1 it could not be (the message says why); 2 the\n"
"command line is wrong.\n"
"\n"
"Signing. With a key, the image is signed first (as 'sign' does), then the\n"
"installer is made of it and signed in turn.\n") + signingOptionsHelp;

InstallerRequest parse(const std::vector<std::string>& args, SigningOptions& signing) {
    InstallerRequest r;
    std::string scope = "user";
    std::vector<std::string> operands, fileTypes;
    bool noStartMenu = false;
    const OptionTable table = {
        {
            {"--output", [&](const std::string& v) { r.output = fs::u8path(v); }},
            {"--wix-source", [&](const std::string& v) { r.wixSource = fs::u8path(v); }},
            {"--scope", [&](const std::string& v) { scope = v; }},
            {"--upgrade-code", [&](const std::string& v) { r.upgradeCode = v; }},
            {"--product-name", [&](const std::string& v) { r.productName = v; }},
            {"--app-version", [&](const std::string& v) { r.version = v; }},
            {"--vendor", [&](const std::string& v) { r.vendor = v; }},
            {"--description", [&](const std::string& v) { r.description = v; }},
            {"--icon", [&](const std::string& v) { r.icon = fs::u8path(v); }},
        },
        {{"--file-type", &fileTypes}},
        {{"--desktop-shortcut", &r.desktopShortcut}, {"--no-start-menu-shortcut", &noStartMenu},
         {"--replace", &r.replace}},
        &operands,
    };
    OptionTable all = table;
    signing.addTo(all);
    const auto seen = parseOptions(args, all);
    signing.finish();
    if (!signing.windowsKeyGiven()
        && (!signing.request.timestampServers.empty() || signing.request.withoutTimestamp)) {
        throw UsageError("timestamp options need a key: --pkcs12, --pkcs11 or --sign-command");
    }
    if (operands.size() != 1) {
        throw UsageError("give the image directory, once");
    }
    if (scope != "user" && scope != "machine") {
        throw UsageError("--scope is user or machine, not \"" + scope + "\"");
    }
    if (seen.count("--output") && seen.count("--wix-source")) {
        throw UsageError("--output and --wix-source exclude each other");
    }
    if (seen.count("--wix-source") && signing.windowsKeyGiven()) {
        throw UsageError("--wix-source writes no .msi to sign: sign the image with 'loftwick-pack sign', "
                         "and the .msi your tools make");
    }
    for (const std::string& type : fileTypes) {
        const size_t eq = type.find('=');
        if (eq == std::string::npos) {
            throw UsageError("--file-type is .EXT=DESCRIPTION, not \"" + type + "\"");
        }
        r.associations.push_back({type.substr(0, eq), type.substr(eq + 1)});
    }
    r.image = fs::u8path(operands.front());
    r.perMachine = scope == "machine";
    r.startMenuShortcut = !noStartMenu;
    return r;
}

} // namespace

int installerCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && args[0] == "--help") {
        out << usage;
        return 0;
    }
    InstallerRequest request;
    SigningOptions signing;
    try {
        request = parse(args, signing);
    } catch (const UsageError& e) {
        err << "loftwick-pack installer: " << e.what() << "\n(--help lists the options)\n";
        return 2;
    }
    try {
        std::unique_ptr<WindowsSigner> signer;
        SigningReport report;
        if (signing.windowsKeyGiven()) {
            signer.reset(new WindowsSigner(signing.request));
            signer->signImage(request.image, report);
        }
        const InstallerResult result = makeInstaller(request);
        if (signer) {
            // A failure leaves no .msi behind, signed or not.
            try {
                signer->signFile(result.written, result.written.filename(), report);
            } catch (...) {
                std::error_code ec;
                fs::remove(result.written, ec);
                throw;
            }
        }
        out << "Upgrade code: " << result.upgradeCode
            << (result.upgradeCodeDerived ? " (from the publisher and the name; give it with "
                                            "--upgrade-code to keep it if either changes)" : "")
            << "\nWrote " << result.written.u8string() << "\n";
        if (signer) {
            printSigningSummary(report, signing.request, out);
        }
    } catch (const std::exception& e) {
        err << "loftwick-pack installer: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

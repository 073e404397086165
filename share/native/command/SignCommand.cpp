#include "SignCommand.h"

#include "Options.h"
#include "PackError.h"
#include "Packager.h"
#include "RpmSigning.h"
#include "SigningOptions.h"

namespace fs = std::filesystem;

namespace {

const std::string usage = std::string(
"usage: loftwick-pack sign PATH... [options]\n"
"\n"
"Signs, and then verifies, what each PATH is:\n"
"  an image directory      its launchers first, then every other program and library\n"
"                          not validly signed; files their vendor signed are checked\n"
"                          and kept\n"
"  a .exe, .dll or .msi    that file (sign an image before making its .msi, and the\n"
"                          .msi afterwards; 'installer' with a key does all three)\n"
"  an .rpm                 with the GPG key of --gpg-key, checked with rpm -K\n"
"A file is replaced only once its signature is complete and verified.\n"
"\n") + signingOptionsHelp + std::string(
"  --help\n"
"\n"
"Signing needs osslsigncode on PATH (Windows files) or rpmsign and gpg (.rpm).\n"
"\n"
"Exit codes: 0 signed and verified; 1 it could not be (the message says why); 2 the\n"
"command line is wrong.\n");

std::string extensionOf(const fs::path& path) {
    std::string ext = path.extension().u8string();
    for (char& c : ext) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return ext;
}

struct Targets {
    std::vector<fs::path> windows;  // images and PE files, then .msi files
    std::vector<fs::path> rpms;
};

Targets sortTargets(const std::vector<std::string>& operands) {
    Targets t;
    std::vector<fs::path> msis;
    for (const std::string& operand : operands) {
        const fs::path path = fs::u8path(operand);
        std::error_code ec;
        const std::string ext = extensionOf(path);
        if (fs::is_directory(path, ec) || (fs::is_regular_file(path, ec) && isPeFile(path))) {
            t.windows.push_back(path);
        } else if (ext == ".msi" && fs::is_regular_file(path, ec)) {
            msis.push_back(path);
        } else if (ext == ".rpm" && fs::is_regular_file(path, ec)) {
            t.rpms.push_back(path);
        } else {
            throw PackError(shown(path) + " is no image directory, Windows program or library, "
                            ".msi or .rpm");
        }
    }
    t.windows.insert(t.windows.end(), msis.begin(), msis.end());
    return t;
}

} // namespace

void printSigningSummary(const SigningReport& report, const SigningRequest& request, std::ostream& out) {
    out << "Signed with " << request.digest
        << (request.withoutTimestamp ? ", without a timestamp" : "") << ":\n"
        << signingSummary(report);
    if (request.withoutTimestamp) {
        out << "Warning: signed without a timestamp: every signature ends when its certificate "
               "does (460 days at most)\n";
    }
}

int signCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && args[0] == "--help") {
        out << usage;
        return 0;
    }
    SigningOptions options;
    std::vector<std::string> operands;
    try {
        OptionTable table;
        table.operands = &operands;
        options.addTo(table);
        parseOptions(args, table);
        options.finish();
        if (operands.empty()) {
            throw UsageError("give what to sign: an image directory, a .exe, .dll, .msi or .rpm");
        }
    } catch (const UsageError& e) {
        err << "loftwick-pack sign: " << e.what() << "\n(--help lists the options)\n";
        return 2;
    }
    try {
        const Targets targets = sortTargets(operands);
        if (!targets.windows.empty()) {
            const WindowsSigner signer(options.request);
            SigningReport report;
            for (const fs::path& path : targets.windows) {
                if (fs::is_directory(path)) {
                    signer.signImage(path, report);
                } else {
                    signer.signFile(path, path, report);
                }
            }
            printSigningSummary(report, options.request, out);
        }
        for (const fs::path& rpm : targets.rpms) {
            out << "Signed " << rpm.u8string() << " with GPG key " << options.request.gpgKey << ":\n  "
                << signRpm(rpm, options.request) << "\n";
        }
    } catch (const std::exception& e) {
        err << "loftwick-pack sign: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

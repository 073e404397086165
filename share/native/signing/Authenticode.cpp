#include "Authenticode.h"

#include <chrono>
#include <thread>

#include "CommandTemplate.h"
#include "PackError.h"
#include "Packager.h"
#include "ToolRun.h"

namespace fs = std::filesystem;

namespace {

// Tools run in the file's directory; every path they get is whole.
std::string arg(const fs::path& path) {
    return fs::absolute(path).u8string();
}

// What a tool said, its last lines, for a message.
std::string lastLines(const std::string& output) {
    const size_t limit = 600;
    std::string text = output.size() > limit ? "..." + output.substr(output.size() - limit) : output;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

// The value after "label:" on the first line at or after `from` that has it.
std::string valueAfter(const std::string& output, const std::string& label, size_t from = 0) {
    const size_t at = output.find(label, from);
    if (at == std::string::npos) {
        return std::string();
    }
    size_t start = at + label.size();
    while (start < output.size() && output[start] == ' ') {
        ++start;
    }
    const size_t end = output.find('\n', start);
    std::string value = output.substr(start, end == std::string::npos ? std::string::npos : end - start);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\r')) {
        value.pop_back();
    }
    return value;
}

std::vector<std::string> keyArguments(const SigningRequest& request, bool withSecret) {
    const AuthenticodeKey& key = request.key;
    std::vector<std::string> args;
    if (key.kind == KeyKind::Pkcs12) {
        args = {"-pkcs12", key.pkcs12.u8string()};
    } else {
        args = {"-pkcs11module", key.pkcs11Module.u8string(), "-key", key.pkcs11Uri,
                "-certs", key.certificates.u8string()};
    }
    if (withSecret) {
        // osslsigncode 2.9 reads "-" as its standard input; 2.5 (Debian 12's
        // own) opens whatever file it is given.
        args.insert(args.end(), {"-readpass", standardInputFile()});
    }
    return args;
}

} // namespace

void checkDigest(const std::string& digest) {
    if (digest.find_first_of(",+ ") != std::string::npos) {
        throw PackError("dual signing (" + digest + ") is refused: an .msi holds one signature only, and "
                        "the SHA-1 signature it would add for old Windows is one that current Windows "
                        "no longer trusts and signing services refuse; sign once, with sha256");
    }
    if (digest == "sha1" || digest == "md5") {
        throw PackError("the digest " + digest + " is refused: Windows no longer trusts code "
                        "signatures made with it, signing services that keep keys in hardware "
                        "refuse it, and an .msi holds one signature only, so there is no dual "
                        "signing; use sha256 (the default), sha384 or sha512");
    }
    if (digest != "sha256" && digest != "sha384" && digest != "sha512") {
        throw PackError("the digest is sha256, sha384 or sha512, not \"" + digest + "\"");
    }
}

Authenticode::Authenticode() : program(findProgram("osslsigncode")) {
    if (program.empty()) {
        throw PackError("signing Windows files needs osslsigncode on PATH "
                        "(sudo apt install osslsigncode)");
    }
    // Newer versions fetch revocation lists while verifying unless told
    // not to; older ones never do, and refuse the options.
    std::string help;
    runProgram(program, {"verify", "--help"}, fs::current_path(), help);
    offlineOptions = help.find("-ignore-crl") != std::string::npos;
}

void Authenticode::sign(const fs::path& in, const fs::path& out, const SigningRequest& request,
                        const std::string& secret, const std::string& what) const {
    std::string output;
    bool ok = false;
    if (request.key.kind == KeyKind::Command) {
        fs::copy_file(in, out, fs::copy_options::overwrite_existing);
        const std::vector<std::string> words =
                expandCommand(request.key.command, {{"file", arg(out)}, {"digest", request.digest}});
        const fs::path client = words.front().find('/') == std::string::npos
                && words.front().find('\\') == std::string::npos
                ? findProgram(words.front()) : fs::u8path(words.front());
        if (client.empty()) {
            throw PackError("the signing command's program " + words.front() + " is not on PATH");
        }
        const std::vector<std::string> args(words.begin() + 1, words.end());
        ok = runProgramWithInput(client, args, fs::absolute(out).parent_path(), secret, output);
        if (!ok) {
            throw PackError("the signing command failed for " + what + ":\n" + lastLines(output));
        }
        return;
    }
    std::vector<std::string> args = {"sign"};
    const std::vector<std::string> key = keyArguments(request, !secret.empty());
    args.insert(args.end(), key.begin(), key.end());
    // No MsiDigitalSignatureEx stream: osslsigncode 2.5 could then not add
    // the timestamp afterwards without the option, and a signing service's
    // client may not write one either.
    args.insert(args.end(), {"-h", request.digest});
    args.insert(args.end(), {"-in", arg(in), "-out", arg(out)});
    ok = runProgramWithInput(program, args, fs::absolute(out).parent_path(), secret + "\n", output);
    if (!ok) {
        throw PackError("osslsigncode could not sign " + what + ":\n" + lastLines(output));
    }
}

void Authenticode::addTimestamp(const fs::path& in, const fs::path& out,
                                const SigningRequest& request, const std::string& what) const {
    std::string said;
    for (const std::string& server : request.timestampServers) {
        for (int attempt = 1; attempt <= request.timestampAttempts; ++attempt) {
            if (attempt > 1) {
                // Busy servers ask for a pause between requests.
                std::this_thread::sleep_for(std::chrono::seconds(attempt - 1));
            }
            std::vector<std::string> args = {"add", "-h", request.digest, "-ts", server};
            args.insert(args.end(), {"-in", arg(in), "-out", arg(out)});
            std::string output;
            if (runProgram(program, args, fs::absolute(out).parent_path(), output)) {
                return;
            }
            if (attempt == request.timestampAttempts) {
                said += "\n  " + server + " (tried " + std::to_string(attempt) + " times): "
                        + lastLines(output);
            }
        }
    }
    throw PackError("no timestamp server gave a timestamp for " + what + ":" + said
                    + "\n(without a timestamp a signature ends with its certificate; "
                      "--no-timestamp signs without one)");
}

SignatureState Authenticode::verify(const fs::path& file, const fs::path& caFile,
                                    const fs::path& tsaCaFile) const {
    std::vector<std::string> args = {"verify"};
    if (offlineOptions) {
        args.insert(args.end(), {"-ignore-cdp", "-ignore-crl"});
    }
    if (!caFile.empty()) {
        args.insert(args.end(), {"-CAfile", caFile.u8string()});
    }
    const fs::path tsaCa = tsaCaFile.empty() ? caFile : tsaCaFile;
    if (!tsaCa.empty()) {
        args.insert(args.end(), {"-TSA-CAfile", tsaCa.u8string()});
    }
    args.insert(args.end(), {"-in", arg(file)});
    std::string output;
    const bool ok = runProgram(program, args, fs::absolute(file).parent_path(), output);
    return readVerifyOutput(output, ok);
}

void Authenticode::removeSignature(const fs::path& in, const fs::path& out, const std::string& what) const {
    std::string output;
    if (!runProgram(program, {"remove-signature", "-in", arg(in), "-out", arg(out)},
                    fs::absolute(out).parent_path(), output)) {
        throw PackError("osslsigncode could not remove the signature of " + what + ":\n"
                        + lastLines(output));
    }
}

SignatureState readVerifyOutput(const std::string& output, bool exitedWithZero) {
    SignatureState state;
    state.present = output.find("No signature found") == std::string::npos
                    && output.find("Message digest algorithm") != std::string::npos;
    if (!state.present) {
        state.problem = "not signed";
        return state;
    }
    const std::string current = valueAfter(output, "Current message digest");
    const std::string calculated = valueAfter(output, "Calculated message digest");
    // A PE file prints both digests; an .msi prints its digests only where
    // one differs. Either way a difference is marked MISMATCH. The PE
    // checksum is no part of what is signed, and Windows ignores it.
    bool mismatch = false;
    for (size_t at = output.find("MISMATCH"); at != std::string::npos; at = output.find("MISMATCH", at + 1)) {
        const size_t lineStart = output.rfind('\n', at);
        const std::string line = output.substr(lineStart == std::string::npos ? 0 : lineStart + 1, at);
        mismatch = mismatch || line.rfind("Calculated PE checksum", 0) != 0;
    }
    state.digestMatches = !mismatch && (current.empty() || current == calculated);
    const size_t signerBlock = output.find("Signer's certificate:");
    if (signerBlock != std::string::npos) {
        state.signer = valueAfter(output, "Subject:", signerBlock);
    }
    // 2.9 says "Timestamp time:", 2.5 "The signature is timestamped:".
    state.timestamp = valueAfter(output, "Timestamp time:");
    if (state.timestamp.empty()) {
        state.timestamp = valueAfter(output, "The signature is timestamped:");
    }
    // A line of its own: "Timestamp Server Signature verification: ok" is
    // the timestamp's, not the signer's.
    state.chainVerified = ("\n" + output).find("\nSignature verification: ok") != std::string::npos;
    state.valid = exitedWithZero && state.digestMatches && state.chainVerified;
    if (!state.digestMatches) {
        state.problem = "the file was changed after it was signed (its digest no longer matches)";
    } else if (!state.chainVerified) {
        const std::string reason = valueAfter(output, "Verify error:");
        state.unknownRoot = reason == "unable to get local issuer certificate"
                            || reason == "unable to get issuer certificate"
                            || reason == "self-signed certificate in certificate chain";
        state.problem = "its certificate chain does not verify"
                        + (reason.empty() ? std::string() : " (" + reason + ")");
    } else if (!exitedWithZero) {
        state.problem = "osslsigncode's verification failed";
    }
    return state;
}

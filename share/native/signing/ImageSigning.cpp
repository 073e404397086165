#include "ImageSigning.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <fstream>

#include "PackError.h"
#include "Packager.h"
#include "ScratchDirectory.h"
#include "Secret.h"
#include "TreeWalk.h"
#include "ZipArchive.h"

namespace fs = std::filesystem;

namespace {

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

void checkKey(const SigningRequest& request) {
    const AuthenticodeKey& key = request.key;
    switch (key.kind) {
    case KeyKind::None:
        throw PackError("give a key: --pkcs12 FILE, --pkcs11 URI or --sign-command COMMAND");
    case KeyKind::Pkcs11:
        if (key.pkcs11Module.empty() || key.certificates.empty()) {
            throw PackError("a PKCS#11 key needs its module (--pkcs11-module LIBRARY) and its "
                            "certificate chain (--certificate FILE, PEM)");
        }
        if (lower(key.pkcs11Uri).rfind("pkcs11:", 0) != 0) {
            throw PackError("a PKCS#11 key is named by a pkcs11: URI (RFC 7512), not \"" + key.pkcs11Uri + "\"");
        }
        if (lower(key.pkcs11Uri).find("pin-value=") != std::string::npos) {
            throw PackError("the PKCS#11 URI holds its PIN (pin-value), which every process "
                            "could read in the command line: give it with --password-env or "
                            "--password-file instead");
        }
        break;
    default:
        break;
    }
    checkDigest(request.digest);
    if (!request.withoutTimestamp && request.timestampServers.empty()) {
        throw PackError("give a timestamp server (--timestamp URL, repeatable): without a "
                        "timestamp the signature ends with its certificate. --no-timestamp "
                        "signs without one");
    }
}

// Launchers first: the files Windows starts are the ones users see.
std::vector<fs::path> peFilesOf(const fs::path& image) {
    std::vector<fs::path> top, rest;
    for (const TreeEntry& entry : walkTree(image, "the image")) {
        if (entry.directory || !isPeFile(image / entry.relative)) {
            continue;
        }
        (entry.relative.has_parent_path() ? rest : top).push_back(entry.relative);
    }
    top.insert(top.end(), rest.begin(), rest.end());
    return top;
}

bool isJarSigned(const ZipArchive& jar) {
    for (const ZipArchive::Entry& e : jar.entries()) {
        const std::string name = lower(e.name);
        if (name.rfind("meta-inf/", 0) == 0 && name.size() > 12
            && name.compare(name.size() - 3, 3, ".sf") == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

WindowsSigner::WindowsSigner(const SigningRequest& request) : request(request) {
    checkKey(request);
    secret = readSecret(request.key.secret, request.key.kind == KeyKind::Pkcs11 ? "PIN" : "password");
}

SigningOutcome WindowsSigner::signOne(const fs::path& file, const fs::path& shownAs) const {
    // Everything happens beside the file; it is replaced only when signed,
    // timestamped and verified.
    const ScratchDirectory scratch(file);
    const fs::path name = file.filename();
    const fs::path unsignedCopy = scratch.path / ("unsigned-" + name.u8string());
    const fs::path signedCopy = scratch.path / ("signed-" + name.u8string());
    const fs::path stamped = scratch.path / name;
    SigningOutcome outcome{shownAs, true, {}, {}};
    const SignatureState before = tool.verify(file, request.caFile, request.tsaCaFile);
    if (before.present) {
        if (!before.digestMatches) {
            throw PackError(shown(shownAs) + " was changed after it was signed: put the signed "
                            "file back (or the unsigned one) rather than sign this one");
        }
        outcome.note = before.valid ? "signed again: its earlier signature is replaced"
                                    : "its own signature did not verify: " + before.problem;
        tool.removeSignature(file, unsignedCopy, shown(shownAs));
    } else {
        fs::copy_file(file, unsignedCopy);
    }
    tool.sign(unsignedCopy, signedCopy, request, secret, shown(shownAs));
    if (request.withoutTimestamp) {
        fs::rename(signedCopy, stamped);
    } else {
        tool.addTimestamp(signedCopy, stamped, request, shown(shownAs));
    }
    outcome.state = tool.verify(stamped, request.caFile, request.tsaCaFile);
    const bool chainOk = outcome.state.chainVerified || request.caFile.empty();
    if (!outcome.state.digestMatches || !chainOk
        || (!request.withoutTimestamp && outcome.state.timestamp.empty())) {
        throw PackError("the signature of " + shown(shownAs) + " does not verify: "
                        + (outcome.state.problem.empty() ? "it has no timestamp" : outcome.state.problem));
    }
    fs::rename(stamped, file);
    return outcome;
}

void WindowsSigner::keepOrSign(const fs::path& file, const fs::path& shownAs, SignatureState state,
                               const std::string& ownSigner, SigningReport& report) const {
    if (!state.valid && state.digestMatches && !request.caFile.empty()
        && (ownSigner.empty() || state.signer == ownSigner)) {
        // Signed with this key before: its own CA vouches for it.
        state = tool.verify(file, request.caFile, request.tsaCaFile);
    }
    // Signed with this key before but without the timestamp this run asks
    // for: signed again, so that it outlives the certificate.
    const bool ours = !ownSigner.empty() && state.signer == ownSigner;
    if (state.valid && !(ours && state.timestamp.empty() && !request.withoutTimestamp)) {
        report.files.push_back({shownAs, false, state, {}});
        return;
    }
    // Intact, but vouched for by a root this machine does not carry (the
    // system DLLs a runtime ships are signed by Microsoft, whose roots
    // Windows has and Linux bundles lack): the vendor's signature is what
    // Windows will check, so it stays, and the user is told whose it is.
    if (state.digestMatches && state.unknownRoot && !state.timestamp.empty()) {
        report.files.push_back({shownAs, false, state, "its chain ends at a root this machine's CA "
                                "bundle lacks: Windows checks it against its own"});
        report.unknownRoots.insert(state.signer);
        return;
    }
    report.files.push_back(signOne(file, shownAs));
}

std::vector<SignatureState> WindowsSigner::verifyAll(const fs::path& image,
                                                     const std::vector<fs::path>& files) const {
    // Checking a runtime's many vendor-signed files is most of the step's
    // time, and each check is a process of its own: a few run at once.
    std::vector<SignatureState> states(files.size());
    std::atomic<size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    const auto work = [&]() {
        for (size_t i = next++; i < files.size(); i = next++) {
            try {
                states[i] = tool.verify(image / files[i], fs::path(), fs::path());
            } catch (...) {
                const std::lock_guard<std::mutex> lock(failureLock);
                failure = std::current_exception();
            }
        }
    };
    const unsigned count = std::max(2u, std::min(8u, std::thread::hardware_concurrency()));
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < count; ++i) {
        workers.emplace_back(work);
    }
    for (std::thread& t : workers) {
        t.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    return states;
}

void WindowsSigner::signImage(const fs::path& image, SigningReport& report) const {
    const std::vector<fs::path> files = peFilesOf(image);
    if (files.empty()) {
        throw PackError(shown(image) + " holds no Windows program: is it a Windows image?");
    }
    std::vector<fs::path> others;
    std::string ownSigner;
    for (const fs::path& relative : files) {
        if (relative.has_parent_path()) {
            others.push_back(relative);
            continue;
        }
        // A launcher: ours, and the user's to sign, even when signed before.
        report.files.push_back(signOne(image / relative, relative));
        ownSigner = report.files.back().state.signer;
    }
    const std::vector<SignatureState> states = verifyAll(image, others);
    for (size_t i = 0; i < others.size(); ++i) {
        keepOrSign(image / others[i], others[i], states[i], ownSigner, report);
    }
    const std::vector<std::string> jni = jniLibraryWarnings(image);
    report.warnings.insert(report.warnings.end(), jni.begin(), jni.end());
}

void WindowsSigner::signFile(const fs::path& file, const fs::path& shownAs, SigningReport& report) const {
    report.files.push_back(signOne(file, shownAs));
}

std::vector<std::string> jniLibraryWarnings(const fs::path& image) {
    std::vector<std::string> warnings;
    for (const TreeEntry& entry : walkTree(image, "the image")) {
        if (entry.directory || lower(entry.relative.extension().u8string()) != ".jar") {
            continue;
        }
        const ZipArchive jar(image / entry.relative, shown(entry.relative));
        std::vector<std::string> libraries;
        for (const ZipArchive::Entry& e : jar.entries()) {
            if (lower(fs::u8path(e.name).extension().u8string()) == ".dll") {
                libraries.push_back(e.name);
            }
        }
        if (libraries.empty()) {
            continue;
        }
        std::string list;
        for (const std::string& name : libraries) {
            list += (list.empty() ? "" : ", ") + name;
        }
        warnings.push_back(
                shown(entry.relative) + " holds native libraries (" + list + ") that are unpacked "
                "and loaded at run time unsigned, which Smart App Control blocks; signing them "
                "means rewriting the jar"
                + (isJarSigned(jar) ? ", which would break the jar's own signature: ask its "
                                      "vendor for signed libraries"
                                    : ": sign them before they go into the jar, or ship them "
                                      "signed in the image and load them from there"));
    }
    return warnings;
}

std::string signingSummary(const SigningReport& report) {
    std::string text;
    for (const SigningOutcome& o : report.files) {
        text += std::string(o.signedNow ? "  signed  " : "  kept    ") + o.file.u8string() + "\n"
                + "          by " + (o.state.signer.empty() ? "(unknown)" : o.state.signer) + ", "
                + (o.state.timestamp.empty() ? "no timestamp" : "timestamped " + o.state.timestamp)
                + (o.state.valid ? ", verified"
                   : o.state.problem.empty() || (!o.signedNow && !o.note.empty()) ? ""
                   : ", " + o.state.problem)
                + "\n";
        if (!o.note.empty()) {
            text += "          (" + o.note + ")\n";
        }
    }
    if (!report.unknownRoots.empty()) {
        std::string signers;
        for (const std::string& signer : report.unknownRoots) {
            signers += "\n  " + signer;
        }
        text += "Warning: files kept whose signers' roots this machine cannot check (make sure "
                "you expect them):" + signers + "\n";
    }
    for (const std::string& w : report.warnings) {
        text += "Warning: " + w + "\n";
    }
    return text;
}

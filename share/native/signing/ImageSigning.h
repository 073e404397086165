// Signing a Windows image and its installer in the order Windows needs:
// the launchers, then every other program and library that is not validly
// signed, and the .msi only once it holds the signed image. A file is
// written once, when its signature is complete, and never touched again.
#ifndef IMAGESIGNING_H
#define IMAGESIGNING_H

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "Authenticode.h"
#include "PeFile.h"
#include "SigningRequest.h"

struct SigningOutcome {
    std::filesystem::path file;  // as the user named it, or inside the image
    bool signedNow = false;      // false: kept, its vendor's signature intact
    SignatureState state;        // as verified afterwards
    std::string note;            // why a signed file was signed again
};

struct SigningReport {
    std::vector<SigningOutcome> files;
    std::set<std::string> unknownRoots;  // signers of files kept unchecked to the root
    std::vector<std::string> warnings;
};

class WindowsSigner {
public:
    // Reads the secret and checks the request; throws PackError.
    explicit WindowsSigner(const SigningRequest& request);

    // Every PE file of the image, launchers first; adds to `report`.
    void signImage(const std::filesystem::path& image, SigningReport& report) const;
    // One PE file or .msi.
    void signFile(const std::filesystem::path& file, const std::filesystem::path& shownAs,
                  SigningReport& report) const;

private:
    SigningOutcome signOne(const std::filesystem::path& file, const std::filesystem::path& shownAs) const;
    // Keeps a file whose signature `state` holds up, signs it otherwise;
    // `ownSigner` is the subject this key signs as, once known.
    void keepOrSign(const std::filesystem::path& file, const std::filesystem::path& shownAs,
                    SignatureState state, const std::string& ownSigner, SigningReport& report) const;
    std::vector<SignatureState> verifyAll(const std::filesystem::path& image,
                                          const std::vector<std::filesystem::path>& files) const;

    SigningRequest request;
    Authenticode tool;
    std::string secret;
};

// The .dll entries of the image's jars, which are unpacked and loaded at
// run time unsigned: one warning each jar.
std::vector<std::string> jniLibraryWarnings(const std::filesystem::path& image);

// The summary printed after signing: each file, its signer, its timestamp.
std::string signingSummary(const SigningReport& report);

#endif // IMAGESIGNING_H

// Authenticode signatures of PE files and .msi packages, made and checked
// by osslsigncode, which runs on every build machine. A password or PIN
// reaches it on its standard input (-readpass -), never in its arguments.
#ifndef AUTHENTICODE_H
#define AUTHENTICODE_H

#include <filesystem>
#include <string>

#include "SigningRequest.h"

// What verification found.
struct SignatureState {
    bool present = false;        // the file carries a signature
    bool digestMatches = false;  // and the file is what was signed
    bool chainVerified = false;  // to the CA file given (or the machine's)
    bool valid = false;          // everything osslsigncode checks passed
    bool unknownRoot = false;    // the chain ends at a root the CA file lacks
    std::string signer;          // the signing certificate's subject
    std::string timestamp;       // the RFC 3161 time, empty without one
    std::string problem;         // why it is not valid
};

// Refuses digests that no longer protect a signature.
void checkDigest(const std::string& digest);

class Authenticode {
public:
    // Finds osslsigncode; throws PackError without it.
    Authenticode();

    // Signs `in` into `out` (no timestamp yet). `secret` is the password
    // or PIN, empty when there is none.
    // `what` names the file in messages.
    void sign(const std::filesystem::path& in, const std::filesystem::path& out,
              const SigningRequest& request, const std::string& secret, const std::string& what) const;

    // Adds an RFC 3161 timestamp from the first server that gives one,
    // each tried request.timestampAttempts times; throws PackError naming
    // what every server said.
    void addTimestamp(const std::filesystem::path& in, const std::filesystem::path& out,
                      const SigningRequest& request, const std::string& what) const;

    // Checks the signature of `file`; an empty `caFile` means the
    // machine's own bundle. Revocation lists are not fetched.
    SignatureState verify(const std::filesystem::path& file, const std::filesystem::path& caFile,
                          const std::filesystem::path& tsaCaFile) const;

    // Removes a signature that is there (before signing anew).
    void removeSignature(const std::filesystem::path& in, const std::filesystem::path& out,
                         const std::string& what) const;

private:
    std::filesystem::path program;
    bool offlineOptions = false;  // it knows -ignore-cdp and -ignore-crl
};

// Reads what `osslsigncode verify` printed (exposed for tests).
SignatureState readVerifyOutput(const std::string& output, bool exitedWithZero);

#endif // AUTHENTICODE_H

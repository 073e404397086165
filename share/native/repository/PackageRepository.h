// A folder that apt and dnf update from: .deb and .rpm files added to it,
// its indexes written and signed, and every signature checked as users'
// machines will check it.
//
//   DIR/apt/pool/*.deb, Packages, Packages.gz, Release, InRelease, Release.gpg
//   DIR/rpm/packages/*.rpm, repodata/ (repomd.xml, repomd.xml.asc)
//   DIR/key.gpg, DIR/key.asc   the public key, binary and armored
#ifndef PACKAGEREPOSITORY_H
#define PACKAGEREPOSITORY_H

#include <filesystem>
#include <string>
#include <vector>

#include "SigningRequest.h"

struct RepositoryRequest {
    std::filesystem::path dir;
    std::vector<std::filesystem::path> packages;  // .deb and .rpm files
    std::string gpgKey;            // in the user's keyring; or
    std::filesystem::path gpgKeyFile;  // a private key's file, read into a keyring of the step's own
    SecretSource passphrase;
    int keep = 0;        // versions kept of each package; 0 keeps them all
    std::string origin;  // the Release file's Origin and Label; empty: the folder's name
};

struct RepositoryResult {
    std::vector<std::string> added, unchanged, removed;  // pool files
    bool written = false;                                // false: nothing changed
    std::vector<std::string> checks;                     // what each check said
};

// Throws PackError; files added by a failed run are taken out again.
RepositoryResult updateRepository(const RepositoryRequest& request);

#endif // PACKAGEREPOSITORY_H

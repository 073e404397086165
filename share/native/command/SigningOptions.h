// The signing options, shared by the sign step and the installer step.
#ifndef SIGNINGOPTIONS_H
#define SIGNINGOPTIONS_H

#include <string>

#include "Options.h"
#include "SigningRequest.h"

// What the options fill in, and what they left to check once all are read.
struct SigningOptions {
    SigningRequest request;
    std::string digest;
    std::string attempts;
    std::string passwordEnv, passwordFile, passphraseEnv, passphraseFile;
    std::string pkcs12, pkcs11, command;

    // Adds the options to `table`, filling this object.
    void addTo(OptionTable& table);
    // Whether a Windows key was given.
    bool windowsKeyGiven() const;
    // Completes `request` from what was given; throws UsageError.
    void finish();
};

// The options' lines for --help.
extern const char* const signingOptionsHelp;

#endif // SIGNINGOPTIONS_H

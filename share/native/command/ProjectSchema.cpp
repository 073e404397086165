#include "ProjectSchema.h"

namespace {

const std::vector<Spec> applicationKeys = {
    {"name", Text, "--name", nullptr}, {"input", PathValue, "--input", nullptr},
    {"main-jar", Text, "--main-jar", nullptr}, {"main-class", Text, "--main-class", nullptr},
    {"class-path", List, "--class-path", nullptr}, {"main-module", Text, "--main-module", nullptr},
    {"module-path", List, "--module-path", nullptr}, {"java-options", List, "--java-option", nullptr},
    {"arguments", List, "--argument", nullptr}, {"splash", PathValue, "--splash", nullptr},
    {"icon", PathValue, "--icon", nullptr}, {"version", Text, "--app-version", nullptr},
    {"vendor", Text, "--vendor", nullptr}, {"description", Text, "--description", nullptr},
    {"product-name", Text, "--product-name", nullptr}, {"copyright", Text, "--copyright", nullptr},
    {"kind", Text, "--kind", nullptr}, {"utf8-code-page", Flag, "--utf8-code-page", "true"},
    {"failure-box", Flag, "--no-failure-box", "false"}, {"absent-modules", List, "--absent-module", nullptr},
};
const std::vector<Spec> targetKeys = {
    {"runtime", PathValue, "--runtime", nullptr}, {"output", PathValue, "--output", nullptr},
    {"launchers", PathValue, "--launchers", nullptr},
};
const std::vector<Spec> installerKeys = {
    {"output", PathValue, "--output", nullptr}, {"scope", Text, "--scope", nullptr},
    {"file-types", List, "--file-type", nullptr}, {"desktop-shortcut", Flag, "--desktop-shortcut", "true"},
    {"start-menu-shortcut", Flag, "--no-start-menu-shortcut", "false"},
    {"upgrade-code", Text, "--upgrade-code", nullptr},
};
const std::vector<Spec> packageKeys = {
    {"package-name", Text, "--package-name", nullptr}, {"location", Text, "--location", nullptr},
    {"maintainer", Text, "--maintainer", nullptr}, {"license", Text, "--license", nullptr},
    {"homepage", Text, "--homepage", nullptr}, {"file-types", List, "--file-type", nullptr},
    {"categories", List, "--category", nullptr}, {"desktop-entry", Flag, "--no-desktop-entry", "false"},
    {"library-packages", List, "--library-package", nullptr}, {"depends", List, "--depends", nullptr},
    {"recommends", List, "--recommends", nullptr}, {"repository-url", Text, "--repository-url", nullptr},
    {"repository-key", PathValue, "--repository-key", nullptr},
};
const std::vector<Spec> debKeys = {{"output", PathValue, "--output", nullptr}};
const std::vector<Spec> rpmKeys = {{"output", PathValue, "--output", nullptr}, {"release", Text, "--release", nullptr}};
// A key is named by where it is kept, never given: no secret is in the file.
const std::vector<Spec> windowsSigningKeys = {
    {"pkcs12", PathValue, "--pkcs12", nullptr}, {"pkcs11", Text, "--pkcs11", nullptr},
    {"pkcs11-module", PathValue, "--pkcs11-module", nullptr}, {"certificate", PathValue, "--certificate", nullptr},
    {"sign-command", Text, "--sign-command", nullptr}, {"password-env", Text, "--password-env", nullptr},
    {"password-file", PathValue, "--password-file", nullptr}, {"timestamp", List, "--timestamp", nullptr},
    {"no-timestamp", Flag, "--no-timestamp", "true"}, {"digest", Text, "--digest", nullptr},
    {"ca-file", PathValue, "--ca-file", nullptr}, {"tsa-ca-file", PathValue, "--tsa-ca-file", nullptr},
};
const std::vector<Spec> linuxSigningKeys = {
    {"gpg-key", Text, "--gpg-key", nullptr}, {"gpg-passphrase-env", Text, "--gpg-passphrase-env", nullptr},
    {"gpg-passphrase-file", PathValue, "--gpg-passphrase-file", nullptr},
};
// The folder is the step's first operand, not an option.
const std::vector<Spec> repositoryKeys = {
    {"folder", PathValue, "", nullptr}, {"gpg-key", Text, "--gpg-key", nullptr},
    {"gpg-key-file", PathValue, "--gpg-key-file", nullptr},
    {"gpg-passphrase-env", Text, "--gpg-passphrase-env", nullptr},
    {"gpg-passphrase-file", PathValue, "--gpg-passphrase-file", nullptr},
    {"keep", Number, "--keep", nullptr}, {"origin", Text, "--origin", nullptr},
};
const std::vector<Spec> jlinkKeys = {
    {"jdk", PathValue, "--jdk", nullptr}, {"jmods", PathValue, "--jmods", nullptr},
    {"add-modules", List, "--add-module", nullptr}, {"warned-modules", Flag, "--no-warned-modules", "false"},
};

} // namespace

const std::map<std::string, std::vector<const std::vector<Spec>*>>& schema() {
    static const std::map<std::string, std::vector<const std::vector<Spec>*>> sections = {
        {"application", {&applicationKeys}},
        {"windows", {&applicationKeys, &targetKeys}},
        {"linux", {&applicationKeys, &targetKeys}},
        {"windows.installer", {&installerKeys}},
        {"windows.signing", {&windowsSigningKeys}},
        {"linux.signing", {&linuxSigningKeys}},
        {"linux.repository", {&repositoryKeys}},
        {"windows.jlink", {&jlinkKeys}},
        {"linux.jlink", {&jlinkKeys}},
        {"linux.packages", {&packageKeys}},
        {"linux.deb", {&packageKeys, &debKeys}},
        {"linux.rpm", {&packageKeys, &rpmKeys}},
    };
    return sections;
}

const Spec* findSpec(const std::string& section, const std::string& key) {
    for (const std::vector<Spec>* group : schema().at(section)) {
        for (const Spec& s : *group) {
            if (key == s.key) {
                return &s;
            }
        }
    }
    return nullptr;
}


std::vector<std::string> projectTargets() {
    return {"windows", "linux"};
}

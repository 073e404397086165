// Which JDK module holds a package, for the Java releases whose JDKs the
// table was generated from (scripts/jdk-packages/make_table.py). Packages
// move between releases, so a release the table lacks is never guessed.
#ifndef JDKPACKAGES_H
#define JDKPACKAGES_H

#include <string>
#include <vector>

// The feature releases the table covers, in order.
std::vector<unsigned> jdkReleasesKnown();
bool jdkReleaseKnown(unsigned release);

// The module of that release that holds `package` (with dots); "" when no
// JDK module does, or the release is not known.
std::string jdkModuleOf(unsigned release, const std::string& package);

// Every module of the release.
std::vector<std::string> jdkModules(unsigned release);

// The packages of one module of the release.
std::vector<std::string> jdkPackagesOf(unsigned release, const std::string& module);

// Whether `name` (any letter case) names a charset that only jdk.charsets
// holds in that release (on Linux; Windows runtimes keep a few more in
// java.base).
bool isExtendedCharset(unsigned release, const std::string& name);

#endif // JDKPACKAGES_H

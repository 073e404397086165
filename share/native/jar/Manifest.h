// The main section of a jar's META-INF/MANIFEST.MF.
#ifndef MANIFEST_H
#define MANIFEST_H

#include <map>
#include <string>

// Attribute names are matched without regard to case, as the runtime does;
// a line starting with one space continues the one before.
class Manifest {
public:
    explicit Manifest(const std::string& text);
    // The attribute's value, or "" when the main section lacks it.
    std::string get(const std::string& name) const;

private:
    std::map<std::string, std::string> attributes;  // names in lower case
};

#endif // MANIFEST_H

// What a check needs of a class file: its version, and a module
// descriptor's module name. Field names follow the class-file format.
#ifndef CLASSFILE_H
#define CLASSFILE_H

#include <string>
#include <string_view>
#include <vector>

// The bytes a class header takes: magic, minor_version, major_version.
const size_t classHeaderSize = 8;

// The major_version of a class file, or 0 when `bytes` does not start with
// a class header.
unsigned classMajorVersion(const std::string& bytes);

// The Java release a class file version belongs to (61 is Java 17).
unsigned javaReleaseOf(unsigned majorVersion);

// The name of the module a module-info.class declares; "" when it is not
// a valid module descriptor.
std::string moduleNameOf(const std::string& moduleInfo);

// The class its ModuleMainClass attribute names, with dots; "" when it has
// none (then "java -m MODULE" refuses to start it).
std::string moduleMainClassOf(const std::string& moduleInfo);

// Whether `name` is a qualified name of the Java language ("java.sql",
// "com.acme.Main"): identifiers joined by dots (bytes past ASCII are taken
// as letters, as UTF-8 identifiers are).
bool isQualifiedName(std::string_view name);

// What a class refers to, from its constant pool: the classes it names
// (binary names with '/', array types as their element class) and its
// string constants. Empty when the bytes are not a whole class file.
struct ClassReferences {
    std::vector<std::string> classes;
    std::vector<std::string> strings;
};
ClassReferences classReferencesOf(const std::string& bytes);

// The same without copying: each class name and string constant in turn,
// as views into `bytes` (array types as written, "[Ljava/sql/Date;").
// Returns false when the bytes are not a whole constant pool.
class ReferenceVisitor {
public:
    virtual ~ReferenceVisitor() = default;
    virtual void onClass(std::string_view name) = 0;
    virtual void onString(std::string_view text) = 0;
};
bool visitReferences(const std::string& bytes, ReferenceVisitor& visitor);

#endif // CLASSFILE_H

#include "ClassFile.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace {

// Reads big-endian numbers and throws std::out_of_range past the end.
class Reader {
public:
    explicit Reader(const std::string& b) : bytes(b) {}
    unsigned u1() { return static_cast<unsigned char>(bytes.at(at++)); }
    unsigned u2() { const unsigned hi = u1(); return (hi << 8) | u1(); }
    unsigned long u4() { const unsigned long hi = u2(); return (hi << 16) | u2(); }
    void skip(size_t n) {
        if (n > bytes.size() - at) {
            throw std::out_of_range("class file");
        }
        at += n;
    }
    size_t left() const { return bytes.size() - at; }
    std::string take(size_t n) {
        const size_t from = at;
        skip(n);
        return bytes.substr(from, n);
    }

private:
    const std::string& bytes;
    size_t at = 0;
};

// Constant pool tags (JVMS 4.4).
enum Tag {
    CONSTANT_Utf8 = 1, CONSTANT_Integer = 3, CONSTANT_Float = 4, CONSTANT_Long = 5,
    CONSTANT_Double = 6, CONSTANT_Class = 7, CONSTANT_String = 8, CONSTANT_Fieldref = 9,
    CONSTANT_Methodref = 10, CONSTANT_InterfaceMethodref = 11, CONSTANT_NameAndType = 12,
    CONSTANT_MethodHandle = 15, CONSTANT_MethodType = 16, CONSTANT_Dynamic = 17,
    CONSTANT_InvokeDynamic = 18, CONSTANT_Module = 19, CONSTANT_Package = 20,
};

struct Constant {
    unsigned tag = 0;
    unsigned index = 0;  // name_index of a Module or Class
    std::string utf8;
};

std::vector<Constant> readConstantPool(Reader& r) {
    const unsigned constant_pool_count = r.u2();
    // Each constant takes three bytes at least: a count the file cannot
    // hold is not allocated.
    if (constant_pool_count > r.left() / 3 + 1) {
        throw std::out_of_range("constant pool count");
    }
    std::vector<Constant> pool(constant_pool_count);
    for (unsigned i = 1; i < constant_pool_count; ++i) {
        Constant& c = pool[i];
        c.tag = r.u1();
        switch (c.tag) {
        case CONSTANT_Utf8: c.utf8 = r.take(r.u2()); break;
        case CONSTANT_Class: case CONSTANT_Module: case CONSTANT_Package:
        case CONSTANT_String: case CONSTANT_MethodType: c.index = r.u2(); break;
        case CONSTANT_MethodHandle: r.skip(3); break;
        case CONSTANT_Integer: case CONSTANT_Float: case CONSTANT_Fieldref: case CONSTANT_Methodref:
        case CONSTANT_InterfaceMethodref: case CONSTANT_NameAndType: case CONSTANT_Dynamic:
        case CONSTANT_InvokeDynamic: r.skip(4); break;
        case CONSTANT_Long: case CONSTANT_Double: r.skip(8); ++i; break;  // takes two slots
        default: throw std::out_of_range("constant pool tag");
        }
    }
    return pool;
}

void skipMembers(Reader& r) {
    for (unsigned n = r.u2(); n > 0; --n) {
        r.skip(6);  // access_flags, name_index, descriptor_index
        for (unsigned a = r.u2(); a > 0; --a) {
            r.skip(2);
            r.skip(r.u4());
        }
    }
}

} // namespace

unsigned classMajorVersion(const std::string& bytes) {
    if (bytes.size() < classHeaderSize || bytes.compare(0, 4, "\xCA\xFE\xBA\xBE") != 0) {
        return 0;
    }
    return (static_cast<unsigned char>(bytes[6]) << 8) | static_cast<unsigned char>(bytes[7]);
}

unsigned javaReleaseOf(unsigned majorVersion) {
    return majorVersion > 44 ? majorVersion - 44 : 1;
}

namespace {

// The value of the descriptor's attribute `wanted`: Module's module name,
// or ModuleMainClass's class name (with '/').
std::string moduleAttribute(const std::string& moduleInfo, const std::string& wanted) try {
    Reader r(moduleInfo);
    if (r.u4() != 0xCAFEBABEUL) {
        return std::string();
    }
    r.skip(4);  // minor_version, major_version
    const std::vector<Constant> pool = readConstantPool(r);
    r.skip(6);  // access_flags, this_class, super_class
    r.skip(2 * static_cast<size_t>(r.u2()));  // interfaces
    skipMembers(r);  // fields
    skipMembers(r);  // methods
    for (unsigned n = r.u2(); n > 0; --n) {
        const unsigned attribute_name_index = r.u2();
        const unsigned long attribute_length = r.u4();
        if (pool.at(attribute_name_index).utf8 == wanted) {
            // module_name_index or main_class_index: a Module or a Class constant
            const Constant& named = pool.at(r.u2());
            const unsigned tag = wanted == "Module" ? CONSTANT_Module : CONSTANT_Class;
            return named.tag == tag ? pool.at(named.index).utf8 : std::string();
        }
        r.skip(attribute_length);
    }
    return std::string();
} catch (const std::out_of_range&) {
    return std::string();
}

} // namespace

std::string moduleNameOf(const std::string& moduleInfo) {
    return moduleAttribute(moduleInfo, "Module");
}

std::string moduleMainClassOf(const std::string& moduleInfo) {
    std::string name = moduleAttribute(moduleInfo, "ModuleMainClass");
    std::replace(name.begin(), name.end(), '/', '.');
    return name;
}

namespace {

// The big-endian number of `n` bytes at `at`.
unsigned bigEndian(const std::string& bytes, size_t at, int n) {
    unsigned value = 0;
    for (int k = 0; k < n; ++k) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + k]);
    }
    return value;
}

} // namespace

bool visitReferences(const std::string& bytes, ReferenceVisitor& visitor) {
    if (bytes.size() < 10 || bigEndian(bytes, 0, 4) != 0xCAFEBABEu) {
        return false;
    }
    const unsigned count = bigEndian(bytes, 8, 2);
    if (count > (bytes.size() - 10) / 3 + 1) {
        return false;
    }
    // Where each Utf8 constant's bytes are, then the Class and String
    // constants that name them.
    std::vector<uint32_t> utf8At(count, 0), utf8Size(count, 0);
    std::vector<std::pair<unsigned, uint16_t>> named;  // (tag, index)
    size_t at = 10;
    for (unsigned i = 1; i < count; ++i) {
        if (at >= bytes.size()) {
            return false;
        }
        const unsigned tag = static_cast<unsigned char>(bytes[at]);
        size_t size = 0;
        switch (tag) {
        case CONSTANT_Utf8:
            if (at + 3 > bytes.size()) {
                return false;
            }
            size = 3 + bigEndian(bytes, at + 1, 2);
            utf8At[i] = static_cast<uint32_t>(at + 3);
            utf8Size[i] = static_cast<uint32_t>(size - 3);
            break;
        case CONSTANT_Class: case CONSTANT_String:
            if (at + 3 > bytes.size()) {
                return false;
            }
            named.emplace_back(tag, static_cast<uint16_t>(bigEndian(bytes, at + 1, 2)));
            size = 3;
            break;
        case CONSTANT_Module: case CONSTANT_Package: case CONSTANT_MethodType: size = 3; break;
        case CONSTANT_MethodHandle: size = 4; break;
        case CONSTANT_Integer: case CONSTANT_Float: case CONSTANT_Fieldref: case CONSTANT_Methodref:
        case CONSTANT_InterfaceMethodref: case CONSTANT_NameAndType: case CONSTANT_Dynamic:
        case CONSTANT_InvokeDynamic: size = 5; break;
        case CONSTANT_Long: case CONSTANT_Double: size = 9; ++i; break;  // takes two slots
        default: return false;
        }
        at += size;
        if (at > bytes.size()) {
            return false;
        }
    }
    for (const auto& n : named) {
        if (n.second == 0 || n.second >= count || utf8At[n.second] == 0) {
            return false;
        }
        const std::string_view text(bytes.data() + utf8At[n.second], utf8Size[n.second]);
        if (n.first == CONSTANT_Class) {
            visitor.onClass(text);
        } else {
            visitor.onString(text);
        }
    }
    return true;
}

ClassReferences classReferencesOf(const std::string& bytes) {
    struct Collect : ReferenceVisitor {
        ClassReferences refs;
        void onClass(std::string_view name) override {
            const size_t dims = name.find_first_not_of('[');
            if (dims != 0 && dims != std::string_view::npos) {
                // "[[Ljava/sql/Date;"; a primitive array names no class
                if (name[dims] != 'L' || name.back() != ';') {
                    return;
                }
                name = name.substr(dims + 1, name.size() - dims - 2);
            }
            refs.classes.emplace_back(name);
        }
        void onString(std::string_view text) override { refs.strings.emplace_back(text); }
    } collect;
    return visitReferences(bytes, collect) ? std::move(collect.refs) : ClassReferences();
}

bool isQualifiedName(std::string_view name) {
    bool start = true;
    for (const char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$'
                            || static_cast<unsigned char>(c) >= 0x80;
        if (c == '.' ? start : !(letter || (!start && c >= '0' && c <= '9'))) {
            return false;
        }
        start = c == '.';
    }
    return !start;
}

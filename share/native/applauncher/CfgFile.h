// The launcher configuration file: sections of properties with text values.
#ifndef CFGFILE_H
#define CFGFILE_H

#include <istream>
#include <map>
#include <vector>

#include "tstrings.h"

class SectionKey {
public:
    explicit SectionKey(const tstring& name = tstring()) : value(name) {}
    const tstring& name() const { return value; }
    bool operator<(const SectionKey& o) const { return value < o.value; }
    bool operator==(const SectionKey& o) const { return value == o.value; }
    bool operator!=(const SectionKey& o) const { return value != o.value; }

private:
    tstring value;
};

class PropertyKey {
public:
    explicit PropertyKey(const tstring& name) : value(name) {}
    const tstring& name() const { return value; }
    bool operator<(const PropertyKey& o) const { return value < o.value; }
    bool operator==(const PropertyKey& o) const { return value == o.value; }
    bool operator!=(const PropertyKey& o) const { return value != o.value; }

private:
    tstring value;
};

typedef std::map<PropertyKey, tstring_array> PropertyMap;
typedef std::map<tstring, tstring> MacroMap;

// Told what the forgiving parser drops; the launcher itself passes none.
class CfgFileObserver {
public:
    enum Reason {
        InvalidUtf8,
        OutsideSection,
        UnknownSection,
        UnknownKey,
    };
    virtual ~CfgFileObserver() = default;
    // `name` is the key of a property line or the name of a header.
    virtual void lineDropped(int lineNumber, const std::string& rawLine, Reason reason,
                             const tstring& name) = 0;
    // The occurrence of the section that starts at `lineNumber` replaced an
    // earlier one.
    virtual void sectionReplaced(int lineNumber, const tstring& sectionName) = 0;
};

class CfgFile {
public:
    static CfgFile load(const tstring& path, CfgFileObserver* observer = nullptr);

    // The same from an open stream; the path only names the file in messages.
    static CfgFile load(std::istream& input, const tstring& path,
                        CfgFileObserver* observer = nullptr);

    // A copy with every macro name replaced; a temporary is resolved in place.
    CfgFile resolveMacros(const MacroMap& macros) const&;
    CfgFile resolveMacros(const MacroMap& macros) &&;
    const PropertyMap& sectionProperties(const SectionKey& section) const;
    CfgFile& replaceValues(const SectionKey& section, const PropertyKey& property,
                           const tstring_array& values);

    static tstring lastValueOf(const PropertyMap::value_type& property);
    static tstring pathListOf(const PropertyMap::value_type& property);

    static const SectionKey application;
    static const SectionKey javaOptions;
    static const SectionKey appCdsJavaOptions;
    static const SectionKey appCdsGenerateCacheJavaOptions;
    static const SectionKey argOptions;

    static const PropertyKey version;
    static const PropertyKey mainjar;
    static const PropertyKey mainmodule;
    static const PropertyKey mainclass;
    static const PropertyKey classpath;
    static const PropertyKey modulepath;
    static const PropertyKey runtime;
    static const PropertyKey splash;
    static const PropertyKey memory;
    static const PropertyKey failurebox;
    static const PropertyKey arguments;
    static const PropertyKey javaOptionsKey;

    // The recognised names, matched exactly.
    typedef std::vector<const wchar_t*> Names;
    static const Names& sectionNames();
    static const Names& propertyNames();

private:
    std::map<SectionKey, PropertyMap> data;
    PropertyMap empty;
};

#endif // CFGFILE_H

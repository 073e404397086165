// Reading the configuration file and resolving its directory macros.
#include "CfgFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "ErrorHandling.h"
#include "FileUtils.h"

const SectionKey CfgFile::application(L"Application");
const SectionKey CfgFile::javaOptions(L"JavaOptions");
const SectionKey CfgFile::appCdsJavaOptions(L"AppCDSJavaOptions");
const SectionKey CfgFile::appCdsGenerateCacheJavaOptions(L"AppCDSGenerateCacheJavaOptions");
const SectionKey CfgFile::argOptions(L"ArgOptions");

const PropertyKey CfgFile::version(L"app.version");
const PropertyKey CfgFile::mainjar(L"app.mainjar");
const PropertyKey CfgFile::mainmodule(L"app.mainmodule");
const PropertyKey CfgFile::mainclass(L"app.mainclass");
const PropertyKey CfgFile::classpath(L"app.classpath");
const PropertyKey CfgFile::modulepath(L"app.modulepath");
const PropertyKey CfgFile::runtime(L"app.runtime");
const PropertyKey CfgFile::splash(L"app.splash");
const PropertyKey CfgFile::memory(L"app.memory");
const PropertyKey CfgFile::failurebox(L"app.failurebox");
const PropertyKey CfgFile::arguments(L"arguments");
const PropertyKey CfgFile::javaOptionsKey(L"java-options");

namespace {

const wchar_t* const knownSections[] = {
    L"Application", L"JavaOptions", L"AppCDSJavaOptions",
    L"AppCDSGenerateCacheJavaOptions", L"ArgOptions",
};

const wchar_t* const knownProperties[] = {
    L"app.version", L"app.mainjar", L"app.mainmodule", L"app.mainclass",
    L"app.classpath", L"app.modulepath", L"app.runtime", L"app.splash",
    L"app.memory", L"app.failurebox", L"arguments", L"java-options",
};

bool isOneOf(const tstring& name, const CfgFile::Names& names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool isKnownSection(const tstring& name) {
    return isOneOf(name, CfgFile::sectionNames());
}

bool isKnownProperty(const tstring& name) {
    return isOneOf(name, CfgFile::propertyNames());
}

// The first '=' at position 0 or not preceded by a backslash.
size_t findSeparator(const tstring& line) {
    size_t pos = line.find(L'=');
    while (pos != tstring::npos && pos > 0 && line[pos - 1] == L'\\') {
        pos = line.find(L'=', pos + 1);
    }
    return pos;
}

// Each pass of a value whose macro texts hold no macro name changes it
// at most twice; more means a macro text leads back to a macro name.
const int maxMacroPasses = 8;

// In place: a value that names no macro, the usual case however long it
// is, is never copied.
void resolveValue(tstring& value, const MacroMap& macros) {
    tstring original;
    for (int pass = 0; pass < maxMacroPasses; ++pass) {
        tstring passStart;
        bool found = false;
        for (const auto& macro : macros) {
            if (!macro.first.empty() && value.find(macro.first) != tstring::npos) {
                if (!found) {
                    passStart = value;
                    found = true;
                }
                if (pass == 0 && original.empty()) {
                    original = value;
                }
                value = tstrings::replaceEvery(value, macro.first, macro.second);
            }
        }
        if (!found || value == passStart) {
            return;
        }
    }
    TARN_THROW(tstrings::TextBuilder() << "Failed to resolve macros in \"" << original
               << "\" value: the text of a macro contains a macro name");
}

} // namespace

const CfgFile::Names& CfgFile::sectionNames() {
    static const Names names(std::begin(knownSections), std::end(knownSections));
    return names;
}

const CfgFile::Names& CfgFile::propertyNames() {
    static const Names names(std::begin(knownProperties), std::end(knownProperties));
    return names;
}

CfgFile CfgFile::load(const tstring& path, CfgFileObserver* observer) {
    // Windows reports a folder as "Permission denied", Linux opens it.
    if (FileUtils::isDirectory(path)) {
        TARN_THROW(tstrings::TextBuilder() << "Error opening \"" << path << "\" file: "
                   << "it is a folder, not a file", 157);
    }
    // A pipe would be read for ever, and a device may never end.
    if (FileUtils::isFileExists(path) && !FileUtils::isRegularFile(path)) {
        TARN_THROW(tstrings::TextBuilder() << "Error opening \"" << path << "\" file: "
                   << "it is not a regular file", 157);
    }
    std::ifstream input(FileUtils::fsPath(path));
    if (!input.good()) {
        TARN_THROW(tstrings::TextBuilder() << "Error opening \"" << path << "\" file: "
                   << crtErrorText(), 157);
    }
    return load(input, path, observer);
}

CfgFile CfgFile::load(std::istream& input, const tstring& path, CfgFileObserver* observer) {
    CfgFile cfg;
    SectionKey section;
    PropertyMap pending;
    int lineNumber = 0;
    int sectionLine = 0;

    // A later occurrence of a section replaces an earlier one, unless it
    // gathered nothing.
    auto commit = [&]() {
        if (section != SectionKey() && !pending.empty()) {
            auto& stored = cfg.data[section];
            if (observer && !stored.empty()) {
                observer->sectionReplaced(sectionLine, section.name());
            }
            stored.swap(pending);
        }
        pending.clear();
    };

    std::string raw;
    while (std::getline(input, raw)) {
        ++lineNumber;
        // A file edited on Windows reads the same everywhere.
        if (!raw.empty() && raw.back() == '\r') {
            raw.pop_back();
        }
        tstring line = tstrings::decodeUtf8(raw);
        if (line.empty()) {
            if (observer && !raw.empty()) {
                observer->lineDropped(lineNumber, raw, CfgFileObserver::InvalidUtf8, tstring());
            }
            continue;
        }
        if (line[0] == L';') {
            continue;
        }
        if (line[0] == L'[') {
            const size_t close = line.rfind(L']');
            if (close == tstring::npos) {
                TARN_THROW(tstrings::TextBuilder() << "Error parsing [" << path
                           << "] file at " << lineNumber << ": Missing ']' character", 184);
            }
            commit();
            const tstring name = line.substr(1, close - 1);
            section = isKnownSection(name) ? SectionKey(name) : SectionKey();
            sectionLine = lineNumber;
            if (observer && !isKnownSection(name)) {
                observer->lineDropped(lineNumber, raw, CfgFileObserver::UnknownSection, name);
            }
            continue;
        }

        const size_t sep = findSeparator(line);
        const tstring key = line.substr(0, sep);
        // The value is the line's own memory: a long one is never copied.
        tstring value = sep == tstring::npos ? tstring() : std::move(line.erase(0, sep + 1));
        if (section == SectionKey()) {
            if (observer) {
                observer->lineDropped(lineNumber, raw, CfgFileObserver::OutsideSection, key);
            }
        } else if (!isKnownProperty(key)) {
            if (observer) {
                observer->lineDropped(lineNumber, raw, CfgFileObserver::UnknownKey, key);
            }
        } else {
            pending[PropertyKey(key)].push_back(std::move(value));
        }
    }

    if (!input.eof()) {
        TARN_THROW(tstrings::TextBuilder() << "Failed to read \"" << path
                   << "\" file up to the end: " << crtErrorText(), 220);
    }
    commit();
    return cfg;
}

CfgFile CfgFile::resolveMacros(const MacroMap& macros) const& {
    return CfgFile(*this).resolveMacros(macros);
}

CfgFile CfgFile::resolveMacros(const MacroMap& macros) && {
    for (auto& section : data) {
        for (auto& property : section.second) {
            for (tstring& value : property.second) {
                resolveValue(value, macros);
            }
        }
    }
    return std::move(*this);
}

const PropertyMap& CfgFile::sectionProperties(const SectionKey& section) const {
    const auto it = data.find(section);
    return it == data.end() ? empty : it->second;
}

CfgFile& CfgFile::replaceValues(const SectionKey& section, const PropertyKey& property,
                                const tstring_array& values) {
    data[section][property] = values;
    return *this;
}

tstring CfgFile::lastValueOf(const PropertyMap::value_type& property) {
    return property.second.empty() ? tstring() : property.second.back();
}

tstring CfgFile::pathListOf(const PropertyMap::value_type& property) {
    return tstrings::joinWith(property.second, FileUtils::pathListSeparator);
}

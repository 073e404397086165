#include "ProjectFile.h"

#include "ProjectSchema.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#define TOML_HEADER_ONLY 1
#define TOML_ENABLE_FORMATTERS 0
#include <toml++/toml.h>

namespace fs = std::filesystem;

namespace {

size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The known name nearest to `name`, when a slip away.
std::string nearest(const std::string& name, const std::vector<std::string>& known) {
    std::string best;
    size_t bestDistance = std::max<size_t>(3, name.size() / 3) + 1;
    for (const std::string& k : known) {
        const size_t d = editDistance(name, k);
        if (d < bestDistance) {
            best = k;
            bestDistance = d;
        }
    }
    return best;
}

const char* kindText(Kind kind) {
    switch (kind) {
    case Text: return "a string";
    case PathValue: return "a string (a path)";
    case List: return "a list of strings";
    case Flag: return "true or false";
    case Number: return "a whole number";
    }
    return "";
}

std::string typeName(const toml::node& node) {
    switch (node.type()) {
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a number";
    case toml::node_type::boolean: return "a boolean";
    case toml::node_type::array: return "a list";
    case toml::node_type::table: return "a table";
    default: return "a date or time";
    }
}

// Reads a file and collects every problem before refusing it.
class Reader {
public:
    Reader(const fs::path& f) : file(f), dir(fs::absolute(f).parent_path()) { project.file = fs::absolute(f); }

    Project read(const std::string& text) {
        toml::table root;
        try {
            root = toml::parse(text, file.u8string());
        } catch (const toml::parse_error& e) {
            add(e.source(), std::string(e.description()));
            refuse();
        }
        for (auto&& [key, node] : root) {
            section(std::string(key.str()), key.source(), node);
        }
        required();
        refuse();
        return project;
    }

private:
    void add(const toml::source_region& at, const std::string& what) {
        problems.push_back({static_cast<int>(at.begin.line), static_cast<int>(at.begin.column), what});
    }
    void addAt(int line, int column, const std::string& what) { problems.push_back({line, column, what}); }

    void refuse() {
        if (problems.empty()) {
            return;
        }
        std::stable_sort(problems.begin(), problems.end(), [](const Problem& a, const Problem& b) {
            return a.line != b.line ? a.line < b.line : a.column < b.column;
        });
        std::string text;
        for (const Problem& p : problems) {
            text += (text.empty() ? "" : "\n") + file.u8string() + ":" + std::to_string(p.line) + ":"
                    + std::to_string(p.column) + ": " + p.what;
        }
        throw ProjectError(text);
    }

    std::vector<std::string> sectionNames() const {
        std::vector<std::string> names;
        for (const auto& s : schema()) {
            names.push_back(s.first);
        }
        return names;
    }

    void section(const std::string& name, const toml::source_region& at, const toml::node& node) {
        if (!schema().count(name)) {
            const std::string near = nearest(name, sectionNames());
            add(at, "unknown section [" + name + "]" + (near.empty() ? "" : " (did you mean [" + near + "]?)"));
            return;
        }
        if (!node.is_table()) {
            add(at, "[" + name + "] is " + typeName(node) + ", not a table of settings");
            return;
        }
        project.sections[name];  // a section that is there, even empty, asks for its artefact
        sectionAt[name] = {static_cast<int>(at.begin.line), static_cast<int>(at.begin.column)};
        for (auto&& [key, value] : *node.as_table()) {
            const std::string k(key.str());
            const std::string child = name + "." + k;
            if (value.is_table()) {
                section(child, key.source(), value);
            } else {
                setting(name, k, key.source(), value);
            }
        }
    }

    // A secret has no place in a file kept in version control: the file
    // names the variable or file that holds it.
    bool secret(const std::string& key, const toml::source_region& at, const toml::node& value) {
        std::string lower = key;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
        const bool named = lower.size() > 4 && (lower.compare(lower.size() - 4, 4, "-env") == 0
                                                || (lower.size() > 5 && lower.compare(lower.size() - 5, 5, "-file") == 0));
        for (const char* word : {"password", "passphrase", "secret", "token", "private-key"}) {
            if (!named && lower.find(word) != std::string::npos) {
                add(at, "\"" + key + "\" would hold a secret in a file that is shared: name the environment "
                        "variable or the file that holds it instead (" + key + "-env = \"VARIABLE\" or " + key
                        + "-file = \"PATH\")");
                return true;
            }
        }
        const std::string* text = value.as_string() ? &value.as_string()->get() : nullptr;
        if (text && text->find("-----BEGIN") != std::string::npos && text->find("PRIVATE KEY") != std::string::npos) {
            add(value.source(), "\"" + key + "\" holds a private key: keep it out of the project file, and name "
                                "the file or the environment variable that holds it");
            return true;
        }
        return false;
    }

    void setting(const std::string& section, const std::string& key, const toml::source_region& at,
                 const toml::node& value) {
        given.insert(section + "\n" + key);  // told once, if wrong, not again as missing
        if (secret(key, at, value)) {
            return;
        }
        const Spec* spec = findSpec(section, key);
        if (!spec) {
            std::vector<std::string> known;
            for (const std::vector<Spec>* group : schema().at(section)) {
                for (const Spec& s : *group) {
                    known.push_back(s.key);
                }
            }
            const std::string near = nearest(key, known);
            add(at, "unknown key \"" + key + "\" in [" + section + "]"
                    + (near.empty() ? "" : " (did you mean \"" + near + "\"?)"));
            return;
        }
        ProjectValue v;
        v.line = static_cast<int>(at.begin.line);
        v.column = static_cast<int>(at.begin.column);
        const auto wrong = [&] {
            add(value.source(), "\"" + key + "\" in [" + section + "] is " + typeName(value) + ": it takes "
                                + kindText(spec->kind));
        };
        if (spec->kind == Flag) {
            if (!value.is_boolean()) {
                return wrong();
            }
            v.items.push_back(value.as_boolean()->get() ? "true" : "false");
        } else if (spec->kind == Number) {
            if (!value.is_integer()) {
                return wrong();
            }
            v.items.push_back(std::to_string(value.as_integer()->get()));
        } else if (spec->kind == List) {
            if (!value.is_array()) {
                return wrong();
            }
            for (const toml::node& item : *value.as_array()) {
                if (!item.is_string()) {
                    add(item.source(), "\"" + key + "\" in [" + section + "] holds " + typeName(item)
                                       + ": it takes a list of strings");
                    continue;
                }
                v.items.push_back(item.as_string()->get());
            }
        } else {
            if (!value.is_string()) {
                return wrong();
            }
            std::string text = value.as_string()->get();
            if (spec->kind == PathValue && text.empty()) {
                add(value.source(), "\"" + key + "\" in [" + section + "] is empty: fill in the path");
                return;
            }
            if (spec->kind == PathValue) {
                text = (dir / fs::u8path(text)).lexically_normal().u8string();
            }
            v.items.push_back(text);
        }
        project.sections[section][key] = v;
    }

    bool mentioned(const std::string& target, const std::string& key) const {
        return given.count(target + "\n" + key) || given.count("application\n" + key);
    }

    const ProjectValue* value(const std::string& target, const std::string& key) const {
        for (const std::string& s : {target, std::string("application")}) {
            const auto section = project.sections.find(s);
            if (section != project.sections.end() && section->second.count(key)) {
                return &section->second.at(key);
            }
        }
        return nullptr;
    }

    // What each target cannot do without.
    void required() {
        const bool anyTarget = project.has("windows") || project.has("linux");
        if (!anyTarget) {
            addAt(1, 1, "no target: add a [windows] or a [linux] section with the runtime to pack");
        }
        for (const std::string& target : projectTargets()) {
            if (!project.has(target)) {
                continue;
            }
            const auto place = [&](const std::string& what) {
                addAt(sectionAt.at(target).first, sectionAt.at(target).second, "[" + target + "] " + what);
            };
            for (const char* key : {"name", "input"}) {
                if (!mentioned(target, key)) {
                    place("has no \"" + std::string(key) + "\", in it or in [application]");
                }
            }
            if (!mentioned(target, "runtime") && !project.has(target + ".jlink")) {
                place("has no \"runtime\": the Java runtime to pack (or a [" + target + ".jlink] section to "
                      "make it)");
            }
            if (!mentioned(target, "runtime") && project.has(target + ".jlink")) {
                place("has no \"runtime\": the folder that [" + target + ".jlink] makes the runtime in");
            }
            int mains = 0;
            for (const char* key : {"main-jar", "main-class", "main-module"}) {
                mains += mentioned(target, key);
            }
            if (mains != 1) {
                place("needs exactly one of \"main-jar\", \"main-class\" and \"main-module\", in it or in "
                      "[application]");
            }
            if (project.has(target + ".repository") && !given.count(target + ".repository\nfolder")) {
                addAt(sectionAt.at(target + ".repository").first, sectionAt.at(target + ".repository").second,
                      "[" + target + ".repository] has no \"folder\": the repository folder to add the packages to");
            }
        }
    }

    struct Problem {
        int line, column;
        std::string what;
    };
    const fs::path file;
    const fs::path dir;
    Project project;
    std::vector<Problem> problems;
    std::map<std::string, std::pair<int, int>> sectionAt;  // where each section begins
    std::set<std::string> given;                          // "section\nkey", right or wrong
};

} // namespace

Project parseProject(const std::string& text, const fs::path& file) {
    return Reader(file).read(text);
}

Project readProject(const fs::path& file) {
    std::error_code ec;
    // A project file is a page or two.
    if (!fs::is_regular_file(file, ec) || fs::file_size(file, ec) > (1u << 20)) {
        throw ProjectError(file.u8string() + ": no project file there (or not one: over 1 MiB); "
                           "\"loftwick-pack init JAR\" writes one");
    }
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return parseProject(text, file);
}

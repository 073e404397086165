#include "CommandTemplate.h"

#include "PackError.h"

namespace {

// Splits on blanks outside double quotes; a quote groups, a backslash in
// quotes keeps the next quote or backslash.
std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::string word;
    bool inWord = false, quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) {
                word += text[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                word += c;
            }
        } else if (c == '"') {
            quoted = inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord) {
                out.push_back(word);
                word.clear();
                inWord = false;
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted) {
        throw PackError("the signing command has an unclosed quote: " + text);
    }
    if (inWord) {
        out.push_back(word);
    }
    return out;
}

std::string substitute(const std::string& word, const std::map<std::string, std::string>& values,
                       bool& usedFile) {
    std::string out;
    size_t i = 0;
    while (i < word.size()) {
        const size_t open = word.find('{', i);
        if (open == std::string::npos) {
            out += word.substr(i);
            break;
        }
        const size_t close = word.find('}', open);
        if (close == std::string::npos) {
            throw PackError("the signing command has an unclosed placeholder: " + word);
        }
        const std::string name = word.substr(open + 1, close - open - 1);
        const auto value = values.find(name);
        if (value == values.end()) {
            throw PackError("the signing command's placeholder {" + name
                            + "} is unknown: it may hold {file} and {digest}");
        }
        usedFile = usedFile || name == "file";
        out += word.substr(i, open - i) + value->second;
        i = close + 1;
    }
    return out;
}

} // namespace

std::vector<std::string> expandCommand(const std::string& text,
                                       const std::map<std::string, std::string>& values) {
    std::vector<std::string> out;
    bool usedFile = false;
    for (const std::string& word : words(text)) {
        out.push_back(substitute(word, values, usedFile));
    }
    if (out.empty()) {
        throw PackError("the signing command is empty");
    }
    if (!usedFile) {
        throw PackError("the signing command never names the file to sign: put {file} where "
                        "its client takes it");
    }
    return out;
}

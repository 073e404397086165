#include "Manifest.h"

#include <algorithm>
#include <vector>

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return s;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            result.push_back(line);
            line.clear();
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            line += text[i];
        }
    }
    if (!line.empty()) {
        result.push_back(line);
    }
    return result;
}

} // namespace

Manifest::Manifest(const std::string& text) {
    std::string name;
    for (const std::string& line : lines(text)) {
        if (line.empty()) {
            break;  // the main section ends at the first blank line
        }
        if (line[0] == ' ' && !name.empty()) {
            attributes[name] += line.substr(1);
            continue;
        }
        const size_t colon = line.find(": ");
        if (colon == std::string::npos) {
            continue;
        }
        name = lower(line.substr(0, colon));
        attributes[name] = line.substr(colon + 2);
    }
}

std::string Manifest::get(const std::string& name) const {
    const auto it = attributes.find(lower(name));
    return it == attributes.end() ? std::string() : it->second;
}

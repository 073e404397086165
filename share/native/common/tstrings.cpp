// The platform-neutral string helpers; the code page conversions and
// printf are the platform's (WinTstrings).
#include "tstrings.h"

namespace tstrings {

tstring asciiLower(const tstring& text) {
    tstring result = text;
    for (wchar_t& c : result) {
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
    }
    return result;
}

bool hasPrefix(const tstring& text, const tstring& prefix) {
    return text.size() >= prefix.size()
            && text.compare(0, prefix.size(), prefix) == 0;
}

bool hasSuffix(const tstring& text, const tstring& suffix) {
    return text.size() >= suffix.size()
            && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

tstring_array splitOn(const tstring& text, const tstring& delimiter) {
    tstring_array tokens;
    if (text.empty() || delimiter.empty()) {
        return tokens;
    }
    size_t start = 0;
    for (size_t pos = text.find(delimiter); pos != tstring::npos;
         pos = text.find(delimiter, start)) {
        tokens.push_back(text.substr(start, pos - start));
        start = pos + delimiter.size();
    }
    tokens.push_back(text.substr(start));
    return tokens;
}

tstring replaceEvery(const tstring& text, const tstring& pattern,
                     const tstring& replacement) {
    if (pattern.empty()) {
        return text;
    }
    // Built by appending, so the cost grows with the result, not with the
    // number of replacements times its length.
    tstring result;
    size_t from = 0;
    for (size_t pos = text.find(pattern); pos != tstring::npos; pos = text.find(pattern, from)) {
        result.append(text, from, pos - from).append(replacement);
        from = pos + pattern.size();
    }
    return result.append(text, from, tstring::npos);
}

} // namespace tstrings

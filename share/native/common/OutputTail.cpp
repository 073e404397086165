// The bounded tail of a process's output, and its text for a reader.
#include "OutputTail.h"

#include <vector>

namespace {

bool isBlank(const std::string& bytes) {
    return bytes.find_first_not_of(" \t\f\v") == std::string::npos;
}

// A line at the margin starts a report; indented lines ("\tat ...") and a
// trace's "Caused by:" continue the one before.
bool startsReport(const std::string& bytes) {
    return !isBlank(bytes) && bytes[0] != ' ' && bytes[0] != '\t'
           && bytes.compare(0, 10, "Caused by:") != 0;
}

// Each line in the encoding it was most likely written in: the runtime's
// own messages come in the ANSI code page, an application may print UTF-8.
tstring decodeLine(std::string bytes, bool cut) {
    if (bytes.empty()) {
        return tstring();
    }
    tstring text = tstrings::decodeUtf8(bytes);
    // Cutting may have split the last character.
    for (size_t trim = 1; text.empty() && cut && trim <= 3 && trim < bytes.size(); ++trim) {
        text = tstrings::decodeUtf8(bytes.substr(0, bytes.size() - trim));
    }
    if (text.empty()) {
        text = tstrings::decodeAnsi(bytes);
    }
    for (wchar_t& c : text) {
        // A byte the platform's decoding kept as itself (U+DC80..U+DCFF, on
        // Linux) reads as Latin-1, the likeliest text of one byte a character.
        if (c >= 0xDC80 && c <= 0xDCFF) {
            c = static_cast<wchar_t>(c - 0xDC00);
        }
        // A dialog ends its text at a NUL and shows other controls as boxes
        // or not at all: each becomes U+FFFD, so the rest of the text stays.
        if ((c < 0x20 && c != L'\t') || (c >= 0x7F && c <= 0x9F)) {
            c = L'\uFFFD';
        }
    }
    return cut ? text + L"\u2026" : text;
}

} // namespace

void OutputTail::append(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\n') {
            endLine();
        } else if (c != '\r') {
            if (partial.bytes.size() < maxLineBytes) {
                partial.bytes += c;
            } else {
                partial.cut = true;
            }
            if (c != ' ' && c != '\t') {
                visible = true;
            }
        }
    }
}

void OutputTail::endLine() {
    if (startsReport(partial.bytes)) {
        head = partial;
        headNumber = lineCount;
        haveHead = true;
    }
    lines.push_back(std::move(partial));
    partial = Line{std::string(), false};
    ++lineCount;
    if (lines.size() > maxKeptLines) {
        lines.pop_front();
    }
}

tstring OutputTail::text(size_t maxLines) const {
    // Numbered as they were printed; the unfinished line is the newest.
    std::vector<std::pair<size_t, const Line*>> shown;
    size_t number = lineCount - lines.size();
    for (const Line& line : lines) {
        shown.emplace_back(number++, &line);
    }
    if (!partial.bytes.empty()) {
        shown.emplace_back(number, &partial);
    }
    while (!shown.empty() && isBlank(shown.back().second->bytes)) {
        shown.pop_back();
    }
    const size_t limit = maxLines < 3 ? 3 : maxLines;
    bool headCut = false;
    if (shown.size() > limit) {
        shown.erase(shown.begin(), shown.end() - static_cast<std::ptrdiff_t>(limit));
    }
    if (!shown.empty() && haveHead && headNumber < shown.front().first
        && !startsReport(shown.front().second->bytes)) {
        headCut = true;
        if (shown.size() > limit - 2) {
            shown.erase(shown.begin(), shown.end() - static_cast<std::ptrdiff_t>(limit - 2));
        }
    }

    tstring_array parts;
    if (headCut) {
        parts.push_back(decodeLine(head.bytes, head.cut));
        parts.push_back(L"\t...");
    }
    for (const auto& entry : shown) {
        parts.push_back(decodeLine(entry.second->bytes, entry.second->cut));
    }
    return tstrings::joinWith(parts, L"\n");
}

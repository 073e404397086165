#include "XmlElement.h"

namespace {

void write(std::string& out, const XmlElement& e, size_t depth) {
    out += std::string(2 * depth, ' ') + "<" + e.name;
    for (const auto& a : e.attributes) {
        out += " " + a.first + "=\"" + xmlEscape(a.second) + "\"";
    }
    if (e.children.empty()) {
        out += "/>\n";
        return;
    }
    out += ">\n";
    for (const XmlElement& child : e.children) {
        write(out, child, depth + 1);
    }
    out += std::string(2 * depth, ' ') + "</" + e.name + ">\n";
}

} // namespace

XmlElement& XmlElement::add(XmlElement child) {
    children.push_back(std::move(child));
    return children.back();
}

std::string xmlEscape(const std::string& value) {
    std::string out;
    char previous = '\0';
    for (const char c : value) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\t': out += "&#9;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        // wixl's preprocessor drops or expands a lone '$' and reads a run of
        // n+1 as n (measured with wixl 0.101); "$(" cannot be carried at all
        // and is refused before.
        case '$': out += previous == '$' ? "$" : "$$"; break;
        default: out += c;
        }
        previous = c;
    }
    return out;
}

std::string xmlDocument(const XmlElement& root) {
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    write(out, root, 0);
    return out;
}

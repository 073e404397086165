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
    for (const char c : value) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\t': out += "&#9;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string xmlDocument(const XmlElement& root) {
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    write(out, root, 0);
    return out;
}

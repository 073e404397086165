// A small XML document model: elements with attributes, written out with
// every value escaped, so no text of the user's can change the structure.
#ifndef XMLELEMENT_H
#define XMLELEMENT_H

#include <string>
#include <utility>
#include <vector>

struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;  // in order; UTF-8 values
    std::vector<XmlElement> children;

    XmlElement(std::string name, std::vector<std::pair<std::string, std::string>> attributes = {})
        : name(std::move(name)), attributes(std::move(attributes)) {}

    // Appends a child and returns it, for building nested elements in place.
    XmlElement& add(XmlElement child);
};

// The value as an attribute value in double quotes: &, <, >, " and the
// white space an XML parser would normalise become references.
std::string xmlEscape(const std::string& value);

// An XML declaration (UTF-8) and the element, two spaces per level.
std::string xmlDocument(const XmlElement& root);

#endif // XMLELEMENT_H

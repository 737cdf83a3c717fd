#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sv::standin {

// A parsed element: local name (any prefix dropped), attributes, and its own character data.
struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;
    std::vector<XmlElement> children;

    const XmlElement* Child(std::string_view childName) const;
    const std::string* Attribute(std::string_view attributeName) const;
};

// Parses a whole UTF-8 document and returns its root element; raises sv::Failure on malformed
// input, on nesting deeper than any drawing needs, and on undeclared entities.
XmlElement ParseXml(std::string_view document);

// Text made safe for character data, or for an attribute value when inAttribute is set. Characters
// XML 1.0 cannot carry are dropped; line breaks (and tabs in attributes) are written as character
// references where a reader would otherwise fold them.
std::string EscapeXml(std::string_view text, bool inAttribute = false);

// Writes indented elements; text-bearing leaves are written on one line so their content is exact.
class XmlWriter {
  public:
    using Attributes = std::vector<std::pair<std::string_view, std::string>>;

    XmlWriter();
    void Open(std::string_view name, const Attributes& attributes = {});
    void Leaf(std::string_view name, std::string_view text, const Attributes& attributes = {});
    void Close();
    const std::string& str() const { return out_; }

  private:
    void Start(std::string_view name, const Attributes& attributes);

    std::string out_;
    std::vector<std::string> open_;
};

}  // namespace sv::standin

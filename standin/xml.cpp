#include "standin/xml.h"

#include <charconv>
#include <cstdint>

#include "common/failure.h"

namespace sv::standin {
namespace {

constexpr int kMaxDepth = 200;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameChar(char c) {
    return !IsSpace(c) && c != '=' && c != '>' && c != '/' && c != '<' && c != '"' && c != '\'' &&
           c != '\0';
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string_view LocalName(std::string_view name) {
    size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

class Parser {
  public:
    explicit Parser(std::string_view s) : s_(s) {}

    XmlElement Document() {
        if (s_.substr(0, 3) == "\xEF\xBB\xBF") {
            pos_ = 3;
        }
        SkipMisc();
        if (!Peek("<")) {
            Fail("no root element");
        }
        XmlElement root = Element(0);
        SkipMisc();
        if (pos_ != s_.size()) {
            Fail("text after the root element");
        }
        return root;
    }

  private:
    [[noreturn]] void Fail(const std::string& what) {
        throw Failure("malformed XML: " + what + " at offset " + std::to_string(pos_));
    }

    bool Peek(std::string_view t) const { return s_.substr(pos_, t.size()) == t; }

    void Expect(std::string_view t) {
        if (!Peek(t)) {
            Fail("expected '" + std::string(t) + "'");
        }
        pos_ += t.size();
    }

    void SkipSpace() {
        while (pos_ < s_.size() && IsSpace(s_[pos_])) {
            ++pos_;
        }
    }

    void SkipPast(std::string_view end) {
        size_t at = s_.find(end, pos_);
        if (at == std::string_view::npos) {
            Fail("unterminated markup");
        }
        pos_ = at + end.size();
    }

    // Declarations, processing instructions, comments and blanks outside the root.
    void SkipMisc() {
        for (;;) {
            SkipSpace();
            if (Peek("<?")) {
                SkipPast("?>");
            } else if (Peek("<!--")) {
                SkipPast("-->");
            } else if (Peek("<!DOCTYPE")) {
                Fail("document type declarations are not accepted");
            } else {
                return;
            }
        }
    }

    std::string Name() {
        size_t start = pos_;
        while (pos_ < s_.size() && IsNameChar(s_[pos_])) {
            ++pos_;
        }
        if (pos_ == start) {
            Fail("expected a name");
        }
        return std::string(s_.substr(start, pos_ - start));
    }

    void Reference(std::string& out) {
        size_t end = s_.find(';', pos_);
        if (end == std::string_view::npos || end - pos_ > 12) {
            Fail("bad character reference");
        }
        std::string_view ref = s_.substr(pos_ + 1, end - pos_ - 1);
        pos_ = end + 1;
        if (ref == "amp") {
            out += '&';
        } else if (ref == "lt") {
            out += '<';
        } else if (ref == "gt") {
            out += '>';
        } else if (ref == "quot") {
            out += '"';
        } else if (ref == "apos") {
            out += '\'';
        } else if (ref.size() > 1 && ref[0] == '#') {
            bool hex = ref[1] == 'x' || ref[1] == 'X';
            std::string_view digits = ref.substr(hex ? 2 : 1);
            uint32_t cp = 0;
            auto r =
                std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
            if (digits.empty() || r.ec != std::errc() || r.ptr != digits.data() + digits.size() ||
                cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
                Fail("bad character reference");
            }
            AppendUtf8(out, cp);
        } else {
            Fail("unknown entity '" + std::string(ref) + "'");
        }
    }

    std::string AttributeValue() {
        if (pos_ >= s_.size() || (s_[pos_] != '"' && s_[pos_] != '\'')) {
            Fail("expected a quoted value");
        }
        char quote = s_[pos_++];
        std::string value;
        for (;;) {
            if (pos_ >= s_.size()) {
                Fail("unterminated attribute value");
            }
            char c = s_[pos_];
            if (c == quote) {
                ++pos_;
                return value;
            }
            if (c == '<') {
                Fail("'<' in an attribute value");
            }
            if (c == '&') {
                Reference(value);
            } else {
                value += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
                ++pos_;
            }
        }
    }

    XmlElement Element(int depth) {
        if (depth > kMaxDepth) {
            Fail("elements nested too deeply");
        }
        Expect("<");
        XmlElement e;
        std::string qualified = Name();
        e.name = std::string(LocalName(qualified));
        for (;;) {
            SkipSpace();
            if (Peek("/>")) {
                pos_ += 2;
                return e;
            }
            if (Peek(">")) {
                ++pos_;
                break;
            }
            std::string attribute = Name();
            SkipSpace();
            Expect("=");
            SkipSpace();
            e.attributes.emplace_back(std::string(LocalName(attribute)), AttributeValue());
        }
        for (;;) {
            if (pos_ >= s_.size()) {
                Fail("element '" + qualified + "' is not closed");
            }
            if (Peek("</")) {
                pos_ += 2;
                if (Name() != qualified) {
                    Fail("mismatched end tag for '" + qualified + "'");
                }
                SkipSpace();
                Expect(">");
                return e;
            }
            if (Peek("<!--")) {
                SkipPast("-->");
            } else if (Peek("<![CDATA[")) {
                pos_ += 9;
                size_t end = s_.find("]]>", pos_);
                if (end == std::string_view::npos) {
                    Fail("unterminated CDATA section");
                }
                e.text.append(s_.substr(pos_, end - pos_));
                pos_ = end + 3;
            } else if (Peek("<?")) {
                SkipPast("?>");
            } else if (Peek("<")) {
                e.children.push_back(Element(depth + 1));
            } else if (Peek("&")) {
                Reference(e.text);
            } else {
                char c = s_[pos_++];
                if (c == '\r') {
                    // Line ends read as a single line feed, as XML requires.
                    if (pos_ < s_.size() && s_[pos_] == '\n') {
                        ++pos_;
                    }
                    c = '\n';
                }
                e.text += c;
            }
        }
    }

    std::string_view s_;
    size_t pos_ = 0;
};

}  // namespace

const XmlElement* XmlElement::Child(std::string_view childName) const {
    for (const XmlElement& c : children) {
        if (c.name == childName) {
            return &c;
        }
    }
    return nullptr;
}

const std::string* XmlElement::Attribute(std::string_view attributeName) const {
    for (const auto& [key, value] : attributes) {
        if (key == attributeName) {
            return &value;
        }
    }
    return nullptr;
}

XmlElement ParseXml(std::string_view document) {
    return Parser(document).Document();
}

std::string EscapeXml(std::string_view text, bool inAttribute) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\r':
                out += "&#13;";
                break;
            case '\n':
                out += inAttribute ? "&#10;" : "\n";
                break;
            case '\t':
                out += inAttribute ? "&#9;" : "\t";
                break;
            default:
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') {
                    out += c;
                }
        }
    }
    return out;
}

XmlWriter::XmlWriter() {
    out_ = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
}

void XmlWriter::Start(std::string_view name, const Attributes& attributes) {
    out_.append(open_.size() * 2, ' ');
    out_ += '<';
    out_ += name;
    for (const auto& [key, value] : attributes) {
        out_ += ' ';
        out_ += key;
        out_ += "=\"";
        out_ += EscapeXml(value, true);
        out_ += '"';
    }
}

void XmlWriter::Open(std::string_view name, const Attributes& attributes) {
    Start(name, attributes);
    out_ += ">\n";
    open_.emplace_back(name);
}

void XmlWriter::Leaf(std::string_view name, std::string_view text, const Attributes& attributes) {
    Start(name, attributes);
    if (text.empty()) {
        out_ += "/>\n";
        return;
    }
    out_ += '>';
    out_ += EscapeXml(text);
    out_ += "</";
    out_ += name;
    out_ += ">\n";
}

void XmlWriter::Close() {
    std::string name = std::move(open_.back());
    open_.pop_back();
    out_.append(open_.size() * 2, ' ');
    out_ += "</" + name + ">\n";
}

}  // namespace sv::standin

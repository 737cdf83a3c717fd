#include "settings/settings_store.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/failure.h"

namespace sv {

std::string GetSetting(SettingsStore& store, const std::string& app, const std::string& section,
                       const std::string& key, const std::string& defaultValue) {
    // A store that cannot be read behaves like one without the key: start-up must go on.
    try {
        if (auto value = store.Read(app, section, key))
            return *value;
    } catch (...) {
    }
    return defaultValue;
}

void SaveSetting(SettingsStore& store, const std::string& app, const std::string& section,
                 const std::string& key, const std::string& value) {
    if (app.empty() || section.empty() || key.empty()) {
        throw Failure("Invalid procedure call or argument");
    }
    store.Write(app, section, key, value);
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The number at the start of a text. Blanks are skipped anywhere inside it, as the classic
// conversion does ("1 000" is 1000).
struct ParsedNumber {
    double value = 0;
    bool any = false;     // at least one digit
    std::size_t end = 0;  // first character not taken
};

ParsedNumber ParseRadix(std::string_view text, std::size_t pos, int radix) {
    ParsedNumber r;
    std::uint64_t v = 0;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        if (IsBlank(c))
            continue;
        int d;
        if (IsDigit(c)) {
            d = c - '0';
        } else if (radix == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
            d = (c | 0x20) - 'a' + 10;
        } else {
            break;
        }
        if (d >= radix)
            break;
        r.any = true;
        v = v * radix + d;
        if (v > 0xFFFFFFFFull)
            v &= 0xFFFFFFFFull;  // the classic 32-bit wrap
    }
    // Up to four hex digits read as a 16-bit value, more as a 32-bit one: "&HFFFF" is -1.
    if (v <= 0xFFFF) {
        r.value = static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
    } else {
        r.value = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    }
    r.end = pos;
    return r;
}

ParsedNumber ParseNumber(std::string_view text) {
    std::size_t pos = 0;
    auto skip = [&] {
        while (pos < text.size() && IsBlank(text[pos]))
            ++pos;
    };
    skip();
    if (pos + 1 < text.size() && text[pos] == '&') {
        char kind = static_cast<char>(text[pos + 1] | 0x20);
        if (kind == 'h')
            return ParseRadix(text, pos + 2, 16);
        if (kind == 'o')
            return ParseRadix(text, pos + 2, 8);
    }
    std::string digits;  // sign, mantissa and exponent without blanks, for strtod
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        digits += text[pos++];
        skip();
    }
    ParsedNumber r;
    bool point = false;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        if (IsBlank(c))
            continue;
        if (IsDigit(c)) {
            r.any = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
        digits += c;
    }
    r.end = pos;
    if (!r.any)
        return r;
    // An exponent counts only when digits follow it.
    if (pos < text.size() &&
        (text[pos] == 'e' || text[pos] == 'E' || text[pos] == 'd' || text[pos] == 'D')) {
        std::size_t p = pos + 1;
        std::string exponent = "e";
        while (p < text.size() && IsBlank(text[p]))
            ++p;
        if (p < text.size() && (text[p] == '-' || text[p] == '+'))
            exponent += text[p++];
        bool expDigits = false;
        for (; p < text.size(); ++p) {
            if (IsBlank(text[p]))
                continue;
            if (!IsDigit(text[p]))
                break;
            expDigits = true;
            exponent += text[p];
        }
        if (expDigits) {
            digits += exponent;
            r.end = p;
        }
    }
    r.value = std::strtod(digits.c_str(), nullptr);
    return r;
}

}  // namespace

double NumericValue(std::string_view text) {
    ParsedNumber r = ParseNumber(text);
    return r.any ? r.value : 0.0;
}

std::int16_t ToInteger16(std::string_view text) {
    ParsedNumber r = ParseNumber(text);
    std::size_t end = r.end;
    while (end < text.size() && IsBlank(text[end]))
        ++end;
    if (!r.any || end != text.size())
        throw Failure("Type mismatch");
    // Nearest whole number, halves to the even neighbour: 2.5 -> 2, 3.5 -> 4.
    double rounded = std::floor(r.value);
    double fraction = r.value - rounded;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0))
        rounded += 1.0;
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        throw Failure("Overflow");
    return static_cast<std::int16_t>(rounded);
}

}  // namespace sv

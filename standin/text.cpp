#include "standin/text.h"

#include <charconv>
#include <cmath>

namespace sv::standin {
namespace {

char LowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerChar(a[i]) != LowerChar(b[i])) {
            return false;
        }
    }
    return true;
}

std::string Lower(std::string_view s) {
    std::string r(s);
    for (char& c : r) {
        c = LowerChar(c);
    }
    return r;
}

std::string FormatNumber(double value) {
    if (value == 0) {
        value = 0;  // no "-0"
    }
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::optional<double> ParseNumber(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    double value = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

bool IsFullFilePath(std::string_view path) {
    auto separator = [](char c) { return c == '\\' || c == '/'; };
    if (path.empty() || separator(path.back())) {
        return false;
    }
    size_t rest = 0;
    if (path.size() >= 3 &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
        path[1] == ':' && separator(path[2])) {
        rest = 3;
    } else if (path.size() >= 2 && separator(path[0]) && separator(path[1])) {
        // \\server\share\name: a server, a share and then the name.
        size_t server = path.find_first_of("\\/", 2);
        if (server == std::string_view::npos || server == 2) {
            return false;
        }
        size_t share = path.find_first_of("\\/", server + 1);
        if (share == std::string_view::npos || share == server + 1) {
            return false;
        }
        rest = share + 1;
    } else {
        return false;
    }
    return rest < path.size() && path.find_first_of("*?\"<>|", rest) == std::string_view::npos &&
           path.find(':', rest) == std::string_view::npos;
}

std::string_view FolderOf(std::string_view path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string_view::npos ? std::string_view() : path.substr(0, cut + 1);
}

}  // namespace sv::standin

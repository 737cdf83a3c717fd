#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sv::standin {

// Automation names compare without regard to ASCII case.
bool SameName(std::string_view a, std::string_view b);
std::string Lower(std::string_view s);

// Shortest text that reads back as the same double, independent of locale.
std::string FormatNumber(double value);
// The whole of text as a number (surrounding blanks allowed), or nothing.
std::optional<double> ParseNumber(std::string_view text);

// A drive or network path that names a file: C:\folder\name or \\server\share\name.
bool IsFullFilePath(std::string_view path);
// The folder part of a path, with its trailing separator; empty when it has none.
std::string_view FolderOf(std::string_view path);

}  // namespace sv::standin

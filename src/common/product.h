#pragma once

#include <string_view>

namespace sv {

inline constexpr std::string_view kProductName = "Stenvault";
inline constexpr std::string_view kMakerName = "Veltrane";
inline constexpr std::string_view kSupportEmail = "support@veltrane.com";
inline constexpr std::string_view kHomePageUrl = "https://www.veltrane.com/stenvault";
inline constexpr std::string_view kContactPageUrl = "https://www.veltrane.com/contact";
inline constexpr std::string_view kBackupExtensionText = ".vsd";

}  // namespace sv

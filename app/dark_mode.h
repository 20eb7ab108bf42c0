// The user's app theme, as the title bar follows it.
#pragma once

#include <optional>

namespace app {

// Whether apps should be dark: "AppsUseLightTheme" (a DWORD under HKEY_CURRENT_USER
// "Software\Microsoft\Windows\CurrentVersion\Themes\Personalize") is 0. Nothing when the value is
// missing or not a DWORD.
std::optional<bool> ReadAppsUseDarkTheme() noexcept;

}  // namespace app

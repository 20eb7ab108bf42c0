#include "app/dark_mode.h"

#include <windows.h>

namespace app {

std::optional<bool> ReadAppsUseDarkTheme() noexcept {
  DWORD light = 0;
  DWORD size = sizeof(light);
  if (RegGetValueW(
          HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
          L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &light, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return light == 0;
}

}  // namespace app

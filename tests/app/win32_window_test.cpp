// The top-level window under Wine: DPI scaling through the stand-in embedding's DPI seam and the
// theme decision read from the registry. The rest of its life is tested with the app whole.
#include "app/win32_window.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/dark_mode.h"
#include "common/unique_handle.h"

namespace {

constexpr wchar_t kDpiSeam[] = L"ZEQ_FLUTTER_STANDIN_DPI";

TEST(Win32Window, ScalesOriginAndSizeToTheMonitorDpi) {
  // The DPI, and the window's left, top, right and bottom.
  const std::pair<int, RECT> cases[] = {
      {96, {10, 10, 1290, 730}}, {120, {12, 12, 1612, 912}}, {144, {15, 15, 1935, 1095}}};
  for (const auto& [dpi, expected] : cases) {
    SCOPED_TRACE(testing::Message() << "DPI " << dpi);
    ASSERT_TRUE(SetEnvironmentVariableW(kDpiSeam, std::to_wstring(dpi).c_str()));
    app::Win32Window window;
    ASSERT_TRUE(window.CreateTopLevel(L"ZEQ VPN", {10, 10}, {1280, 720}));
    RECT rect{};
    GetWindowRect(window.TopLevelHandle(), &rect);
    EXPECT_TRUE(EqualRect(&rect, &expected))
        << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
  }
  SetEnvironmentVariableW(kDpiSeam, nullptr);
}

TEST(Win32Window, TitleBarThemeFollowsAppsUseLightTheme) {
  const wchar_t* kKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
  common::UniqueRegistryKey key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            key.receive(), nullptr),
            ERROR_SUCCESS);
  // The value (nothing: none at all), and whether the title bar is dark.
  const std::pair<std::optional<DWORD>, std::optional<bool>> cases[] = {
      {0, true}, {1, false}, {std::nullopt, std::nullopt}};
  for (const auto& [light, dark] : cases) {
    RegDeleteValueW(key.get(), L"AppsUseLightTheme");
    if (light) {
      ASSERT_EQ(RegSetValueExW(key.get(), L"AppsUseLightTheme", 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&*light), sizeof(DWORD)),
                ERROR_SUCCESS);
    }
    EXPECT_EQ(app::ReadAppsUseDarkTheme(), dark) << light.value_or(2);
  }
  RegDeleteValueW(key.get(), L"AppsUseLightTheme");  // the prefix is this build's own
}

}  // namespace

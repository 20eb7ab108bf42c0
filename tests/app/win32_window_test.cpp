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

RECT WindowRect(HWND hwnd) {
  RECT rect = {};
  GetWindowRect(hwnd, &rect);
  return rect;
}

TEST(Win32Window, ScalesOriginAndSizeToTheMonitorDpi) {
  const struct {
    int dpi;
    RECT expected;  // left, top, right, bottom
  } cases[] = {{96, {10, 10, 1290, 730}}, {120, {12, 12, 1612, 912}}, {144, {15, 15, 1935, 1095}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "DPI " << c.dpi);
    ASSERT_TRUE(SetEnvironmentVariableW(kDpiSeam, std::to_wstring(c.dpi).c_str()));
    app::Win32Window window;
    ASSERT_TRUE(window.CreateTopLevel(L"ZEQ VPN", {10, 10}, {1280, 720}));
    const RECT rect = WindowRect(window.TopLevelHandle());
    EXPECT_TRUE(EqualRect(&rect, &c.expected))
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
  const DWORD light = 1;
  const DWORD dark = 0;
  const struct {
    DWORD type;  // REG_NONE: no value at all
    const void* data;
    DWORD size;
    std::optional<bool> expected;
  } cases[] = {{REG_DWORD, &dark, sizeof(dark), true},
               {REG_DWORD, &light, sizeof(light), false},
               {REG_NONE, nullptr, 0, std::nullopt}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " size " << c.size);
    RegDeleteValueW(key.get(), L"AppsUseLightTheme");
    if (c.type != REG_NONE) {
      ASSERT_EQ(RegSetValueExW(key.get(), L"AppsUseLightTheme", 0, c.type,
                               static_cast<const BYTE*>(c.data), c.size),
                ERROR_SUCCESS);
    }
    EXPECT_EQ(app::ReadAppsUseDarkTheme(), c.expected);
  }
  RegDeleteValueW(key.get(), L"AppsUseLightTheme");  // the prefix is this build's own
}

}  // namespace

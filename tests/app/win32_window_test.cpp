// The top-level window under Wine: DPI scaling through the stand-in embedding's DPI seam, the
// child kept over the client area, the theme decision read from the registry, replacement and
// quit-on-destroy.
#include "app/win32_window.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/dark_mode.h"
#include "common/unique_handle.h"

namespace {

constexpr wchar_t kDpiSeam[] = L"ZEQ_FLUTTER_STANDIN_DPI";

class CountingWindow : public app::Win32Window {
 public:
  int destroyed = 0;

 protected:
  void HandleDestroyed() noexcept override { ++destroyed; }
};

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

TEST(Win32Window, KeepsTheChildOverTheWholeClientAreaOnResize) {
  app::Win32Window window;
  ASSERT_TRUE(window.CreateTopLevel(L"ZEQ VPN", {0, 0}, {300, 200}));
  const common::UniqueWindow holder(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 50, 50,
                                                    nullptr, nullptr, nullptr, nullptr));
  const HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 5, 5, 20, 20,
                                     holder.get(), nullptr, nullptr, nullptr);
  ASSERT_NE(child, nullptr);
  window.AttachChild(child);
  EXPECT_EQ(GetParent(child), window.TopLevelHandle());
  for (const SIZE size : {SIZE{640, 480}, SIZE{420, 260}}) {
    SetWindowPos(window.TopLevelHandle(), nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT client = window.ClientRect();
    RECT covered = WindowRect(child);
    MapWindowPoints(HWND_DESKTOP, window.TopLevelHandle(), reinterpret_cast<POINT*>(&covered), 2);
    EXPECT_TRUE(EqualRect(&covered, &client)) << size.cx << "x" << size.cy;
  }
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

// A second create replaces the window; closing it from outside posts WM_QUIT only with
// quit-on-destroy.
TEST(Win32Window, ReplacedByASecondCreateAndClosedFromOutside) {
  for (const bool quit_on_destroy : {true, false}) {
    SCOPED_TRACE(quit_on_destroy ? "quit on destroy" : "keep running");
    CountingWindow window;
    window.SetQuitOnDestroy(quit_on_destroy);
    ASSERT_TRUE(window.CreateTopLevel(L"first", {0, 0}, {200, 100}));
    const HWND first = window.TopLevelHandle();
    ASSERT_TRUE(window.CreateTopLevel(L"ZEQ VPN", {0, 0}, {200, 100}));
    EXPECT_FALSE(IsWindow(first));
    window.destroyed = 0;
    ASSERT_TRUE(DestroyWindow(window.TopLevelHandle()));
    EXPECT_EQ(window.TopLevelHandle(), nullptr);
    EXPECT_EQ(window.destroyed, 1);
    MSG message = {};
    EXPECT_EQ(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE,
              quit_on_destroy);
    EXPECT_EQ(message.wParam, 0u);
  }
}

}  // namespace

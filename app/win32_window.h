// The app's top-level window: registers its class, opens hidden at a position and size given in
// 96-DPI units and scaled to the monitor it opens on, follows the user's light or dark app theme
// in the title bar, keeps one child window (the Flutter view) covering the client area, and hands
// every message to an overridable handler. Window thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace app {

// The class of the app's top-level window, by which an installer finds the window to close.
inline constexpr wchar_t kWindowClassName[] = L"FLUTTER_RUNNER_WIN32_WINDOW";

class Win32Window {
 public:
  struct Point {
    std::int32_t x;
    std::int32_t y;
  };
  struct Size {
    std::int32_t width;
    std::int32_t height;
  };

  Win32Window() noexcept;
  // Destroys the window; a derived object is gone by then, so only the base HandleDestroyed runs.
  virtual ~Win32Window();
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // Creates the hidden window, replacing any earlier one. True when it exists and HandleCreated
  // agreed; a false HandleCreated leaves the window in place for the caller to end.
  [[nodiscard]] bool CreateTopLevel(const std::wstring& title, const Point& origin,
                                    const Size& size);
  // True when the window was visible before.
  bool ShowNormal() noexcept;
  // Runs HandleDestroyed and destroys the window if there is one.
  void DestroyTopLevel() noexcept;

  HWND TopLevelHandle() const noexcept { return window_handle_; }
  RECT ClientRect() const noexcept;
  // `content` (not owned) becomes the child that fills the client area and gets the focus.
  void AttachChild(HWND content) noexcept;
  void SetQuitOnDestroy(bool quit_on_destroy) noexcept { quit_on_destroy_ = quit_on_destroy; }

  static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wparam,
                                          LPARAM lparam) noexcept;
  // Sets the title bar's dark mode from the user's app theme; no setting, no change.
  static void ApplyDarkModeSetting(HWND hwnd) noexcept;

 protected:
  virtual LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
  // Runs once the window exists (still hidden); false refuses the window.
  virtual bool HandleCreated() noexcept { return true; }
  // Releases what was built on the window; runs on every DestroyTopLevel.
  virtual void HandleDestroyed() noexcept {}

 private:
  bool quit_on_destroy_ = false;
  HWND window_handle_ = nullptr;
  HWND child_content_ = nullptr;  // not owned: the Flutter view owns its window
};

}  // namespace app

#include "app/win32_window.h"

#include <dwmapi.h>

#include <optional>

#include "app/dark_mode.h"
#include "common/unique_handle.h"
#include "flutter_glue/embedding_api.h"

namespace app {
namespace {

constexpr int kAppIconResource = 101;
// Older SDK headers lack it.
constexpr DWORD kUseImmersiveDarkMode = 20;

// Process-wide and touched only on the window thread.
struct WindowClassState {
  bool class_registered = false;
  std::int32_t live_objects = 0;
};
WindowClassState& ClassState() noexcept {
  static WindowClassState state;
  return state;
}

void RegisterWindowClass() noexcept {
  WNDCLASSW window_class = {};
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = &Win32Window::WindowProcedure;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.hIcon = LoadIconW(window_class.hInstance, MAKEINTRESOURCEW(kAppIconResource));
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = kWindowClassName;
  RegisterClassW(&window_class);
}

// Where the system offers it (Windows 10 1607 and later), the title bar and borders scale with
// the monitor's DPI too.
void EnableNonClientScaling(HWND hwnd) noexcept {
  const common::UniqueModule user32(LoadLibraryA("User32.dll"));
  if (!user32) return;
  using EnableNonClientDpiScalingFunction = BOOL(WINAPI*)(HWND);
  const auto enable = reinterpret_cast<EnableNonClientDpiScalingFunction>(
      reinterpret_cast<void*>(GetProcAddress(user32.get(), "EnableNonClientDpiScaling")));
  if (enable != nullptr) enable(hwnd);
}

int Scale(std::int32_t value, double scale) noexcept {
  return static_cast<int>(value * scale);  // truncated toward zero
}

}  // namespace

Win32Window::Win32Window() noexcept { ++ClassState().live_objects; }

Win32Window::~Win32Window() {
  --ClassState().live_objects;
  DestroyTopLevel();
}

bool Win32Window::CreateTopLevel(const std::wstring& title, const Point& origin, const Size& size) {
  DestroyTopLevel();
  WindowClassState& state = ClassState();
  if (!state.class_registered) {
    RegisterWindowClass();
    state.class_registered = true;
  }
  const HMONITOR monitor = MonitorFromPoint(POINT{origin.x, origin.y}, MONITOR_DEFAULTTONEAREST);
  const double scale = FlutterDesktopGetDpiForMonitor(monitor) / 96.0;
  const HWND window =
      CreateWindowExW(0, kWindowClassName, title.c_str(), WS_OVERLAPPEDWINDOW,
                      Scale(origin.x, scale), Scale(origin.y, scale), Scale(size.width, scale),
                      Scale(size.height, scale), nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (window == nullptr) return false;
  ApplyDarkModeSetting(window);
  return HandleCreated();
}

bool Win32Window::ShowNormal() noexcept {
  return ShowWindow(window_handle_, SW_SHOWNORMAL) != FALSE;
}

void Win32Window::DestroyTopLevel() noexcept {
  HandleDestroyed();
  if (window_handle_ != nullptr) {
    DestroyWindow(window_handle_);
    window_handle_ = nullptr;
  }
  WindowClassState& state = ClassState();
  if (state.live_objects == 0) {
    UnregisterClassW(kWindowClassName, nullptr);
    state.class_registered = false;
  }
}

RECT Win32Window::ClientRect() const noexcept {
  RECT rect = {};
  GetClientRect(window_handle_, &rect);
  return rect;
}

void Win32Window::AttachChild(HWND content) noexcept {
  child_content_ = content;
  SetParent(content, window_handle_);
  const RECT frame = ClientRect();
  MoveWindow(content, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
             TRUE);
  // Focusing a child of a window that is not active would activate it first, hidden as it still is
  // before its first frame; activation hands the child the focus when the window is shown.
  if (GetActiveWindow() == window_handle_) SetFocus(content);
}

LRESULT CALLBACK Win32Window::WindowProcedure(HWND hwnd, UINT message, WPARAM wparam,
                                              LPARAM lparam) noexcept {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    auto* self = static_cast<Win32Window*>(create->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    EnableNonClientScaling(hwnd);
    self->window_handle_ = hwnd;
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self != nullptr) return self->HandleMessage(hwnd, message, wparam, lparam);
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT Win32Window::HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  switch (message) {
    case WM_DESTROY:
      // Closed from outside: the window is going already, so only what was built on it goes.
      window_handle_ = nullptr;
      DestroyTopLevel();
      if (quit_on_destroy_) PostQuitMessage(0);
      return 0;
    case WM_SIZE: {
      const RECT frame = ClientRect();
      if (child_content_ != nullptr) {
        MoveWindow(child_content_, frame.left, frame.top, frame.right - frame.left,
                   frame.bottom - frame.top, TRUE);
      }
      return 0;
    }
    case WM_ACTIVATE:
      if (child_content_ != nullptr) SetFocus(child_content_);
      return 0;
    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(hwnd, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_DWMCOLORIZATIONCOLORCHANGED:
      ApplyDarkModeSetting(hwnd);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

void Win32Window::ApplyDarkModeSetting(HWND hwnd) noexcept {
  const std::optional<bool> dark = ReadAppsUseDarkTheme();
  if (!dark) return;
  const BOOL use_dark = *dark ? TRUE : FALSE;
  DwmSetWindowAttribute(hwnd, kUseImmersiveDarkMode, &use_dark, sizeof(use_dark));
}

}  // namespace app

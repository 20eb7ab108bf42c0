#include "standins/flutter_embedding/view_window.h"

#include <algorithm>

namespace standin {
namespace {

constexpr wchar_t kViewClass[] = L"ZEQ_FLUTTER_STANDIN_VIEW";
constexpr wchar_t kHolderClass[] = L"ZEQ_FLUTTER_STANDIN_HOLDER";

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

// Registered once per process and kept: windows of the class may exist until the DLL unloads.
bool RegisterClasses(WNDPROC view_procedure) {
  static const bool registered = [view_procedure] {
    WNDCLASSW view_class = {};
    view_class.lpfnWndProc = view_procedure;
    view_class.hInstance = ThisModule();
    view_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    view_class.lpszClassName = kViewClass;
    WNDCLASSW holder_class = {};
    holder_class.lpfnWndProc = DefWindowProcW;
    holder_class.hInstance = ThisModule();
    holder_class.lpszClassName = kHolderClass;
    return RegisterClassW(&view_class) != 0 && RegisterClassW(&holder_class) != 0;
  }();
  return registered;
}

}  // namespace

std::unique_ptr<ViewWindow> ViewWindow::Create(Engine& engine, int width, int height) {
  if (!RegisterClasses(&ViewWindow::WindowProcedure)) return nullptr;
  std::unique_ptr<ViewWindow> view(new ViewWindow(engine));
  width = std::max(width, 1);
  height = std::max(height, 1);
  view->holder_.reset(CreateWindowExW(WS_EX_TOOLWINDOW, kHolderClass, L"", WS_POPUP, 0, 0, width,
                                      height, nullptr, nullptr, ThisModule(), nullptr));
  if (!view->holder_) return nullptr;
  view->view_.reset(CreateWindowExW(0, kViewClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                                    0, width, height, view->holder_.get(), nullptr, ThisModule(),
                                    view.get()));
  if (!view->view_) return nullptr;
  const struct {
    int id;
    const wchar_t* text;
    int x;
  } buttons[] = {{kConnectButton, L"Connect", 16}, {kDisconnectButton, L"Disconnect", 140}};
  for (const auto& button : buttons) {
    // Children of the view: destroyed with it.
    CreateWindowExW(0, L"BUTTON", button.text, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, button.x, 52,
                    112, 30, view->view_.get(),
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(button.id)), ThisModule(),
                    nullptr);
  }
  view->ResizeBackBuffer(width, height);
  return view;
}

ViewWindow::~ViewWindow() {
  if (back_dc_ && original_bitmap_ != nullptr) SelectObject(back_dc_.get(), original_bitmap_);
  view_.reset();
  holder_.reset();
}

void ViewWindow::RequestFrame() {
  if (frame_pending_) return;
  frame_pending_ = engine_.Post([this] { Render(); });
}

bool ViewWindow::TopLevelVisible() const {
  return IsWindowVisible(GetAncestor(view_.get(), GA_ROOT)) != FALSE;
}

void ViewWindow::Click(int button_id) {
  SendMessageW(view_.get(), WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(view_.get(), button_id)));
}

void ViewWindow::ResizeBackBuffer(int width, int height) {
  if (back_dc_ && original_bitmap_ != nullptr) SelectObject(back_dc_.get(), original_bitmap_);
  back_bitmap_.reset();
  if (!back_dc_) back_dc_.reset(CreateCompatibleDC(nullptr));
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = std::max(width, 1);
  info.bmiHeader.biHeight = -std::max(height, 1);  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  back_bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (back_dc_ && back_bitmap_) {
    original_bitmap_ = SelectObject(back_dc_.get(), back_bitmap_.get());
  }
  width_ = width;
  height_ = height;
}

void ViewWindow::Render() {
  frame_pending_ = false;
  if (back_dc_ && back_bitmap_) {
    HDC dc = back_dc_.get();
    const RECT all = {0, 0, width_, height_};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const HGDIOBJ font = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    int y = 16;
    const std::vector<std::string> lines =
        client_ != nullptr ? client_->Lines() : std::vector<std::string>{};
    for (std::size_t i = 0; i < lines.size(); ++i) {
      TextOutA(dc, 16, y, lines[i].c_str(), static_cast<int>(lines[i].size()));
      y += (i == 0) ? 80 : 20;  // the buttons sit below the first line
    }
    SelectObject(dc, font);
  }
  ++frames_;
  engine_.AddEvent("frame " + std::to_string(frames_));
  if (view_) InvalidateRect(view_.get(), nullptr, FALSE);
  engine_.FrameRendered();
  if (client_ != nullptr) client_->FrameRendered(frames_);
}

void ViewWindow::Paint(HWND hwnd) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd, &paint);
  if (back_dc_) BitBlt(dc, 0, 0, width_, height_, back_dc_.get(), 0, 0, SRCCOPY);
  EndPaint(hwnd, &paint);
}

LRESULT CALLBACK ViewWindow::WindowProcedure(HWND hwnd, UINT message, WPARAM wparam,
                                             LPARAM lparam) noexcept {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<ViewWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  try {
    return self->HandleMessage(hwnd, message, wparam, lparam);
  } catch (...) {
    // Nothing may unwind into the window manager.
    return 0;
  }
}

LRESULT ViewWindow::HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case Engine::kRunPostedMessage:
      engine_.RunPosted();
      return 0;
    case WM_SIZE:
      ResizeBackBuffer(LOWORD(lparam), HIWORD(lparam));
      RequestFrame();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED && client_ != nullptr)
        client_->ButtonClicked(LOWORD(wparam));
      return 0;
    case WM_NCDESTROY:
      // Destroyed with a parent the app gave it: the engine cannot run without its window.
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      engine_.Stop();
      static_cast<void>(view_.release());
      return DefWindowProcW(hwnd, message, wparam, lparam);
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

}  // namespace standin

#include "standins/flutter_embedding/view_window.h"

#include <algorithm>

namespace standin {
namespace {

constexpr wchar_t kViewClass[] = L"ZEQ_FLUTTER_STANDIN_VIEW";

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

// Registered once per process and kept: windows of the class may exist until the DLL unloads.
bool RegisterViewClass(WNDPROC view_procedure) {
  static const bool registered = [view_procedure] {
    WNDCLASSW view_class = {};
    view_class.lpfnWndProc = view_procedure;
    view_class.hInstance = ThisModule();
    view_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    view_class.lpszClassName = kViewClass;
    return RegisterClassW(&view_class) != 0;
  }();
  return registered;
}

}  // namespace

std::unique_ptr<ViewWindow> ViewWindow::Create(Engine& engine, int width, int height) {
  if (!RegisterViewClass(&ViewWindow::WindowProcedure)) return nullptr;
  std::unique_ptr<ViewWindow> view(new ViewWindow(engine));
  // Under the message-only window it has no screen of its own until the app gives it a parent.
  view->view_.reset(CreateWindowExW(0, kViewClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                                    0, std::max(width, 1), std::max(height, 1), HWND_MESSAGE,
                                    nullptr, ThisModule(), view.get()));
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
  return view;
}

ViewWindow::~ViewWindow() = default;

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

void ViewWindow::Render() {
  frame_pending_ = false;
  frame_lines_ = client_ != nullptr ? client_->Lines() : std::vector<std::string>{};
  ++frames_;
  engine_.AddEvent("frame " + std::to_string(frames_));
  if (view_) InvalidateRect(view_.get(), nullptr, FALSE);
  engine_.FrameRendered();
  if (client_ != nullptr) client_->FrameRendered(frames_);
}

void ViewWindow::Paint(HWND hwnd) {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(hwnd, &paint);
  FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const HGDIOBJ font = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  int y = 16;
  for (std::size_t i = 0; i < frame_lines_.size(); ++i) {
    TextOutA(dc, 16, y, frame_lines_[i].c_str(), static_cast<int>(frame_lines_[i].size()));
    y += (i == 0) ? 80 : 20;  // the buttons sit below the first line
  }
  SelectObject(dc, font);
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

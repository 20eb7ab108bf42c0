// The view: a child window of the stand-in's own class, created under the message-only window
// until the app makes it the content of its own window. It wakes the engine's queue and renders
// frames: a frame fixes what the view shows, and WM_PAINT draws the last one (a hidden window gets
// no WM_PAINT, and the app waits for a frame before it shows itself). Window thread only.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "standins/flutter_embedding/engine.h"

namespace standin {

// Windows are destroyed on the thread that created them; an owner lives on that thread.
struct WindowTraits {
  using Type = HWND;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type window) noexcept { DestroyWindow(window); }
};

using UniqueWindow = common::UniqueResource<WindowTraits>;

// What the view shows and whom it tells about frames and clicks: the Dart program.
class FrameClient {
 public:
  virtual ~FrameClient() = default;
  virtual std::vector<std::string> Lines() const = 0;
  virtual void FrameRendered(int frame) = 0;
  virtual void ButtonClicked(int button_id) = 0;
};

class ViewWindow {
 public:
  static constexpr int kConnectButton = 101;
  static constexpr int kDisconnectButton = 102;

  // Null when a window cannot be created.
  static std::unique_ptr<ViewWindow> Create(Engine& engine, int width, int height);
  ~ViewWindow();
  ViewWindow(const ViewWindow&) = delete;
  ViewWindow& operator=(const ViewWindow&) = delete;

  HWND hwnd() const noexcept { return view_.get(); }
  void SetClient(FrameClient* client) noexcept { client_ = client; }

  // Schedules one frame; requests before it is rendered share it.
  void RequestFrame();
  // Whether the top-level window that holds the view is visible.
  bool TopLevelVisible() const;
  // As if the user clicked the button.
  void Click(int button_id);

 private:
  explicit ViewWindow(Engine& engine) : engine_(engine) {}
  static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wparam,
                                          LPARAM lparam) noexcept;
  LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  void Render();
  void Paint(HWND hwnd);

  Engine& engine_;
  FrameClient* client_ = nullptr;
  UniqueWindow view_;  // released, not destroyed, when a parent destroys it first
  std::vector<std::string> frame_lines_;  // what the last frame shows
  int frames_ = 0;
  bool frame_pending_ = false;
};

}  // namespace standin

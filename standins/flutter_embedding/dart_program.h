// The stand-in for the app's Dart program: a small user interface in the view that shows the
// tunnel state, has Connect and Disconnect buttons, lists the sign-in links it was sent and shows
// the last error. It reaches the native side only through "com.daviza.vpn/app" and
// "com.daviza.vpn/tunnel" in the standard encoding. Window thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "standins/flutter_embedding/engine.h"
#include "standins/flutter_embedding/view_window.h"
#include "standins/flutter_embedding/wire_value.h"

namespace standin {

inline constexpr char kAppChannel[] = "com.daviza.vpn/app";
inline constexpr char kTunnelChannel[] = "com.daviza.vpn/tunnel";

class DartProgram : public DartReceiver, public FrameClient {
 public:
  // Neither is owned; both outlive the program.
  DartProgram(Engine& engine, ViewWindow& view) : engine_(engine), view_(view) {}

  // Calls `method` on the native side as Dart code would; `done` runs with the answer. The call
  // and its answer are recorded as events.
  void Invoke(const std::string& channel, const std::string& method, const WireValue& arguments,
              std::function<void(const WireReply&)> done);

  void ReceiveFromNative(const std::string& channel, const Bytes& message,
                         std::function<void(Bytes)> reply) override;

  // The lines the interface shows, top to bottom.
  std::vector<std::string> Lines() const override;
  void FrameRendered(int frame) override;
  void ButtonClicked(int button_id) override;

 private:
  void Connect();
  void Disconnect();
  // A tunnel call, then "status" to show where it left the tunnel.
  void CallThenRefresh(const std::string& method, const WireValue& arguments);
  void RefreshStatus();
  void ShowError(const WireReply& reply);
  void Changed() { view_.RequestFrame(); }

  Engine& engine_;
  ViewWindow& view_;
  std::string tunnel_state_ = "Unknown";
  std::string last_error_;
  std::vector<std::string> links_;
};

}  // namespace standin

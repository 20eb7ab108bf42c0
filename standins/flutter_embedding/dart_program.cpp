#include "standins/flutter_embedding/dart_program.h"

#include <optional>

#include "common/file_bytes.h"
#include "standins/flutter_embedding/rendering.h"

namespace standin {
namespace {

constexpr std::int32_t kTunnelRunning = 3;  // the tunnel helper's "statusRaw" for a running tunnel

}  // namespace

void DartProgram::Invoke(const std::string& channel, const std::string& method,
                         const WireValue& arguments, std::function<void(const WireReply&)> done) {
  engine_.AddEvent("call " + channel + " " + method);
  engine_.SendToNative(
      channel, EncodeMethodCall(method, arguments),
      [this, channel, method, done = std::move(done)](const Bytes& answer) {
        const WireReply reply = DecodeReply(answer);
        engine_.AddEvent("reply " + channel + " " + method + " " + RenderReplyLine(reply));
        done(reply);
      });
}

void DartProgram::ReceiveFromNative(const std::string& channel, const Bytes& message,
                                    std::function<void(Bytes)> reply) {
  const std::optional<WireCall> call = DecodeMethodCall(message);
  if (!call) {
    reply({});
    return;
  }
  engine_.AddEvent("received " + channel + " " + call->method +
                   " visible=" + (view_.TopLevelVisible() ? "1" : "0") + " " +
                   OneLine(RenderValue(call->arguments)));
  if (channel == kAppChannel && call->method == "authCallback") {
    if (const std::string* url = call->arguments.FindString("url")) {
      links_.push_back(*url);
      Changed();
      reply(EncodeSuccess({}));
      return;
    }
  }
  reply({});  // no Dart handler for it: not implemented
}

std::vector<std::string> DartProgram::Lines() const {
  std::vector<std::string> lines = {"Tunnel: " + tunnel_state_,
                                    "Last error: " + (last_error_.empty() ? "none" : last_error_),
                                    "Sign-in links: " + std::to_string(links_.size())};
  for (const std::string& link : links_) lines.push_back("Link: " + link);
  return lines;
}

void DartProgram::FrameRendered(int frame) {
  if (frame == 1) RefreshStatus();
}

void DartProgram::ButtonClicked(int button_id) {
  if (button_id == ViewWindow::kConnectButton) Connect();
  if (button_id == ViewWindow::kDisconnectButton) Disconnect();
}

void DartProgram::Connect() {
  const std::optional<std::string> config =
      common::ReadWholeFile(engine_.assets_folder() + L"\\tunnel.conf");
  if (!config) {
    last_error_ = "The tunnel configuration (tunnel.conf) is missing from the app's assets.";
    Changed();
    return;
  }
  CallThenRefresh("start", WireValue{WireMap{{WireValue{std::string("config")}, {*config}}}});
}

void DartProgram::Disconnect() { CallThenRefresh("stop", {}); }

void DartProgram::CallThenRefresh(const std::string& method, const WireValue& arguments) {
  Invoke(kTunnelChannel, method, arguments, [this](const WireReply& reply) {
    ShowError(reply);
    RefreshStatus();
  });
}

void DartProgram::RefreshStatus() {
  Invoke(kTunnelChannel, "status", {}, [this](const WireReply& reply) {
    const auto* status = std::get_if<std::int32_t>(&reply.value.value);
    if (reply.kind != WireReply::Kind::kSuccess || status == nullptr) {
      tunnel_state_ = "Unknown";
    } else {
      tunnel_state_ = *status == kTunnelRunning ? "Connected" : "Disconnected";
    }
    ShowError(reply);
    Changed();
  });
}

void DartProgram::ShowError(const WireReply& reply) {
  if (reply.kind == WireReply::Kind::kError) {
    last_error_ = reply.message;
  } else if (reply.kind != WireReply::Kind::kSuccess) {
    last_error_ = "The native side gave no usable answer (" + RenderReply(reply) + ").";
  }
  Changed();
}

}  // namespace standin

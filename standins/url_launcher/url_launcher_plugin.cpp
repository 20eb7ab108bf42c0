// The least of url_launcher that is useful: "canLaunch" ({"url": s}: true for http, https and
// mailto links) and "launch" ({"url": s}: opens such a link with the shell, true when that worked;
// any other link, which the shell would open as a file or a program, is refused with the error
// "unsupported_scheme") on "plugins.flutter.io/url_launcher_windows"; any other method is not
// implemented.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <string>

#include "common/windows_error.h"
#include "standins/flutter_embedding/standin_api.h"
#include "standins/flutter_embedding/wire_value.h"

namespace {

constexpr char kChannel[] = "plugins.flutter.io/url_launcher_windows";

bool HasLaunchableScheme(const std::string& url) {
  const std::size_t colon = url.find(':');
  if (colon == std::string::npos) return false;
  std::string scheme = url.substr(0, colon);
  for (char& c : scheme) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return scheme == "http" || scheme == "https" || scheme == "mailto";
}

bool Launch(const std::string& url) {
  const std::wstring wide = common::Utf8ToWide(url);
  if (wide.empty()) return false;
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;  // larger than 32 means it worked
}

void HandleMessage(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message,
                   void*) noexcept {
  try {
    const standin::Bytes bytes(message->message, message->message + message->message_size);
    standin::Bytes answer;  // empty: not implemented
    if (const auto call = standin::DecodeMethodCall(bytes)) {
      const std::string* url = call->arguments.FindString("url");
      if (url != nullptr && call->method == "canLaunch") {
        answer = standin::EncodeSuccess({HasLaunchableScheme(*url)});
      } else if (url != nullptr && call->method == "launch") {
        answer = HasLaunchableScheme(*url)
                     ? standin::EncodeSuccess({Launch(*url)})
                     : standin::EncodeError("unsupported_scheme",
                                            "Only http, https and mailto links can be opened.");
      }
    }
    FlutterDesktopMessengerSendResponse(messenger, message->response_handle,
                                        answer.empty() ? nullptr : answer.data(), answer.size());
  } catch (...) {
    // Nothing may unwind into the embedding; the call stays unanswered.
  }
}

}  // namespace

extern "C" __declspec(dllexport) void UrlLauncherWindowsRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  FlutterDesktopMessengerSetCallback(FlutterDesktopPluginRegistrarGetMessenger(registrar), kChannel,
                                     &HandleMessage, nullptr);
}

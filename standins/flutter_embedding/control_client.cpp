// standin_control.exe: sends one request to the stand-in's control pipe and prints the response,
// for the scripted demo (tests use their own client). "\n" in the request stands for a line feed.
//
//   standin_control "<request>"        exit 0 with the response; 1 when the pipe did not answer
//   standin_control --close-window     closes the window "ZEQ VPN for Windows" as a user would
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/unique_handle.h"
#include "common/windows_error.h"

namespace {

constexpr wchar_t kControlPipe[] = L"\\\\.\\pipe\\ZEQ.FlutterStandIn.Control";

std::string Unescape(const std::string& text) {
  std::string unescaped;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const bool line_feed = text.compare(at, 2, "\\n") == 0;
    unescaped += line_feed ? '\n' : text[at];
    at += line_feed ? 1 : 0;
  }
  return unescaped;
}

int Send(const std::string& request) {
  if (!WaitNamedPipeW(kControlPipe, 10000)) return 1;
  const common::UniqueFileHandle pipe(CreateFileW(kControlPipe, GENERIC_READ | GENERIC_WRITE, 0,
                                                  nullptr, OPEN_EXISTING, 0, nullptr));
  DWORD mode = PIPE_READMODE_MESSAGE;
  DWORD written = 0;
  if (!pipe || !SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr) ||
      !WriteFile(pipe.get(), request.data(), static_cast<DWORD>(request.size()), &written,
                 nullptr)) {
    return 1;
  }
  std::string response;
  char chunk[4096];
  for (;;) {
    DWORD read = 0;
    const BOOL complete = ReadFile(pipe.get(), chunk, sizeof(chunk), &read, nullptr);
    response.append(chunk, read);
    if (complete) break;
    if (GetLastError() != ERROR_MORE_DATA) return 1;
  }
  std::fwrite(response.data(), 1, response.size(), stdout);
  std::fputc('\n', stdout);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: standin_control \"<request>\" | --close-window\n", stderr);
    return 2;
  }
  if (std::wstring(argv[1]) == L"--close-window") {
    const HWND window = FindWindowW(L"FLUTTER_RUNNER_WIN32_WINDOW", L"ZEQ VPN for Windows");
    return window != nullptr && PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
  }
  return Send(Unescape(common::WideToUtf8(argv[1])));
}

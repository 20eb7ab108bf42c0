// Times the app's two start-up paths under Wine against baselines measured in the same run, and
// prints the ratios (goal: at most 1.5 each):
//   link hand-off: from the start of a second zeq_vpn.exe with a link until the first instance's
//                  Dart side has received it, against start-to-exit of a trivial Windows program
//                  that posts one window message;
//   cold start:    from the start of zeq_vpn.exe until its first frame, against a minimal Win32
//                  program that opens one window and exits when it has painted.
// Run from the build's bin folder in a prefix with an X server (see the README).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "standins/flutter_embedding/control_request.h"
#include "tests/support/process.h"
#include "tests/support/wait.h"

namespace {

constexpr int kRounds = 15;
// Between two looks for the awaited state: short enough to time start-ups of about 100 ms, long
// enough that the looks (each a request the app's window thread answers) do not slow the app
// they time on a machine of two cores.
constexpr DWORD kPollMs = 4;

using test_support::BuiltProgram;

bool EventArrived(const std::string& text) {
  return standin::SendControlRequest("events").value_or("").find(text) != std::string::npos;
}

// The main window is shown by the first frame.
bool FirstFrameShown() {
  const HWND window = FindWindowW(nullptr, L"ZEQ VPN for Windows");
  return window != nullptr && IsWindowVisible(window);
}

// Milliseconds from the start of `command_line` until `until` holds (polled), or -1 when it does
// not start or `until` never holds; `process` receives the started process.
double TimeStart(const std::wstring& command_line, const std::function<bool()>& until,
                 common::UniqueHandle& process) {
  LARGE_INTEGER start, end, frequency;
  QueryPerformanceCounter(&start);
  process = test_support::StartProcess(command_line);
  if (!process || !test_support::PollUntil(until, 30000, kPollMs)) return -1;
  QueryPerformanceCounter(&end);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

double RunToExit(const std::wstring& command_line) {
  common::UniqueHandle process;
  return TimeStart(
      command_line,
      [&process] { return WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0; }, process);
}

// The median of what `round` measured, in milliseconds; -1 when a round failed (returned < 0).
double Median(const std::function<double(int)>& round) {
  std::vector<double> times;
  for (int index = 0; index < kRounds; ++index) {
    times.push_back(round(index));
    if (times.back() < 0) return -1;
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// True once the app has ended: the next start is a first instance again.
bool CloseApp(HANDLE process) {
  if (const HWND window = FindWindowW(nullptr, L"ZEQ VPN for Windows")) {
    PostMessageW(window, WM_CLOSE, 0, 0);
  }
  return WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
}

void Report(const char* name, double measured, double baseline) {
  std::printf("%-14s %8.1f ms   baseline %8.1f ms   ratio %5.2f\n", name, measured, baseline,
              measured / baseline);
}

}  // namespace

int wmain() {
  const double trivial =
      Median([](int) { return RunToExit(BuiltProgram(L"trivial_program.exe")); });
  const double window = Median([](int) { return RunToExit(BuiltProgram(L"minimal_window.exe")); });
  const double cold = Median([](int) {
    common::UniqueHandle app;
    const double time = TimeStart(BuiltProgram(L"zeq_vpn.exe"), FirstFrameShown, app);
    return CloseApp(app.get()) ? time : -1;
  });
  common::UniqueHandle first = test_support::StartProcess(BuiltProgram(L"zeq_vpn.exe"));
  const bool ready = first && test_support::PollUntil(FirstFrameShown, 30000, kPollMs);
  const double handoff = !ready ? -1 : Median([](int index) {
    const std::string link = "daviza://bench/" + std::to_string(index);
    common::UniqueHandle second;
    return TimeStart(
        BuiltProgram(L"zeq_vpn.exe") + L" " + std::wstring(link.begin(), link.end()),
        [&link] { return EventArrived("{url: " + link + "}"); }, second);
  });
  if (!CloseApp(first.get()) || trivial < 0 || window < 0 || cold < 0 || handoff < 0) {
    std::puts("a round failed: is an X server there, and the stand-in bundle beside the program?");
    return 1;
  }
  Report("link hand-off", handoff, trivial);
  Report("cold start", cold, window);
  return 0;
}

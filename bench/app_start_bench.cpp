// Times the app's start-up under Wine against baselines measured in the same run:
//   second start:  a zeq_vpn.exe started with a link while the app runs, from its start to its
//                  exit, against a trivial Windows program that posts one window message;
//   second memory: its peak working set against the trivial program's;
//   link hand-off: from that start until the first instance's Dart side has the link, against
//                  the trivial program's start to exit;
//   cold start:    from the start of zeq_vpn.exe until its first frame, against a minimal Win32
//                  program that opens one window and exits when it has painted.
// Each figure is the median of its rounds in one run; the runs are repeated, and every line gives
// the median over the runs and their spread (lowest and highest), so that no lucky run stands for
// the whole. When a round's moment comes from the app (the link's arrival, the first frame), the
// stand-in embedding's own record of it is read afterwards: nothing looks at the app while it is
// timed. Run from the build's bin folder in a prefix with an X server (see the README).
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "standins/flutter_embedding/control_request.h"
#include "tests/support/process.h"
#include "tests/support/wait.h"

namespace {

constexpr int kRuns = 5;
constexpr int kRounds = 9;
constexpr DWORD kLimitMs = 30000;

using test_support::BuiltProgram;

std::int64_t Now() {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

double Milliseconds(std::int64_t from, std::int64_t to) {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to - from) / static_cast<double>(frequency.QuadPart);
}

// When the stand-in recorded the first event that contains `text`, or 0 while there is none.
std::int64_t EventTime(const std::string& text) {
  const std::string times = standin::SendControlRequest("times").value_or("");
  const std::size_t found = times.find(text);
  if (found == std::string::npos) return 0;
  const std::size_t line = times.rfind('\n', found);
  return std::stoll(times.substr(line == std::string::npos ? 0 : line + 1));
}

bool FirstFrameShown() {
  const HWND window = FindWindowW(nullptr, L"ZEQ VPN for Windows");
  return window != nullptr && IsWindowVisible(window);
}

// Milliseconds from the start of `command_line` to its exit, or -1; `started`, when given,
// receives the moment of the start.
double RunToExit(const std::wstring& command_line, std::int64_t* started = nullptr) {
  const std::int64_t start = Now();
  if (started != nullptr) *started = start;
  const common::UniqueHandle process = test_support::StartProcess(command_line);
  if (!process || WaitForSingleObject(process.get(), kLimitMs) != WAIT_OBJECT_0) return -1;
  return Milliseconds(start, Now());
}

// The highest peak working set seen while `command_line` runs, in MiB. Looked at every
// millisecond, so these rounds are apart from the timed ones.
double PeakMemory(const std::wstring& command_line) {
  const common::UniqueHandle process = test_support::StartProcess(command_line);
  SIZE_T peak = 0;
  for (ULONGLONG end = GetTickCount64() + kLimitMs; process && GetTickCount64() < end;) {
    PROCESS_MEMORY_COUNTERS counters{};
    if (GetProcessMemoryInfo(process.get(), &counters, sizeof(counters))) {
      peak = std::max(peak, counters.PeakWorkingSetSize);
    }
    if (WaitForSingleObject(process.get(), 1) == WAIT_OBJECT_0) return peak / 1048576.0;
  }
  return -1;
}

// True once the app has ended: the next start is a first instance again.
bool CloseApp(HANDLE process) {
  if (const HWND window = FindWindowW(nullptr, L"ZEQ VPN for Windows")) {
    PostMessageW(window, WM_CLOSE, 0, 0);
  }
  return WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
}

struct Figures {
  double trivial, trivial_memory, window, second, second_memory, handoff, cold;
};

// One round: each figure once, a baseline right beside what it is compared with, so that a
// change in the machine's load between them weighs on both alike. The app's first start is the
// cold start and stays open for the second starts.
Figures Round(const std::string& link) {
  Figures round{-1, -1, -1, -1, -1, -1, -1};
  round.window = RunToExit(BuiltProgram(L"minimal_window.exe"));
  const std::int64_t started = Now();
  const common::UniqueHandle app = test_support::StartProcess(BuiltProgram(L"zeq_vpn.exe"));
  if (!app || !test_support::PollUntil(FirstFrameShown, kLimitMs, 4)) return round;
  const std::int64_t frame = EventTime("frame 1");
  round.cold = frame != 0 ? Milliseconds(started, frame) : -1;
  round.trivial = RunToExit(BuiltProgram(L"trivial_program.exe"));
  const std::wstring second = BuiltProgram(L"zeq_vpn.exe") + L" ";
  std::int64_t second_started = 0;
  round.second = RunToExit(second + std::wstring(link.begin(), link.end()), &second_started);
  std::int64_t arrived = 0;
  if (test_support::PollUntil([&] { return (arrived = EventTime("{url: " + link + "}")) != 0; },
                              kLimitMs, 1)) {
    round.handoff = Milliseconds(second_started, arrived);
  }
  round.trivial_memory = PeakMemory(BuiltProgram(L"trivial_program.exe"));
  round.second_memory = PeakMemory(second + L"daviza://bench/memory");
  if (!CloseApp(app.get())) round.window = -1;
  return round;
}

// Each figure's median over `kRounds` rounds.
Figures Run(int run) {
  std::vector<Figures> rounds;
  for (int index = 0; index < kRounds; ++index) {
    rounds.push_back(Round("daviza://bench/" + std::to_string(run) + "-" + std::to_string(index)));
  }
  Figures medians{};
  for (double Figures::*figure :
       {&Figures::trivial, &Figures::trivial_memory, &Figures::window, &Figures::second,
        &Figures::second_memory, &Figures::handoff, &Figures::cold}) {
    std::vector<double> values;
    for (const Figures& round : rounds) values.push_back(round.*figure);
    std::sort(values.begin(), values.end());
    // A failed round (-1) sorts first and makes the run fail.
    medians.*figure = values.front() < 0 ? -1 : values[values.size() / 2];
  }
  return medians;
}

// One line: the median over the runs and their spread, of the figure and of its ratio to the
// baseline.
void Report(const char* name, const char* unit, double goal, const std::vector<Figures>& runs,
            double Figures::*measured, double Figures::*baseline) {
  std::vector<double> values, ratios;
  for (const Figures& run : runs) {
    values.push_back(run.*measured);
    ratios.push_back(run.*measured / (run.*baseline));
  }
  std::sort(values.begin(), values.end());
  std::sort(ratios.begin(), ratios.end());
  const std::size_t middle = runs.size() / 2;
  std::printf("%-14s %7.1f %-3s [%6.1f, %6.1f]   ratio %5.2f [%5.2f, %5.2f]   goal %.1f\n", name,
              values[middle], unit, values.front(), values.back(), ratios[middle], ratios.front(),
              ratios.back(), goal);
}

}  // namespace

int wmain() {
  std::vector<Figures> runs;
  for (int run = 0; run < kRuns; ++run) {
    runs.push_back(Run(run));
    const Figures& f = runs.back();
    if (std::min({f.trivial, f.trivial_memory, f.window, f.second, f.second_memory, f.handoff,
                  f.cold}) < 0) {
      std::puts(
          "a round failed: is an X server there, and the stand-in bundle beside the program?");
      return 1;
    }
  }
  std::printf("median of %d rounds; median over %d runs [lowest, highest]\n", kRounds, kRuns);
  Report("second start", "ms", 1.1, runs, &Figures::second, &Figures::trivial);
  Report("second memory", "MiB", 1.5, runs, &Figures::second_memory, &Figures::trivial_memory);
  Report("link hand-off", "ms", 1.2, runs, &Figures::handoff, &Figures::trivial);
  Report("cold start", "ms", 1.2, runs, &Figures::cold, &Figures::window);
  return 0;
}

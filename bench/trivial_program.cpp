// The baseline of the link hand-off benchmark: a trivial Windows program that does the least a
// hand-off needs, posting one registered window message, and exits.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"ZEQ.Benchmark.Baseline"), 0, 0);
  return 0;
}

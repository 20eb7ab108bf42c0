#include "tests/support/standin_control.h"

#include "common/unique_handle.h"

namespace test_support {
namespace {

constexpr wchar_t kControlPipe[] = L"\\\\.\\pipe\\ZEQ.FlutterStandIn.Control";

void DispatchWaitingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Waits for `event` until `deadline`, dispatching messages meanwhile.
bool WaitPumping(HANDLE event, ULONGLONG deadline) {
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    const DWORD waited = MsgWaitForMultipleObjects(1, &event, FALSE,
                                                   static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    if (waited == WAIT_OBJECT_0) return true;
    if (waited != WAIT_OBJECT_0 + 1) return false;
    DispatchWaitingMessages();
  }
}

// One overlapped read or write, completed or cancelled before it returns.
bool Transfer(HANDLE pipe, bool write, void* buffer, DWORD size, DWORD* moved, ULONGLONG deadline) {
  common::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  OVERLAPPED overlapped = {};
  overlapped.hEvent = event.get();
  const BOOL started = write ? WriteFile(pipe, buffer, size, nullptr, &overlapped)
                             : ReadFile(pipe, buffer, size, nullptr, &overlapped);
  if (!started && GetLastError() != ERROR_IO_PENDING && GetLastError() != ERROR_MORE_DATA) {
    return false;
  }
  if (!WaitPumping(event.get(), deadline)) {
    CancelIoEx(pipe, &overlapped);
    GetOverlappedResult(pipe, &overlapped, moved, TRUE);
    SetLastError(WAIT_TIMEOUT);
    return false;
  }
  return GetOverlappedResult(pipe, &overlapped, moved, FALSE) != FALSE;
}

}  // namespace

std::string StandInRequest(const std::string& request, DWORD timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  common::UniqueFileHandle pipe;
  for (;;) {
    pipe.reset(CreateFileW(kControlPipe, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr));
    if (pipe) break;
    const DWORD error = GetLastError();
    // Busy while the server finishes the previous client.
    if (error != ERROR_PIPE_BUSY || GetTickCount64() >= deadline) {
      return "client: cannot open the control pipe (" + std::to_string(error) + ")";
    }
    PumpMessagesUntil([] { return false; }, 10);
  }
  DWORD mode = PIPE_READMODE_MESSAGE;
  SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr);
  std::string text = request;
  DWORD moved = 0;
  if (!Transfer(pipe.get(), true, text.data(), static_cast<DWORD>(text.size()), &moved, deadline)) {
    return "client: write failed (" + std::to_string(GetLastError()) + ")";
  }
  std::string response;
  char buffer[4096];
  for (;;) {
    const bool complete = Transfer(pipe.get(), false, buffer, sizeof(buffer), &moved, deadline);
    if (!complete && GetLastError() != ERROR_MORE_DATA) {
      return "client: read failed (" + std::to_string(GetLastError()) + ")";
    }
    response.append(buffer, moved);
    if (complete) return response;
  }
}

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  while (!done()) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    DispatchWaitingMessages();
  }
  return true;
}

}  // namespace test_support

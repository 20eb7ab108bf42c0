#include "tests/support/pipe_squatter.h"

namespace test_support {

PipeSquatter::PipeSquatter(const wchar_t* name)
    : pipe_(CreateNamedPipeW(name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                             PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 65536, 65536,
                             0, nullptr)),
      event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  if (pipe_ && event_) Listen();
}

PipeSquatter::~PipeSquatter() {
  DWORD bytes = 0;
  Finish(0, bytes);
}

void PipeSquatter::Listen() {
  overlapped_ = OVERLAPPED{};
  overlapped_.hEvent = event_.get();
  connected_ =
      ConnectNamedPipe(pipe_.get(), &overlapped_) || GetLastError() == ERROR_PIPE_CONNECTED;
  pending_ = !connected_ && GetLastError() == ERROR_IO_PENDING;
}

bool PipeSquatter::Finish(DWORD timeout_ms, DWORD& bytes) {
  if (!pending_) return false;
  pending_ = false;
  if (WaitForSingleObject(event_.get(), timeout_ms) != WAIT_OBJECT_0) {
    CancelIoEx(pipe_.get(), &overlapped_);
  }
  // Waits for the cancellation too, before the OVERLAPPED may be reused or freed.
  return GetOverlappedResult(pipe_.get(), &overlapped_, &bytes, TRUE) ||
         GetLastError() == ERROR_MORE_DATA;
}

std::string PipeSquatter::Received(DWORD timeout_ms) {
  DWORD bytes = 0;
  if (!connected_) connected_ = Finish(timeout_ms, bytes);
  if (!connected_) return {};
  char buffer[4096];
  overlapped_ = OVERLAPPED{};
  overlapped_.hEvent = event_.get();
  pending_ = true;
  if (ReadFile(pipe_.get(), buffer, sizeof(buffer), nullptr, &overlapped_) ||
      GetLastError() == ERROR_IO_PENDING || GetLastError() == ERROR_MORE_DATA) {
    if (Finish(timeout_ms, bytes)) return std::string(buffer, bytes);
  }
  pending_ = false;
  return {};
}

void PipeSquatter::ListenAgain() {
  DWORD bytes = 0;
  Finish(0, bytes);
  DisconnectNamedPipe(pipe_.get());
  Listen();
}

}  // namespace test_support

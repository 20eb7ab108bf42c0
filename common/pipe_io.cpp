#include "common/pipe_io.h"

#include <utility>

namespace common {

Deadline::Deadline(DWORD milliseconds_from_now) noexcept
    : end_(GetTickCount64() + milliseconds_from_now) {}

DWORD Deadline::RemainingMs() const noexcept {
  const ULONGLONG now = GetTickCount64();
  return now >= end_ ? 0 : static_cast<DWORD>(end_ - now);
}

PipeInstance::PipeInstance(UniqueFileHandle pipe, UniqueHandle event) noexcept
    : pipe_(std::move(pipe)), event_(std::move(event)) {}

void PipeInstance::Prepare() noexcept {
  overlapped_ = OVERLAPPED{};
  overlapped_.hEvent = event_.get();
  ResetEvent(event_.get());
}

PipeIoResult PipeInstance::Finish(BOOL started, const Deadline* deadline,
                                  HANDLE stop_event) noexcept {
  if (!started) {
    const DWORD error = GetLastError();
    // ERROR_MORE_DATA is a completed read of part of a message; its count comes from
    // GetOverlappedResult below.
    if (error != ERROR_IO_PENDING && error != ERROR_MORE_DATA) {
      return {.ok = false, .error = error, .bytes = 0};
    }
    if (error == ERROR_IO_PENDING) {
      // The stop event comes first so that it wins when both are set.
      HANDLE waits[2];
      DWORD count = 0;
      if (stop_event != nullptr) waits[count++] = stop_event;
      const DWORD io_index = count;
      waits[count++] = event_.get();
      const DWORD wait = WaitForMultipleObjects(
          count, waits, FALSE, deadline != nullptr ? deadline->RemainingMs() : INFINITE);
      if (wait != WAIT_OBJECT_0 + io_index) {
        const DWORD reason = wait == WAIT_TIMEOUT    ? ERROR_TIMEOUT
                             : wait == WAIT_OBJECT_0 ? ERROR_OPERATION_ABORTED
                                                     : GetLastError();
        CancelIoEx(pipe_.get(), &overlapped_);
        // The cancellation must land before the OVERLAPPED and the buffer may be reused. An
        // operation that completed in the meantime is taken as it is.
        DWORD bytes = 0;
        if (GetOverlappedResult(pipe_.get(), &overlapped_, &bytes, TRUE)) {
          return {.ok = true, .error = ERROR_SUCCESS, .bytes = bytes};
        }
        const DWORD late_error = GetLastError();
        if (late_error == ERROR_MORE_DATA) {
          return {.ok = false, .error = late_error, .bytes = bytes};
        }
        return {.ok = false, .error = reason, .bytes = 0};
      }
    }
  }
  DWORD bytes = 0;
  if (GetOverlappedResult(pipe_.get(), &overlapped_, &bytes, FALSE)) {
    return {.ok = true, .error = ERROR_SUCCESS, .bytes = bytes};
  }
  return {.ok = false, .error = GetLastError(), .bytes = bytes};
}

PipeIoResult PipeInstance::Connect(HANDLE stop_event, HANDLE listening_event) noexcept {
  Prepare();
  const BOOL connected = ConnectNamedPipe(pipe_.get(), &overlapped_);
  const DWORD error = GetLastError();
  // Clients can find the instance only from here on (Wine reports no pipe at all before).
  if (listening_event != nullptr) SetEvent(listening_event);
  if (connected) {
    return {.ok = true, .error = ERROR_SUCCESS, .bytes = 0};
  }
  if (error == ERROR_PIPE_CONNECTED) {
    return {.ok = true, .error = ERROR_SUCCESS, .bytes = 0};
  }
  if (error != ERROR_IO_PENDING) {
    return {.ok = false, .error = error, .bytes = 0};
  }
  SetLastError(ERROR_IO_PENDING);
  // When the stop comes, a client that connected meanwhile is still served (Finish takes an
  // operation that completed before its cancellation as it is).
  return Finish(FALSE, nullptr, stop_event);
}

PipeIoResult PipeInstance::Read(void* buffer, DWORD size, const Deadline& deadline,
                                HANDLE stop_event) noexcept {
  Prepare();
  const BOOL started = ReadFile(pipe_.get(), buffer, size, nullptr, &overlapped_);
  return Finish(started, &deadline, stop_event);
}

PipeIoResult PipeInstance::Write(const void* data, DWORD size, const Deadline& deadline,
                                 HANDLE stop_event) noexcept {
  Prepare();
  const BOOL started = WriteFile(pipe_.get(), data, size, nullptr, &overlapped_);
  return Finish(started, &deadline, stop_event);
}

void PipeInstance::WaitForClientToClose(const Deadline& deadline, HANDLE stop_event) noexcept {
  // A client closes its end once it has read its one response; a read then fails with
  // ERROR_BROKEN_PIPE. Unlike FlushFileBuffers, this wait can be bounded. Whatever the client
  // sends meanwhile (the rest of a request written in pieces, a second message) is read and
  // dropped: ending the wait there would disconnect before the client has taken its answer.
  char discarded[4096];
  for (;;) {
    const PipeIoResult read = Read(discarded, sizeof(discarded), deadline, stop_event);
    if (!read.ok && read.error != ERROR_MORE_DATA) return;
  }
}

bool PipeInstance::Disconnect() noexcept { return DisconnectNamedPipe(pipe_.get()) != FALSE; }

}  // namespace common

// Bounded overlapped I/O on one instance of a message pipe served by a thread of its own: the
// service's helper pipe and the stand-in embedding's control pipe. The instance is opened for
// overlapped I/O so that no wait on a client can outlast the server's stop or a client's silence.
#pragma once

#include <windows.h>

#include <cstddef>

#include "common/unique_handle.h"

namespace common {

struct PipeIoResult {
  bool ok = false;
  DWORD error = ERROR_SUCCESS;  // When !ok: the operation's error, ERROR_TIMEOUT or
                                // ERROR_OPERATION_ABORTED (cut short by the stop event).
  DWORD bytes = 0;              // Bytes moved, also for a read that ends with ERROR_MORE_DATA.
};

// A point in GetTickCount64() time after which a wait gives up.
class Deadline {
 public:
  explicit Deadline(DWORD milliseconds_from_now) noexcept;
  [[nodiscard]] DWORD RemainingMs() const noexcept;

 private:
  ULONGLONG end_;
};

// One pipe instance with the event its operations complete on. Every operation waits for its own
// completion before it returns, so one OVERLAPPED and one event serve them all in turn.
class PipeInstance {
 public:
  // `pipe`: an instance created with FILE_FLAG_OVERLAPPED; `event`: a manual-reset event.
  PipeInstance(UniqueFileHandle pipe, UniqueHandle event) noexcept;

  // The instance itself, for questions about its client (its process, its account).
  [[nodiscard]] HANDLE handle() const noexcept { return pipe_.get(); }

  // Waits for a client. Returns ok once one is connected, also when the stop event is set at the
  // same time; ERROR_OPERATION_ABORTED when the stop came and no client. `listening_event`, when
  // given, is set as soon as clients can find the instance.
  [[nodiscard]] PipeIoResult Connect(HANDLE stop_event, HANDLE listening_event) noexcept;

  // Both give up at the deadline, and at `stop_event` only when one is given: the service serves a
  // client that has connected to the end.
  [[nodiscard]] PipeIoResult Read(void* buffer, DWORD size, const Deadline& deadline,
                                  HANDLE stop_event = nullptr) noexcept;
  [[nodiscard]] PipeIoResult Write(const void* data, DWORD size, const Deadline& deadline,
                                   HANDLE stop_event = nullptr) noexcept;

  // Waits until the client closes its end, at most until the deadline (or `stop_event`, when
  // given), reading and dropping anything it sends meanwhile.
  void WaitForClientToClose(const Deadline& deadline, HANDLE stop_event = nullptr) noexcept;

  [[nodiscard]] bool Disconnect() noexcept;

 private:
  void Prepare() noexcept;
  PipeIoResult Finish(BOOL started, const Deadline* deadline, HANDLE stop_event) noexcept;

  UniqueFileHandle pipe_;
  UniqueHandle event_;
  OVERLAPPED overlapped_{};
};

}  // namespace common

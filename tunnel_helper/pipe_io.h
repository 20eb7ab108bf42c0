// Bounded overlapped I/O on the service's pipe instance. The instance is opened for overlapped
// I/O so that no wait on a client can outlast the service's stop or a client's silence.
#pragma once

#include <windows.h>

#include <cstddef>

#include "common/unique_handle.h"

namespace tunnel_helper {

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
  PipeInstance(common::UniqueFileHandle pipe, common::UniqueHandle event) noexcept;

  [[nodiscard]] HANDLE handle() const noexcept { return pipe_.get(); }

  // Waits for a client. Returns ok once one is connected, also when the stop event is set at the
  // same time; ERROR_OPERATION_ABORTED when the stop came and no client. `listening_event` is set
  // as soon as clients can find the instance.
  [[nodiscard]] PipeIoResult Connect(HANDLE stop_event, HANDLE listening_event) noexcept;

  // Both give up at the deadline, not at a stop: a client that has connected is served to the end.
  [[nodiscard]] PipeIoResult Read(void* buffer, DWORD size, const Deadline& deadline) noexcept;
  [[nodiscard]] PipeIoResult Write(const void* data, DWORD size, const Deadline& deadline) noexcept;

  // Waits until the client closes its end, at most until the deadline, reading and dropping
  // anything it sends meanwhile.
  void WaitForClientToClose(const Deadline& deadline) noexcept;

  [[nodiscard]] bool Disconnect() noexcept;

 private:
  void Prepare() noexcept;
  PipeIoResult Finish(BOOL started, const Deadline* deadline, HANDLE stop_event) noexcept;

  common::UniqueFileHandle pipe_;
  common::UniqueHandle event_;
  OVERLAPPED overlapped_{};
};

}  // namespace tunnel_helper

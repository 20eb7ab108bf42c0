// A pipe server of the test's own under a name the product serves, as a local attacker would
// create it first. It listens without a thread of its own: its connect is overlapped, and it is
// cancelled and waited for before the pipe is closed, also when a test fails half-way.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_handle.h"

namespace test_support {

class PipeSquatter {
 public:
  explicit PipeSquatter(const wchar_t* name);
  ~PipeSquatter();
  PipeSquatter(const PipeSquatter&) = delete;
  PipeSquatter& operator=(const PipeSquatter&) = delete;

  [[nodiscard]] bool valid() const { return pipe_.valid(); }

  // What a client sent, waiting at most `timeout_ms` for a client and its first message; empty
  // when none came or the client left without writing.
  [[nodiscard]] std::string Received(DWORD timeout_ms);

  // Lets the client go and listens for the next one.
  void ListenAgain();

 private:
  void Listen();
  // Waits for the pending operation within `timeout_ms`, cancelling it on time-out; true when it
  // completed, with its byte count in `bytes`.
  bool Finish(DWORD timeout_ms, DWORD& bytes);

  common::UniqueFileHandle pipe_;
  common::UniqueHandle event_;
  OVERLAPPED overlapped_{};
  bool pending_ = false;
  bool connected_ = false;
};

}  // namespace test_support

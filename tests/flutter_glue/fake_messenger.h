// A stand-in for the embedding's messenger: the messenger functions of the flat interface, backed
// by an object that plays the engine's part in tests. It routes messages to the registered
// callbacks, records what the glue sends and answers, and lets a test answer sent messages,
// withdraw the engine and check the messenger's reference count and lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "flutter_glue/embedding_api.h"

namespace glue_test {

struct SentMessage {
  std::string channel;
  std::vector<std::uint8_t> bytes;
  bool with_reply = false;
};

struct SentResponse {
  int message_id = 0;  // as returned by Deliver
  std::vector<std::uint8_t> bytes;
  bool data_was_null = false;
  int lock_depth = 0;  // how often the messenger was locked while this was sent
};

class FakeMessenger {
 public:
  FakeMessenger() = default;
  FakeMessenger(const FakeMessenger&) = delete;
  FakeMessenger& operator=(const FakeMessenger&) = delete;

  FlutterDesktopMessengerRef ref() { return reinterpret_cast<FlutterDesktopMessengerRef>(this); }

  bool HasRoute(const std::string& channel) const { return routes_.count(channel) != 0; }
  // The user data the glue registered for `channel`, or null.
  const void* RouteUserData(const std::string& channel) const;

  // Hands a message to the channel's callback as the engine would; returns the message's id.
  int Deliver(const std::string& channel, const std::vector<std::uint8_t>& bytes);

  // Runs the reply of the `index`-th message sent with a reply (counting only those), as the
  // engine does, once.
  void AnswerSentMessage(std::size_t index, const std::vector<std::uint8_t>& bytes);

  std::vector<SentMessage> sent;
  std::vector<SentResponse> responses;
  bool accept_messages_with_reply = true;
  bool available = true;  // false once "the engine has ended"
  int references = 0;     // added and not yet released
  int lock_depth = 0;
  int locks_taken = 0;

  // Internal to the stand-in functions.
  struct Route {
    FlutterDesktopMessageCallback callback;
    void* user_data;
  };
  struct PendingReply {
    FlutterDesktopBinaryReply reply;
    void* user_data;
    bool answered = false;
  };
  std::map<std::string, Route> routes_;
  std::vector<PendingReply> pending_replies_;
  std::deque<int> handle_ids_;  // a deque keeps the handles' addresses stable
};

}  // namespace glue_test

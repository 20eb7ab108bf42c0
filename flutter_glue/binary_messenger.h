// Byte messages on named channels between the native side and the Dart side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace flutter {

// Takes the answer's bytes (null with a count of 0 for an empty answer).
using BinaryReply = std::function<void(const std::uint8_t* reply, std::size_t reply_size)>;

// Takes one incoming message and the reply for it, which may be called later, at most once.
using BinaryMessageHandler =
    std::function<void(const std::uint8_t* message, std::size_t message_size, BinaryReply reply)>;

class BinaryMessenger {
 public:
  BinaryMessenger() = default;
  virtual ~BinaryMessenger() = default;
  BinaryMessenger(const BinaryMessenger&) = delete;
  BinaryMessenger& operator=(const BinaryMessenger&) = delete;

  // Without `reply` the message is sent and nothing waits for an answer. The bytes may be freed
  // once the call returns.
  virtual void Send(const std::string& channel, const std::uint8_t* message,
                    std::size_t message_size, BinaryReply reply = nullptr) const = 0;

  // Routes `channel`'s messages to `handler`, replacing any earlier one; an empty handler removes
  // the route.
  virtual void SetMessageHandler(const std::string& channel, BinaryMessageHandler handler) = 0;
};

}  // namespace flutter

#include "tests/flutter_glue/fake_messenger.h"

#include <stdexcept>

namespace glue_test {
namespace {

FakeMessenger& Fake(FlutterDesktopMessengerRef messenger) {
  return *reinterpret_cast<FakeMessenger*>(messenger);
}

}  // namespace

const void* FakeMessenger::RouteUserData(const std::string& channel) const {
  const auto route = routes_.find(channel);
  return route == routes_.end() ? nullptr : route->second.user_data;
}

int FakeMessenger::Deliver(const std::string& channel, const std::vector<std::uint8_t>& bytes) {
  const Route& route = routes_.at(channel);
  handle_ids_.push_back(static_cast<int>(handle_ids_.size()) + 1);
  const FlutterDesktopMessage message{
      sizeof(FlutterDesktopMessage), channel.c_str(), bytes.empty() ? nullptr : bytes.data(),
      bytes.size(),
      reinterpret_cast<const FlutterDesktopMessageResponseHandle*>(&handle_ids_.back())};
  route.callback(ref(), &message, route.user_data);
  return handle_ids_.back();
}

void FakeMessenger::AnswerSentMessage(std::size_t index, const std::vector<std::uint8_t>& bytes) {
  PendingReply& pending = pending_replies_.at(index);
  if (pending.answered) throw std::logic_error("the engine answers a message once");
  pending.answered = true;
  pending.reply(bytes.empty() ? nullptr : bytes.data(), bytes.size(), pending.user_data);
}

}  // namespace glue_test

extern "C" {

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data) {
  auto& fake = glue_test::Fake(messenger);
  if (callback == nullptr) {
    fake.routes_.erase(channel);
  } else {
    fake.routes_[channel] = {callback, user_data};
  }
}

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel,
                                 const uint8_t* message, size_t message_size) {
  glue_test::Fake(messenger).sent.push_back(
      {channel, std::vector<std::uint8_t>(message, message + message_size), false});
  return true;
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, size_t message_size,
                                          FlutterDesktopBinaryReply reply, void* user_data) {
  auto& fake = glue_test::Fake(messenger);
  if (!fake.accept_messages_with_reply) return false;
  fake.sent.push_back({channel, std::vector<std::uint8_t>(message, message + message_size), true});
  fake.pending_replies_.push_back({reply, user_data});
  return true;
}

void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle,
                                         const uint8_t* data, size_t data_length) {
  auto& fake = glue_test::Fake(messenger);
  fake.responses.push_back(
      {*reinterpret_cast<const int*>(handle),
       data ? std::vector<std::uint8_t>(data, data + data_length) : std::vector<std::uint8_t>(),
       data == nullptr, fake.lock_depth});
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  ++glue_test::Fake(messenger).references;
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  --glue_test::Fake(messenger).references;
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  auto& fake = glue_test::Fake(messenger);
  ++fake.lock_depth;
  ++fake.locks_taken;
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  --glue_test::Fake(messenger).lock_depth;
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  return glue_test::Fake(messenger).available;
}

}  // extern "C"

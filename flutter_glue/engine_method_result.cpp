#include "flutter_glue/engine_method_result.h"

#include <utility>

#include "flutter_glue/diagnostics.h"

namespace flutter {

ReplyManager::ReplyManager(BinaryReply reply_handler) : reply_handler_(std::move(reply_handler)) {}

ReplyManager::~ReplyManager() {
  if (reply_handler_) {
    WriteDiagnosticLine("Warning: Failed to respond to a message. This is a memory leak.");
  }
}

void ReplyManager::SendResponseData(const std::vector<std::uint8_t>* data) {
  if (!reply_handler_) {
    WriteDiagnosticLine(
        "Error: Only one of Success, Error, or NotImplemented can be called,"
        " and it can be called exactly once. Ignoring duplicate result.");
    return;
  }
  // Emptied before the call, so an answer given from inside the reply is still refused.
  const BinaryReply reply = std::exchange(reply_handler_, nullptr);
  if (data == nullptr || data->empty()) {
    reply(nullptr, 0);
  } else {
    reply(data->data(), data->size());
  }
}

}  // namespace flutter

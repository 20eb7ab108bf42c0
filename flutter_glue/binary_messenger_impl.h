// The BinaryMessenger over the embedding's messenger handle. Created, used and destroyed on the
// platform thread; only the replies it hands out may be called from other threads.
#pragma once

#include <map>
#include <string>

#include "flutter_glue/binary_messenger.h"
#include "flutter_glue/embedding_api.h"

namespace flutter {

class BinaryMessengerImpl : public BinaryMessenger {
 public:
  // `core_messenger` is not owned; it lives as long as the engine, which outlives this object's
  // use.
  explicit BinaryMessengerImpl(FlutterDesktopMessengerRef core_messenger)
      : messenger_(core_messenger) {}

  void Send(const std::string& channel, const std::uint8_t* message, std::size_t message_size,
            BinaryReply reply = nullptr) const override;
  void SetMessageHandler(const std::string& channel, BinaryMessageHandler handler) override;

 private:
  FlutterDesktopMessengerRef messenger_;
  // The embedding holds the address of each stored handler, so handlers must not move while they
  // are registered: a node-based map keeps them in place. Handlers stay until removed or until
  // this object is destroyed (after the engine has ended).
  std::map<std::string, BinaryMessageHandler> handlers_;
};

}  // namespace flutter

// Turns one EncodableValue into the engine's standard binary encoding and back. Stateless: the one
// shared instance serves every channel and thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "flutter_glue/byte_streams.h"
#include "flutter_glue/encodable_value.h"

namespace flutter {

class StandardCodecSerializer {
 public:
  virtual ~StandardCodecSerializer() = default;
  StandardCodecSerializer(const StandardCodecSerializer&) = delete;
  StandardCodecSerializer& operator=(const StandardCodecSerializer&) = delete;

  // Created on first use and never destroyed before exit.
  static const StandardCodecSerializer& GetInstance();

  // Bad bytes never fail a read: they are logged and read as 0, null or empty, so a corrupt
  // message gives a value of the right shape with wrong contents.
  EncodableValue ReadValue(ByteStreamReader* stream) const;

  virtual void WriteValue(const EncodableValue& value, ByteStreamWriter* stream) const;

  // Sizes below 254 take one byte; up to 65535 the byte 254 and 16 bits; above, 255 and 32 bits.
  std::size_t ReadSize(ByteStreamReader* stream) const;
  void WriteSize(std::size_t size, ByteStreamWriter* stream) const;

  // Lists and maps nested deeper than this are read as null, so that no message can exhaust the
  // stack of the thread that decodes it.
  static constexpr int kMaxNestingDepth = 256;

 protected:
  StandardCodecSerializer() = default;

  virtual EncodableValue ReadValueOfType(std::uint8_t type, ByteStreamReader* stream) const;

 private:
  EncodableValue ReadList(ByteStreamReader* stream) const;
  EncodableValue ReadMap(ByteStreamReader* stream) const;
};

}  // namespace flutter

#include "flutter_glue/byte_streams.h"

#include <algorithm>
#include <cstring>

#include "flutter_glue/diagnostics.h"

namespace flutter {

std::uint8_t ByteBufferStreamReader::ReadByte() {
  if (position_ >= size_) {
    WriteDiagnosticLine(kInvalidReadLine);
    return 0;
  }
  return bytes_[position_++];
}

void ByteBufferStreamReader::ReadBytes(std::uint8_t* buffer, std::size_t length) {
  if (const std::uint8_t* source = ReadSpan(length); source != nullptr && length != 0) {
    std::memcpy(buffer, source, length);
  }
}

const std::uint8_t* ByteBufferStreamReader::ReadSpan(std::size_t length) {
  if (length > BytesRemaining()) {
    WriteDiagnosticLine(kInvalidReadLine);
    return nullptr;
  }
  if (length == 0) return bytes_ + std::min(position_, size_);
  const std::uint8_t* start = bytes_ + position_;
  position_ += length;
  return start;
}

void ByteBufferStreamReader::ReadAlignment(std::uint8_t alignment) {
  if (alignment == 0) return;
  if (const std::size_t misalignment = position_ % alignment; misalignment != 0) {
    position_ += alignment - misalignment;
  }
}

void ByteBufferStreamWriter::MakeRoomFor(std::size_t length) {
  const std::size_t needed = buffer_->size() + length;
  if (needed <= buffer_->capacity()) return;
  buffer_->reserve(std::max(buffer_->capacity() + buffer_->capacity() / 2, needed));
}

void ByteBufferStreamWriter::WriteByte(std::uint8_t byte) {
  MakeRoomFor(1);
  buffer_->push_back(byte);
}

void ByteBufferStreamWriter::WriteBytes(const std::uint8_t* bytes, std::size_t length) {
  if (length == 0) return;
  MakeRoomFor(length);
  buffer_->insert(buffer_->end(), bytes, bytes + length);
}

void ByteBufferStreamWriter::WriteAlignment(std::uint8_t alignment) {
  if (alignment == 0) return;
  while (buffer_->size() % alignment != 0) WriteByte(0);
}

}  // namespace flutter

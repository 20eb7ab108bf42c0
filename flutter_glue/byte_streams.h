// Byte streams under the standard codec. A reader or writer belongs to one message and one thread.
// Alignment is counted from the first byte of the message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace flutter {

class ByteStreamReader {
 public:
  virtual ~ByteStreamReader() = default;
  // Past the end: logs an invalid read and returns 0 without moving.
  virtual std::uint8_t ReadByte() = 0;
  // Past the end: logs an invalid read, leaves `buffer` untouched and does not move.
  virtual void ReadBytes(std::uint8_t* buffer, std::size_t length) = 0;
  // Advances to the next multiple of `alignment`; the skipped bytes are not looked at.
  virtual void ReadAlignment(std::uint8_t alignment) = 0;
  // What is left to read. Sizes announced by a message are checked against it before anything is
  // reserved for them.
  virtual std::size_t BytesRemaining() const = 0;
};

class ByteStreamWriter {
 public:
  virtual ~ByteStreamWriter() = default;
  virtual void WriteByte(std::uint8_t byte) = 0;
  virtual void WriteBytes(const std::uint8_t* bytes, std::size_t length) = 0;
  // Appends zero bytes up to the next multiple of `alignment`.
  virtual void WriteAlignment(std::uint8_t alignment) = 0;
};

// Reads a buffer it does not own; the buffer must outlive the reader.
class ByteBufferStreamReader : public ByteStreamReader {
 public:
  ByteBufferStreamReader(const std::uint8_t* bytes, std::size_t size)
      : bytes_(bytes), size_(size) {}

  std::uint8_t ReadByte() override;
  void ReadBytes(std::uint8_t* buffer, std::size_t length) override;
  void ReadAlignment(std::uint8_t alignment) override;
  std::size_t BytesRemaining() const override { return position_ < size_ ? size_ - position_ : 0; }

  // The next `length` bytes in place, for bulk copies without a zero-filled destination. Past the
  // end: logs an invalid read and returns null without moving.
  const std::uint8_t* ReadSpan(std::size_t length);

 private:
  const std::uint8_t* bytes_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// Appends to a vector owned by the caller, which must outlive the writer.
class ByteBufferStreamWriter : public ByteStreamWriter {
 public:
  explicit ByteBufferStreamWriter(std::vector<std::uint8_t>* buffer) : buffer_(buffer) {}

  void WriteByte(std::uint8_t byte) override;
  void WriteBytes(const std::uint8_t* bytes, std::size_t length) override;
  void WriteAlignment(std::uint8_t alignment) override;

 private:
  // Grows by half the capacity, or to what is needed if that is more.
  void MakeRoomFor(std::size_t length);

  std::vector<std::uint8_t>* buffer_;
};

}  // namespace flutter

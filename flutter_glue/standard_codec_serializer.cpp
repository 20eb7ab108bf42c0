#include "flutter_glue/standard_codec_serializer.h"

#include <cstring>
#include <iterator>
#include <string>
#include <type_traits>

#include "flutter_glue/diagnostics.h"

namespace flutter {
namespace {

enum Tag : std::uint8_t {
  kNull = 0,
  kTrue = 1,
  kFalse = 2,
  kInt32 = 3,
  kInt64 = 4,
  kLargeInt = 5,  // never written; read as a string
  kFloat64 = 6,
  kString = 7,
  kUInt8List = 8,
  kInt32List = 9,
  kInt64List = 10,
  kFloat64List = 11,
  kList = 12,
  kMap = 13,
  kFloat32List = 14,
};

// A list may announce up to as many elements as bytes remain; reserving beyond this many for each
// of many nested lists would let a small message ask for a great deal of memory.
constexpr std::size_t kMaxReservedElements = 1024;

// Lists and maps being read on this thread, for the nesting limit.
thread_local int nesting_depth = 0;

class NestingScope {
 public:
  NestingScope() { ++nesting_depth; }
  ~NestingScope() { --nesting_depth; }
  NestingScope(const NestingScope&) = delete;
  NestingScope& operator=(const NestingScope&) = delete;
};

// Walks raw little-endian element bytes as values, so that a vector can be built from them in one
// pass: sizing the vector first would zero-fill it and then copy over the zeros.
template <typename Element>
class RawElementIterator {
 public:
  using iterator_category = std::random_access_iterator_tag;
  using value_type = Element;
  using difference_type = std::ptrdiff_t;
  using pointer = void;
  using reference = Element;

  explicit RawElementIterator(const std::uint8_t* bytes) : bytes_(bytes) {}

  Element operator*() const {
    Element element;
    std::memcpy(&element, bytes_, sizeof(Element));
    return element;
  }
  Element operator[](difference_type n) const { return *(*this + n); }
  RawElementIterator& operator++() {
    bytes_ += sizeof(Element);
    return *this;
  }
  RawElementIterator operator++(int) {
    RawElementIterator before = *this;
    ++*this;
    return before;
  }
  RawElementIterator& operator--() {
    bytes_ -= sizeof(Element);
    return *this;
  }
  RawElementIterator operator--(int) {
    RawElementIterator before = *this;
    --*this;
    return before;
  }
  RawElementIterator& operator+=(difference_type n) {
    bytes_ += n * static_cast<difference_type>(sizeof(Element));
    return *this;
  }
  RawElementIterator& operator-=(difference_type n) { return *this += -n; }
  friend RawElementIterator operator+(RawElementIterator it, difference_type n) { return it += n; }
  friend RawElementIterator operator+(difference_type n, RawElementIterator it) { return it += n; }
  friend RawElementIterator operator-(RawElementIterator it, difference_type n) { return it -= n; }
  friend difference_type operator-(const RawElementIterator& a, const RawElementIterator& b) {
    return (a.bytes_ - b.bytes_) / static_cast<difference_type>(sizeof(Element));
  }
  friend bool operator==(const RawElementIterator& a, const RawElementIterator& b) {
    return a.bytes_ == b.bytes_;
  }
  friend auto operator<=>(const RawElementIterator& a, const RawElementIterator& b) {
    return a.bytes_ <=> b.bytes_;
  }

 private:
  const std::uint8_t* bytes_;
};

// Reads `count` elements stored as raw bytes (a string, a byte list or a typed list). A count
// whose bytes would run past the end is an invalid read and gives an empty container, before any
// memory is reserved for it.
template <typename Container>
Container ReadRawElements(ByteStreamReader* stream, std::size_t count) {
  using Element = typename Container::value_type;
  static_assert(std::is_trivially_copyable_v<Element>);
  // `count` comes from at most 32 bits, so the product cannot overflow.
  const std::size_t length = count * sizeof(Element);
  if (length > stream->BytesRemaining()) {
    WriteDiagnosticLine(kInvalidReadLine);
    return Container();
  }
  if (count == 0) return Container();
  if (auto* buffer = dynamic_cast<ByteBufferStreamReader*>(stream)) {
    const std::uint8_t* bytes = buffer->ReadSpan(length);
    return Container(RawElementIterator<Element>(bytes),
                     RawElementIterator<Element>(bytes + length));
  }
  Container elements(count, Element{});
  stream->ReadBytes(reinterpret_cast<std::uint8_t*>(elements.data()), length);
  return elements;
}

// A typed list after its size: padding to its elements' alignment, then the elements.
template <typename Element>
std::vector<Element> ReadTypedList(ByteStreamReader* stream, std::size_t count) {
  stream->ReadAlignment(sizeof(Element));
  return ReadRawElements<std::vector<Element>>(stream, count);
}

template <typename Number>
Number ReadNumber(ByteStreamReader* stream) {
  std::uint8_t bytes[sizeof(Number)] = {};
  stream->ReadBytes(bytes, sizeof(Number));
  Number number;
  std::memcpy(&number, bytes, sizeof(Number));
  return number;
}

template <typename Number>
void WriteNumber(Number number, ByteStreamWriter* stream) {
  std::uint8_t bytes[sizeof(Number)];
  std::memcpy(bytes, &number, sizeof(Number));
  stream->WriteBytes(bytes, sizeof(Number));
}

template <typename Element>
void WriteRawElements(const std::vector<Element>& elements, ByteStreamWriter* stream) {
  stream->WriteBytes(reinterpret_cast<const std::uint8_t*>(elements.data()),
                     elements.size() * sizeof(Element));
}

}  // namespace

const StandardCodecSerializer& StandardCodecSerializer::GetInstance() {
  // Never destroyed: channels may still encode while static objects are torn down.
  static const StandardCodecSerializer* const instance = new StandardCodecSerializer();
  return *instance;
}

EncodableValue StandardCodecSerializer::ReadValue(ByteStreamReader* stream) const {
  return ReadValueOfType(stream->ReadByte(), stream);
}

std::size_t StandardCodecSerializer::ReadSize(ByteStreamReader* stream) const {
  const std::uint8_t first = stream->ReadByte();
  if (first < 254) return first;
  if (first == 254) return ReadNumber<std::uint16_t>(stream);
  return ReadNumber<std::uint32_t>(stream);
}

void StandardCodecSerializer::WriteSize(std::size_t size, ByteStreamWriter* stream) const {
  if (size < 254) {
    stream->WriteByte(static_cast<std::uint8_t>(size));
  } else if (size <= 0xffff) {
    stream->WriteByte(254);
    WriteNumber(static_cast<std::uint16_t>(size), stream);
  } else {
    stream->WriteByte(255);
    WriteNumber(static_cast<std::uint32_t>(size), stream);
  }
}

EncodableValue StandardCodecSerializer::ReadValueOfType(std::uint8_t type,
                                                        ByteStreamReader* stream) const {
  switch (type) {
    case kNull:
      return EncodableValue();
    case kTrue:
      return EncodableValue(true);
    case kFalse:
      return EncodableValue(false);
    case kInt32:
      return EncodableValue(ReadNumber<std::int32_t>(stream));
    case kInt64:
      return EncodableValue(ReadNumber<std::int64_t>(stream));
    case kLargeInt:
    case kString:
      return EncodableValue(ReadRawElements<std::string>(stream, ReadSize(stream)));
    case kFloat64:
      stream->ReadAlignment(8);
      return EncodableValue(ReadNumber<double>(stream));
    case kUInt8List:
      return EncodableValue(ReadRawElements<std::vector<std::uint8_t>>(stream, ReadSize(stream)));
    case kInt32List:
      return EncodableValue(ReadTypedList<std::int32_t>(stream, ReadSize(stream)));
    case kFloat32List:
      return EncodableValue(ReadTypedList<float>(stream, ReadSize(stream)));
    case kInt64List:
      return EncodableValue(ReadTypedList<std::int64_t>(stream, ReadSize(stream)));
    case kFloat64List:
      return EncodableValue(ReadTypedList<double>(stream, ReadSize(stream)));
    case kList:
    case kMap:
      if (nesting_depth >= kMaxNestingDepth) {
        WriteDiagnosticLine("Nesting too deep in StandardCodecSerializer::ReadValueOfType");
        return EncodableValue();
      }
      return type == kList ? ReadList(stream) : ReadMap(stream);
    default:
      WriteDiagnosticLine("Unknown type in StandardCodecSerializer::ReadValueOfType: " +
                          std::to_string(type));
      return EncodableValue();
  }
}

// Every element takes at least one byte, so a count larger than what remains is refused outright,
// and a list whose elements run out stops where the message ends instead of being padded.
EncodableValue StandardCodecSerializer::ReadList(ByteStreamReader* stream) const {
  const NestingScope nesting;
  const std::size_t count = ReadSize(stream);
  EncodableList list;
  if (count > stream->BytesRemaining()) {
    WriteDiagnosticLine(kInvalidReadLine);
    return EncodableValue(std::move(list));
  }
  list.reserve(count < kMaxReservedElements ? count : kMaxReservedElements);
  for (std::size_t i = 0; i < count; ++i) {
    if (stream->BytesRemaining() == 0) {
      WriteDiagnosticLine(kInvalidReadLine);
      break;
    }
    list.push_back(ReadValue(stream));
  }
  return EncodableValue(std::move(list));
}

EncodableValue StandardCodecSerializer::ReadMap(ByteStreamReader* stream) const {
  const NestingScope nesting;
  const std::size_t count = ReadSize(stream);
  EncodableMap map;
  if (count > stream->BytesRemaining()) {
    WriteDiagnosticLine(kInvalidReadLine);
    return EncodableValue(std::move(map));
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (stream->BytesRemaining() == 0) {
      WriteDiagnosticLine(kInvalidReadLine);
      break;
    }
    EncodableValue key = ReadValue(stream);
    EncodableValue value = ReadValue(stream);
    // A repeated key keeps its first value.
    map.emplace(std::move(key), std::move(value));
  }
  return EncodableValue(std::move(map));
}

void StandardCodecSerializer::WriteValue(const EncodableValue& value,
                                         ByteStreamWriter* stream) const {
  std::visit(
      [this, stream](const auto& content) {
        using Alternative = std::decay_t<decltype(content)>;
        if constexpr (std::is_same_v<Alternative, std::monostate>) {
          stream->WriteByte(kNull);
        } else if constexpr (std::is_same_v<Alternative, bool>) {
          stream->WriteByte(content ? kTrue : kFalse);
        } else if constexpr (std::is_same_v<Alternative, std::int32_t>) {
          stream->WriteByte(kInt32);
          WriteNumber(content, stream);
        } else if constexpr (std::is_same_v<Alternative, std::int64_t>) {
          stream->WriteByte(kInt64);
          WriteNumber(content, stream);
        } else if constexpr (std::is_same_v<Alternative, double>) {
          stream->WriteByte(kFloat64);
          stream->WriteAlignment(8);
          WriteNumber(content, stream);
        } else if constexpr (std::is_same_v<Alternative, std::string>) {
          stream->WriteByte(kString);
          WriteSize(content.size(), stream);
          stream->WriteBytes(reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
        } else if constexpr (std::is_same_v<Alternative, std::vector<std::uint8_t>>) {
          stream->WriteByte(kUInt8List);
          WriteSize(content.size(), stream);
          WriteRawElements(content, stream);
        } else if constexpr (std::is_same_v<Alternative, EncodableList>) {
          stream->WriteByte(kList);
          WriteSize(content.size(), stream);
          for (const EncodableValue& element : content) WriteValue(element, stream);
        } else if constexpr (std::is_same_v<Alternative, EncodableMap>) {
          stream->WriteByte(kMap);
          WriteSize(content.size(), stream);
          for (const auto& [key, entry] : content) {
            WriteValue(key, stream);
            WriteValue(entry, stream);
          }
        } else if constexpr (std::is_same_v<Alternative, CustomEncodableValue>) {
          stream->WriteByte(kNull);
          WriteDiagnosticLine(
              "Unhandled custom type in StandardCodecSerializer::WriteValue. "
              "Custom types require codec extensions.");
        } else {
          // The typed lists of 4- and 8-byte elements. The padding is written even for an empty
          // list: readers align whatever the count, so leaving it out would make them skip into
          // the next value.
          using Element = typename Alternative::value_type;
          constexpr std::uint8_t tag = std::is_same_v<Element, std::int32_t>   ? kInt32List
                                       : std::is_same_v<Element, std::int64_t> ? kInt64List
                                       : std::is_same_v<Element, double>       ? kFloat64List
                                                                               : kFloat32List;
          stream->WriteByte(tag);
          WriteSize(content.size(), stream);
          stream->WriteAlignment(sizeof(Element));
          WriteRawElements(content, stream);
        }
      },
      static_cast<const EncodableValueVariant&>(value));
}

}  // namespace flutter

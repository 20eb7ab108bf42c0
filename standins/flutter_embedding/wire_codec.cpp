#include <cstring>

#include "standins/flutter_embedding/wire_value.h"

namespace standin {
namespace {

enum Tag : std::uint8_t {
  kNull = 0,
  kTrue = 1,
  kFalse = 2,
  kInt32 = 3,
  kInt64 = 4,
  kDouble = 6,
  kString = 7,
  kList = 12,
  kMap = 13,
};

template <typename Number>
void AppendLittleEndian(Bytes& out, Number number) {
  std::uint8_t raw[sizeof(Number)];
  std::memcpy(raw, &number, sizeof(Number));  // x86-64 is little-endian
  out.insert(out.end(), raw, raw + sizeof(Number));
}

void AppendSize(Bytes& out, std::size_t size) {
  if (size < 254) {
    out.push_back(static_cast<std::uint8_t>(size));
  } else if (size <= 0xFFFF) {
    out.push_back(254);
    AppendLittleEndian(out, static_cast<std::uint16_t>(size));
  } else {
    out.push_back(255);
    AppendLittleEndian(out, static_cast<std::uint32_t>(size));
  }
}

void AppendValue(Bytes& out, const WireValue& value);

struct Appender {
  Bytes& out;
  void operator()(std::monostate) const { out.push_back(kNull); }
  void operator()(bool flag) const { out.push_back(flag ? kTrue : kFalse); }
  void operator()(std::int32_t number) const {
    out.push_back(kInt32);
    AppendLittleEndian(out, number);
  }
  void operator()(std::int64_t number) const {
    out.push_back(kInt64);
    AppendLittleEndian(out, number);
  }
  void operator()(double number) const {
    out.push_back(kDouble);
    while (out.size() % 8 != 0) out.push_back(0);  // aligned from the message's first byte
    AppendLittleEndian(out, number);
  }
  void operator()(const std::string& text) const {
    out.push_back(kString);
    AppendSize(out, text.size());
    out.insert(out.end(), text.begin(), text.end());
  }
  void operator()(const WireList& list) const {
    out.push_back(kList);
    AppendSize(out, list.size());
    for (const WireValue& element : list) AppendValue(out, element);
  }
  void operator()(const WireMap& map) const {
    out.push_back(kMap);
    AppendSize(out, map.size());
    for (const auto& [key, element] : map) {
      AppendValue(out, key);
      AppendValue(out, element);
    }
  }
};

void AppendValue(Bytes& out, const WireValue& value) { std::visit(Appender{out}, value.value); }

// Reads from a buffer; any read past the end marks the whole decode as failed.
class Reader {
 public:
  explicit Reader(const Bytes& bytes) : bytes_(bytes) {}

  bool failed() const { return failed_; }
  bool at_end() const { return position_ == bytes_.size(); }

  std::uint8_t Byte() {
    if (position_ >= bytes_.size()) {
      failed_ = true;
      return 0;
    }
    return bytes_[position_++];
  }

  template <typename Number>
  Number Fixed() {
    Number number{};
    if (bytes_.size() - position_ < sizeof(Number)) {
      failed_ = true;
      return number;
    }
    std::memcpy(&number, bytes_.data() + position_, sizeof(Number));
    position_ += sizeof(Number);
    return number;
  }

  std::size_t Size() {
    const std::uint8_t first = Byte();
    if (first < 254) return first;
    if (first == 254) return Fixed<std::uint16_t>();
    return Fixed<std::uint32_t>();
  }

  void Align(std::size_t alignment) {
    while (position_ % alignment != 0 && !failed_) Byte();
  }

  std::string Text(std::size_t length) {
    if (bytes_.size() - position_ < length) {
      failed_ = true;
      return {};
    }
    std::string text(bytes_.begin() + static_cast<std::ptrdiff_t>(position_),
                     bytes_.begin() + static_cast<std::ptrdiff_t>(position_ + length));
    position_ += length;
    return text;
  }

  // Elements of a list or map take at least one byte each, which bounds what a count may claim.
  bool Plausible(std::size_t count) {
    if (count > bytes_.size() - position_) failed_ = true;
    return !failed_;
  }

  WireValue Value(int depth = 0) {
    if (depth > 64) {  // nesting no channel uses; refuse rather than exhaust the stack
      failed_ = true;
      return {};
    }
    switch (Byte()) {
      case kNull:
        return {};
      case kTrue:
        return {true};
      case kFalse:
        return {false};
      case kInt32:
        return {Fixed<std::int32_t>()};
      case kInt64:
        return {Fixed<std::int64_t>()};
      case kDouble: {
        Align(8);
        return {Fixed<double>()};
      }
      case kString:
        return {Text(Size())};
      case kList: {
        const std::size_t count = Size();
        WireList list;
        if (!Plausible(count)) return {};
        for (std::size_t i = 0; i < count && !failed_; ++i) list.push_back(Value(depth + 1));
        return {std::move(list)};
      }
      case kMap: {
        const std::size_t count = Size();
        WireMap map;
        if (!Plausible(count)) return {};
        for (std::size_t i = 0; i < count && !failed_; ++i) {
          WireValue key = Value(depth + 1);
          WireValue element = Value(depth + 1);
          map.emplace_back(std::move(key), std::move(element));
        }
        return {std::move(map)};
      }
      default:
        failed_ = true;
        return {};
    }
  }

 private:
  const Bytes& bytes_;
  std::size_t position_ = 0;
  bool failed_ = false;
};

}  // namespace

const std::string* WireValue::FindString(const std::string& key) const {
  const auto* map = std::get_if<WireMap>(&value);
  if (map == nullptr) return nullptr;
  for (const auto& [entry_key, entry_value] : *map) {
    const auto* name = std::get_if<std::string>(&entry_key.value);
    if (name != nullptr && *name == key) return std::get_if<std::string>(&entry_value.value);
  }
  return nullptr;
}

Bytes EncodeMethodCall(const std::string& method, const WireValue& arguments) {
  Bytes out;
  AppendValue(out, WireValue{method});
  AppendValue(out, arguments);
  return out;
}

Bytes EncodeSuccess(const WireValue& value) {
  Bytes out{0};
  AppendValue(out, value);
  return out;
}

Bytes EncodeError(const std::string& code, const std::string& message) {
  Bytes out{1};
  AppendValue(out, WireValue{code});
  AppendValue(out, WireValue{message});
  AppendValue(out, WireValue{});
  return out;
}

std::optional<WireCall> DecodeMethodCall(const Bytes& bytes) {
  Reader reader(bytes);
  WireValue name = reader.Value();
  WireValue arguments = reader.Value();
  const auto* method = std::get_if<std::string>(&name.value);
  if (reader.failed() || !reader.at_end() || method == nullptr) return std::nullopt;
  return WireCall{*method, std::move(arguments)};
}

WireReply DecodeReply(const Bytes& bytes) {
  WireReply reply;
  if (bytes.empty()) return reply;  // kNotImplemented
  Reader reader(bytes);
  const std::uint8_t envelope = reader.Byte();
  if (envelope == 0) {
    reply.kind = WireReply::Kind::kSuccess;
    reply.value = reader.Value();
  } else if (envelope == 1) {
    reply.kind = WireReply::Kind::kError;
    const WireValue code = reader.Value();
    const WireValue message = reader.Value();
    reply.value = reader.Value();
    const auto* code_text = std::get_if<std::string>(&code.value);
    const auto* message_text = std::get_if<std::string>(&message.value);
    if (code_text == nullptr ||
        (message_text == nullptr && !std::holds_alternative<std::monostate>(message.value))) {
      reply.kind = WireReply::Kind::kUndecodable;
      return reply;
    }
    reply.code = *code_text;
    if (message_text != nullptr) reply.message = *message_text;
  } else {
    reply.kind = WireReply::Kind::kUndecodable;
    return reply;
  }
  if (reader.failed() || !reader.at_end()) reply.kind = WireReply::Kind::kUndecodable;
  return reply;
}

}  // namespace standin

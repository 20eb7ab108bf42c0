#include "standins/flutter_embedding/rendering.h"

#include <cstdio>

namespace standin {
namespace {

struct ValueText {
  std::string operator()(std::monostate) const { return "null"; }
  std::string operator()(bool flag) const { return flag ? "true" : "false"; }
  std::string operator()(std::int32_t number) const { return std::to_string(number); }
  std::string operator()(std::int64_t number) const { return std::to_string(number); }
  std::string operator()(double number) const {
    char text[32];
    std::snprintf(text, sizeof(text), "%.17g", number);
    return text;
  }
  std::string operator()(const std::string& text) const { return text; }
  std::string operator()(const WireList& list) const {
    std::string text = "[";
    for (const WireValue& element : list) {
      if (text.size() > 1) text += ", ";
      text += RenderValue(element);
    }
    return text + "]";
  }
  std::string operator()(const WireMap& map) const {
    std::string text = "{";
    for (const auto& [key, element] : map) {
      if (text.size() > 1) text += ", ";
      text += RenderValue(key) + ": " + RenderValue(element);
    }
    return text + "}";
  }
};

std::string KindName(const WireValue& value) {
  switch (value.value.index()) {
    case 0:
      return "null";
    case 1:
      return "bool";
    case 2:
    case 3:
      return "int";
    case 4:
      return "double";
    case 5:
      return "string";
    case 6:
      return "list";
    default:
      return "map";
  }
}

}  // namespace

std::string RenderValue(const WireValue& value) { return std::visit(ValueText{}, value.value); }

std::string RenderReply(const WireReply& reply) {
  switch (reply.kind) {
    case WireReply::Kind::kSuccess:
      if (std::holds_alternative<std::monostate>(reply.value.value)) return "success null";
      return "success " + KindName(reply.value) + " " + RenderValue(reply.value);
    case WireReply::Kind::kError:
      return "error " + reply.code + "\n" + reply.message;
    case WireReply::Kind::kNotImplemented:
      return "notimplemented";
    case WireReply::Kind::kUndecodable:
      break;
  }
  return "undecodable";
}

std::string RenderReplyLine(const WireReply& reply) {
  if (reply.kind == WireReply::Kind::kError) {
    return OneLine("error " + reply.code + " " + reply.message);
  }
  return OneLine(RenderReply(reply));
}

std::string OneLine(const std::string& text) {
  std::string line;
  line.reserve(text.size());
  for (const char c : text) {
    if (c == '\n') {
      line += "\\n";
    } else if (c == '\r') {
      line += "\\r";
    } else {
      line += c;
    }
  }
  return line;
}

}  // namespace standin

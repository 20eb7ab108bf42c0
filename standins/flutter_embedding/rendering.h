// Text forms of values and answers for the control pipe's responses and events.
#pragma once

#include <string>

#include "standins/flutter_embedding/wire_value.h"

namespace standin {

// null, true/false, numbers in decimal, strings bare, [a, b] and {key: value, ...}.
std::string RenderValue(const WireValue& value);

// "success null" | "success int N" | "success string TEXT" | "success bool true|false" |
// "success double X" | "success list [..]" | "success map {..}" | "error CODE\nMESSAGE" |
// "notimplemented" | "undecodable".
std::string RenderReply(const WireReply& reply);

// The answer on one line, for an event: an error's code and message are separated by a blank and
// other line breaks are escaped as below.
std::string RenderReplyLine(const WireReply& reply);

// `text` on one line: line feeds and carriage returns become the two characters "\n" and "\r".
std::string OneLine(const std::string& text);

}  // namespace standin

// The one diagnostic channel of the glue: misuse it ignores (a duplicate answer, an undecodable
// message) is written to the standard error stream as one line, and the glue carries on.
#pragma once

#include <string_view>

namespace flutter {

// Writes `line` and a newline to the standard error stream and flushes it.
void WriteDiagnosticLine(std::string_view line);

inline constexpr std::string_view kInvalidReadLine =
    "Invalid read in StandardCodecByteStreamReader";

}  // namespace flutter

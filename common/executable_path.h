// Where the running program's file lies.
#pragma once

#include <string>

namespace common {

// The full path of the running program's file, however long; empty when it cannot be had.
[[nodiscard]] std::wstring ExecutablePath();

// The folder that holds it, without a trailing backslash; empty when it cannot be had.
[[nodiscard]] std::wstring ExecutableFolder();

}  // namespace common

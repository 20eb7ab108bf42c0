// Reading a whole file through the Windows API (MinGW's streams take narrow names only).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace common {

// The file's bytes; nothing when it cannot be opened or read to its end (a part might end in the
// middle of a record), with `error` set when it is given. Others may read, write or delete the
// file meanwhile.
[[nodiscard]] std::optional<std::string> ReadWholeFile(const std::wstring& path,
                                                       DWORD* error = nullptr);

// Writes all of `bytes` to the synchronous file or pipe `file`, a piece of at most a mebibyte at a
// time; false when a write fails or writes nothing, with GetLastError() telling why.
[[nodiscard]] bool WriteAll(HANDLE file, std::string_view bytes);

}  // namespace common

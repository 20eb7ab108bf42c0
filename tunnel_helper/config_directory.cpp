#include "tunnel_helper/config_directory.h"

#include <windows.h>

#include <sddl.h>

#include "common/windows_error.h"
#include "tunnel_helper/system_category_message.h"
#include "tunnel_helper/tunnel_names.h"

namespace {

// The folder that holds kProductDataDirectory: a system folder, created plainly if missing.
constexpr wchar_t kProgramDataDirectory[] = L"C:\\ProgramData";

bool Fail(DWORD code, std::string& errorText) {
  errorText = kConfigDirectoryFailurePrefix + SystemCategoryMessage(code);
  return false;
}

enum class Links { kAllowed, kRefused };

// Creates `path` with `security` unless it exists, then makes sure that a directory stands there
// and, where links are refused, not a link (one may have been planted before or just after the
// creation).
bool EnsureDirectory(const wchar_t* path, SECURITY_ATTRIBUTES* security, Links links,
                     std::string& errorText) {
  if (!CreateDirectoryW(path, security)) {
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS) {
      return Fail(error, errorText);
    }
  }
  const DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return Fail(GetLastError(), errorText);
  }
  if (links == Links::kRefused && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    errorText = LinkRefusalMessage(path);
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    // A file of that name is in the way.
    return Fail(ERROR_ALREADY_EXISTS, errorText);
  }
  return true;
}

}  // namespace

UniqueLocalMemory BuildConfigDirectorySecurity() {
  UniqueLocalMemory descriptor;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
          kConfigDirectorySddl, SDDL_REVISION_1,
          reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.receive()), nullptr)) {
    return UniqueLocalMemory();
  }
  return descriptor;
}

bool PrepareWireGuardConfigDirectory(std::string& errorText) {
  if (!EnsureDirectory(kProgramDataDirectory, nullptr, Links::kAllowed, errorText)) {
    return false;
  }
  const UniqueLocalMemory descriptor = BuildConfigDirectorySecurity();
  if (!descriptor) {
    return Fail(GetLastError(), errorText);
  }
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof(security);
  security.lpSecurityDescriptor = descriptor.get();
  security.bInheritHandle = FALSE;
  return EnsureDirectory(kProductDataDirectory, &security, Links::kRefused, errorText) &&
         EnsureDirectory(kWireGuardConfigDirectory, &security, Links::kRefused, errorText);
}

bool IsLink(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

std::string LinkRefusalMessage(const wchar_t* path) {
  return kConfigDirectoryFailurePrefix + WideToUtf8(path) +
         " is a junction or symbolic link, which is not followed.";
}

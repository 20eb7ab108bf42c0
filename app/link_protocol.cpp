#include "app/link_protocol.h"

#include <windows.h>

#include "common/unique_handle.h"

namespace app {
namespace {

// A null `name` writes the key's default value.
void WriteStringValue(const wchar_t* key_path, const wchar_t* name, const std::wstring& data) {
  common::UniqueRegistryKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key_path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, key.receive(), nullptr) != ERROR_SUCCESS ||
      !key) {
    return;
  }
  RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                 static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

std::wstring ExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  while (true) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);  // cut: the path is longer than the buffer
  }
}

void RegisterLinkProtocol() {
  const std::wstring program = ExecutablePath();
  if (program.empty()) return;
  WriteStringValue(L"Software\\Classes\\daviza", nullptr, L"URL:ZEQ VPN Protocol");
  WriteStringValue(L"Software\\Classes\\daviza", L"URL Protocol", L"");
  WriteStringValue(L"Software\\Classes\\daviza\\shell\\open\\command", nullptr,
                   L"\"" + program + L"\" \"%1\"");
  WriteStringValue(L"Software\\Classes\\daviza\\DefaultIcon", nullptr, program + L",0");
  SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                      reinterpret_cast<LPARAM>(L"Software\\Classes"), SMTO_ABORTIFHUNG, 1000,
                      nullptr);
}

}  // namespace app

#include "app/link_protocol.h"

#include <windows.h>

#include "common/executable_path.h"
#include "common/unique_handle.h"

namespace app {
namespace {

// Sets the REG_SZ value `name` (null: the key's default value) to `data` unless it holds exactly
// that already. True when it wrote.
bool WriteStringValue(const wchar_t* key_path, const wchar_t* name, const std::wstring& data) {
  common::UniqueRegistryKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key_path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, key.receive(),
                      nullptr) != ERROR_SUCCESS ||
      !key) {
    return false;
  }
  const DWORD size = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
  std::wstring current(data.size() + 2, L'\0');
  DWORD type = 0;
  DWORD current_size = static_cast<DWORD>(current.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(current.data()),
                       &current_size) == ERROR_SUCCESS &&
      type == REG_SZ && current_size == size && current.compare(0, data.size(), data) == 0 &&
      current[data.size()] == L'\0') {
    return false;
  }
  return RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        size) == ERROR_SUCCESS;
}

}  // namespace

void RegisterLinkProtocol() {
  const std::wstring program = common::ExecutablePath();
  if (program.empty()) return;
  const std::wstring key = kLinkProtocolKey;
  bool changed = WriteStringValue(key.c_str(), nullptr, L"URL:ZEQ VPN Protocol");
  changed |= WriteStringValue(key.c_str(), L"URL Protocol", L"");
  changed |= WriteStringValue((key + L"\\shell\\open\\command").c_str(), nullptr,
                              L"\"" + program + L"\" \"%1\"");
  changed |= WriteStringValue((key + L"\\DefaultIcon").c_str(), nullptr, program + L",0");
  // The broadcast waits up to a second for each window that is slow to answer, and start-up
  // (a sign-in link's hand-over above all) waits for it: it goes out only when there is a change
  // to announce.
  if (!changed) return;
  SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                      reinterpret_cast<LPARAM>(L"Software\\Classes"), SMTO_ABORTIFHUNG, 1000,
                      nullptr);
}

}  // namespace app

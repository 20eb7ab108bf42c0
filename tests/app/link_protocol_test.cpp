// Run by ctest from copies of itself, from a path with blanks and from one of more than 260
// characters (see links.cmake): registers this program for "daviza:" links and reads the
// registry back with reg.exe.
#include <gtest/gtest.h>

#include <string>

#include "app/link_protocol.h"
#include "common/windows_error.h"
#include "tests/support/child_process.h"

namespace {

TEST(LinkProtocol, PointsTheLinkSchemeAtThisProgramAndLeavesOtherValuesAlone) {
  std::wstring program(32768, L'\0');
  program.resize(GetModuleFileNameW(nullptr, program.data(), 32768));
  const auto set = [](const wchar_t* key, const wchar_t* name, const wchar_t* data) {
    return RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, data,
                           static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t)));
  };
  // What an earlier registration of another copy and someone else left there.
  ASSERT_EQ(set(L"Software\\Classes\\daviza", L"URL Protocol", L"stale"), ERROR_SUCCESS);
  ASSERT_EQ(set(L"Software\\Classes\\daviza\\DefaultIcon", nullptr, L"C:\\old.exe,3"), 0);
  ASSERT_EQ(set(L"Software\\Classes\\daviza", L"Installer", L"kept"), ERROR_SUCCESS);

  app::RegisterLinkProtocol();

  const test_support::ProcessOutcome reg =
      test_support::RunProcess(L"reg.exe query HKCU\\Software\\Classes\\daviza /s");
  ASSERT_TRUE(reg.finished);
  const std::string key = "HKEY_CURRENT_USER\\Software\\Classes\\daviza";
  const std::string path = WideToUtf8(program);
  for (const std::string& expected : std::initializer_list<std::string>{
           "\r\n    (Default)    REG_SZ    URL:ZEQ VPN Protocol\r\n",
           "\r\n    URL Protocol    REG_SZ    \r\n",
           "\r\n    Installer    REG_SZ    kept\r\n",
           key + "\\shell\\open\\command\r\n    (Default)    REG_SZ    \"" + path + "\" \"%1\"\r\n",
           key + "\\DefaultIcon\r\n    (Default)    REG_SZ    " + path + ",0\r\n",
       }) {
    EXPECT_NE(reg.output.find(expected), std::string::npos) << expected << "\nin\n" << reg.output;
  }
}

}  // namespace

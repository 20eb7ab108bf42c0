// Run by ctest from copies of itself, from a path with blanks and from one of more than 260
// characters (see CMakeLists.txt): registers this program for "daviza:" links and reads the
// registry back with reg.exe.
#include "app/link_protocol.h"

#include <gtest/gtest.h>

#include "common/windows_error.h"
#include "tests/support/process.h"

namespace {

TEST(LinkProtocol, PointsTheLinkSchemeAtThisProgramAndLeavesOtherValuesAlone) {
  std::wstring program(32768, L'\0');
  program.resize(GetModuleFileNameW(nullptr, program.data(), 32768));
  // Left by another copy's registration, and by someone else.
  for (const auto& [name, data] : {std::pair{L"URL Protocol", L"stale"}, {L"Installer", L"kept"}}) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Classes\\daviza", name, REG_SZ, data,
                              static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
  app::RegisterLinkProtocol();

  const test_support::ProcessRun reg =
      test_support::RunProcess(L"reg.exe query HKCU\\Software\\Classes\\daviza /s");
  const std::string key = "HKEY_CURRENT_USER\\Software\\Classes\\daviza";
  const std::string path = common::WideToUtf8(program);
  for (const std::string& expected : std::initializer_list<std::string>{
           key + "\r\n    (Default)    REG_SZ    URL:ZEQ VPN Protocol\r\n",
           "\r\n    URL Protocol    REG_SZ    \r\n", "\r\n    Installer    REG_SZ    kept\r\n",
           key + "\\shell\\open\\command\r\n    (Default)    REG_SZ    \"" + path + "\" \"%1\"\r\n",
           key + "\\DefaultIcon\r\n    (Default)    REG_SZ    " + path + ",0\r\n"}) {
    EXPECT_NE(reg.output.find(expected), std::string::npos) << expected << "\nin\n" << reg.output;
  }
}

}  // namespace

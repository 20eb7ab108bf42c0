// Run by ctest from copies of itself (see links.cmake), whose path ZEQ_LINK_TEST_PROGRAM gives:
// registers this program for "daviza:" links and reads the registry back with reg.exe.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "app/link_protocol.h"
#include "common/windows_error.h"
#include "tests/support/child_process.h"

namespace {

constexpr char kKey[] = "HKEY_CURRENT_USER\\Software\\Classes\\daviza";

// "key|value name" to data, for every string value under the key and its subkeys.
std::map<std::string, std::string> QueryWithReg() {
  const test_support::ProcessOutcome reg =
      test_support::RunProcess(L"reg.exe query HKCU\\Software\\Classes\\daviza /s");
  EXPECT_TRUE(reg.finished);
  std::map<std::string, std::string> values;
  std::istringstream lines(reg.output);
  std::string line;
  std::string key;
  constexpr std::string_view kType = "    REG_SZ    ";
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t type = line.find(kType);
    if (line.starts_with("HKEY_")) {
      key = line;
    } else if (line.starts_with("    ") && type != std::string::npos) {
      values[key + "|" + line.substr(4, type - 4)] = line.substr(type + kType.size());
    }
  }
  return values;
}

TEST(LinkProtocol, PointsTheLinkSchemeAtThisProgramAndLeavesOtherValuesAlone) {
  wchar_t expected[2048] = {};
  ASSERT_NE(GetEnvironmentVariableW(L"ZEQ_LINK_TEST_PROGRAM", expected, 2048), 0u);
  const std::string program = WideToUtf8(expected);
  const auto set = [](const wchar_t* key, const wchar_t* name, const wchar_t* data) {
    return RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, data,
                           static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t)));
  };
  // An earlier registration of another copy, and values someone else added.
  ASSERT_EQ(set(L"Software\\Classes\\daviza", L"URL Protocol", L"stale"), ERROR_SUCCESS);
  ASSERT_EQ(set(L"Software\\Classes\\daviza\\DefaultIcon", nullptr, L"C:\\old.exe,3"), 0);
  ASSERT_EQ(set(L"Software\\Classes\\daviza", L"Installer", L"kept"), ERROR_SUCCESS);
  ASSERT_EQ(set(L"Software\\Classes\\daviza\\shell\\edit\\command", nullptr, L"kept too"), 0);

  app::RegisterLinkProtocol();

  const std::string key = kKey;
  const std::map<std::string, std::string> registered = {
      {key + "|(Default)", "URL:ZEQ VPN Protocol"},
      {key + "|URL Protocol", ""},
      {key + "|Installer", "kept"},
      {key + "\\shell\\open\\command|(Default)", "\"" + program + "\" \"%1\""},
      {key + "\\shell\\edit\\command|(Default)", "kept too"},
      {key + "\\DefaultIcon|(Default)", program + ",0"},
  };
  EXPECT_EQ(QueryWithReg(), registered);
}

}  // namespace

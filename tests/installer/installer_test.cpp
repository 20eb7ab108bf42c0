// ZEQ-VPN-Setup.exe and its uninstaller, run silently as a managed install runs them, against the
// prefix's real service control manager, registry and files.
#include <windows.h>

#include <msi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tunnel_helper_client.h"
#include "common/file_bytes.h"
#include "common/helper_names.h"
#include "common/product_version.h"
#include "common/windows_error.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/tunnel_machine.h"
#include "tests/support/windows_service.h"

namespace {

using common::kHelperServiceName;
using test_support::PathExists;
using test_support::PollUntil;
using test_support::RegistryText;

constexpr wchar_t kInstallFolder[] = L"C:\\Program Files\\ZEQ VPN";
constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZEQ VPN";
constexpr wchar_t kShortcut[] =
    L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\ZEQ VPN.lnk";
constexpr wchar_t kLinkProtocolKey[] = L"Software\\Classes\\daviza";
// Links a user planted, at a name the product does not use and in place of one of its folders.
constexpr const wchar_t* kPlantedLinks[] = {L"C:\\ProgramData\\ZEQ VPN\\logs",
                                            L"C:\\Program Files\\ZEQ VPN\\data\\flutter_assets"};
constexpr wchar_t kUsersFolder[] = L"C:\\Users\\Public\\Planted";
constexpr const wchar_t* kInstalledFiles[] = {
    L"zeq_vpn.exe",       L"flutter_windows.dll", L"url_launcher_windows_plugin.dll",
    L"tunnel_helper.exe", L"uninstall.exe",       L"data\\flutter_assets\\tunnel.conf",
    L"data\\icudtl.dat",  L"data\\app.so"};

std::wstring Installed(const wchar_t* file) {
  return kInstallFolder + (L"\\" + std::wstring(file));
}

// The user's folder that `link` points to, with a file of a name the product uses.
std::wstring LinkTarget(const std::wstring& link) {
  return kUsersFolder + link.substr(link.find_last_of(L'\\'));
}

::testing::AssertionResult RunSilently(const std::wstring& command_line,
                                       const wchar_t* last = L"") {
  const test_support::ProcessRun run =
      test_support::RunProcess(command_line + L" /S" + last, 120000);
  if (run.exit_code == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << common::WideToUtf8(command_line) << ": exit code " << run.exit_code;
}

::testing::AssertionResult RunSetup(const wchar_t* last = L"") {
  return RunSilently(test_support::BuiltProgram(L"ZEQ-VPN-Setup.exe"), last);
}

// The installed products named "ZEQ VPN" (every version of ZEQ-VPN.msi), each with its version.
// Not by the upgrade code: Wine loses its registration when an upgrade removes the older product.
std::vector<std::pair<std::wstring, std::wstring>> InstalledPackages() {
  std::vector<std::pair<std::wstring, std::wstring>> products;
  wchar_t product[39] = {};
  for (DWORD i = 0; MsiEnumProductsW(i, product) == ERROR_SUCCESS; ++i) {
    wchar_t name[64] = {};
    wchar_t version[32] = {};
    DWORD name_size = 64;
    DWORD version_size = 32;
    MsiGetProductInfoW(product, INSTALLPROPERTY_INSTALLEDPRODUCTNAME, name, &name_size);
    MsiGetProductInfoW(product, INSTALLPROPERTY_VERSIONSTRING, version, &version_size);
    if (std::wstring_view(name) == L"ZEQ VPN") products.emplace_back(product, version);
  }
  return products;
}

// msiexec with `action` on `package` (a built package, or a product code), without a user
// interface.
::testing::AssertionResult RunPackage(const std::wstring& action, const std::wstring& package) {
  const std::wstring command = L"msiexec.exe " + action + L" " + package + L" /qn";
  const test_support::ProcessRun run = test_support::RunProcess(command, 120000);
  if (run.exit_code == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << common::WideToUtf8(command) << ": exit code " << run.exit_code;
}

// The installed app as its user starts it, once its window is up.
common::UniqueHandle StartInstalledApp() {
  common::UniqueHandle app = test_support::StartProcess(L"\"" + Installed(L"zeq_vpn.exe") + L"\"");
  EXPECT_TRUE(app && PollUntil([] { return FindWindowW(nullptr, L"ZEQ VPN for Windows"); }, 30000));
  return app;
}

// Whether `app` has ended by now as it does when its user closes it.
::testing::AssertionResult EndedAsClosed(HANDLE app) {
  DWORD exit_code = STILL_ACTIVE;
  if (WaitForSingleObject(app, 0) == WAIT_OBJECT_0 && GetExitCodeProcess(app, &exit_code) &&
      exit_code == 0) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "the app runs on, or ended with " << exit_code;
}

// What an install leaves on the machine, as text, to compare one install with another.
std::string MachineState() {
  std::string state = PathExists(kShortcut) ? "shortcut\n" : "";
  for (const wchar_t* file : kInstalledFiles) {
    const auto bytes = common::ReadWholeFile(Installed(file));
    state += common::WideToUtf8(file) + " " + (bytes ? std::to_string(bytes->size()) : "-") + "\n";
  }
  for (const wchar_t* name :
       {L"DisplayName", L"DisplayVersion", L"Publisher", L"UninstallString"}) {
    state +=
        common::WideToUtf8(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, name).value_or(L"-")) +
        "\n";
  }
  const auto service = test_support::QueryServiceConfiguration(common::kHelperServiceName);
  if (!service) return state + "no service";
  return state + std::to_string(service->type) + " " + std::to_string(service->start_type) + " " +
         common::WideToUtf8(service->binary_path + L"|" + service->account + L"|" +
                            service->display_name + L"|" + service->description);
}

// Each test starts on a machine without ZEQ VPN and leaves one, also when it fails.
class InstallerTest : public test_support::CleanMachineTest {
 protected:
  void SetUp() override {
    RemoveProduct();
    test_support::CleanMachineTest::SetUp();
  }
  void TearDown() override {
    RemoveProduct();
    test_support::CleanMachineTest::TearDown();
  }

 private:
  static void RemoveProduct() {
    // An uninstaller still at work (it goes on in a copy of itself) would undo the next install.
    EXPECT_TRUE(PollUntil([] { return !test_support::IsProcessRunning(L"Un.exe"); }, 60000));
    for (const auto& [product, version] : InstalledPackages()) {
      EXPECT_TRUE(RunPackage(L"/x", product));
    }
    EXPECT_TRUE(test_support::RemoveService(common::kHelperServiceName));
    // Under Wine a link whose target is gone can be neither seen nor removed.
    for (const wchar_t* link : kPlantedLinks) test_support::CreateFolders(LinkTarget(link));
    test_support::RemoveTree(kInstallFolder);
    test_support::RemoveTree(kShortcut);
    test_support::RemoveTree(L"C:\\ZEQ");
    test_support::RemoveTree(test_support::kProductDataDirectory);
    test_support::RemoveTree(kUsersFolder);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, kLinkProtocolKey);
  }
};

TEST_F(InstallerTest, InstallsTheProgramsTheServiceAndWireGuardInProgramFilesOnly) {
  ASSERT_TRUE(RunSetup(L" /D=C:\\ZEQ"));
  EXPECT_FALSE(PathExists(L"C:\\ZEQ"));
  // Before any user could make it; the service has not written to it yet.
  EXPECT_TRUE(PathExists(test_support::kConfigDirectory));

  for (const wchar_t* file : kInstalledFiles) {
    EXPECT_TRUE(PathExists(Installed(file))) << common::WideToUtf8(file);
  }
  EXPECT_TRUE(PathExists(test_support::kWireGuardExe));
  EXPECT_TRUE(PathExists(kShortcut));
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion"),
            L"" ZEQ_VERSION_TEXT);
  // Quoted: Windows would try "C:\Program.exe" first for the path with blanks.
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString"),
            L"\"C:\\Program Files\\ZEQ VPN\\uninstall.exe\"");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"QuietUninstallString"),
            L"\"C:\\Program Files\\ZEQ VPN\\uninstall.exe\" /S");

  const std::optional<test_support::ServiceConfig> config =
      test_support::QueryServiceConfiguration(common::kHelperServiceName);
  ASSERT_TRUE(config);
  EXPECT_EQ(config->type, DWORD{SERVICE_WIN32_OWN_PROCESS});
  EXPECT_EQ(config->start_type, DWORD{SERVICE_AUTO_START});
  EXPECT_EQ(config->account, L"LocalSystem");
  EXPECT_EQ(config->binary_path, L"\"C:\\Program Files\\ZEQ VPN\\tunnel_helper.exe\"");
  EXPECT_EQ(config->display_name, L"ZEQ VPN Tunnel Helper");
  EXPECT_NE(config->description, L"");

  // Running: it answers.
  const common::ReceivedHelperResponse status =
      app::SendHelperRequest({.command = "status", .config = {}});
  EXPECT_EQ(std::pair(status.ok, status.statusRaw), std::pair(true, std::optional(0)))
      << status.message;
}

TEST_F(InstallerTest, SetupOverAnInstallClosesTheAppRestartsTheServiceAndKeepsTheTunnel) {
  // A WireGuard of the machine's own, told apart from the bundled one by bytes at its end.
  ASSERT_TRUE(test_support::PlaceWireGuardStandIn(test_support::kWireGuardExe));
  const std::string own_wireguard =
      common::ReadWholeFile(test_support::kWireGuardExe).value_or("") + "machine's own";
  ASSERT_TRUE(test_support::WriteFileBytes(test_support::kWireGuardExe, own_wireguard));
  ASSERT_TRUE(RunSetup());
  const std::string once = MachineState();
  const common::ReceivedHelperResponse started =
      app::SendHelperRequest({.command = "start", .config = test_support::TunnelConfig()});
  ASSERT_TRUE(started.ok) << started.message;
  const DWORD first_process = test_support::QueryService(common::kHelperServiceName).dwProcessId;
  const common::UniqueHandle app = StartInstalledApp();

  ASSERT_TRUE(RunSetup());

  EXPECT_TRUE(EndedAsClosed(app.get()));
  EXPECT_EQ(MachineState(), once);
  EXPECT_NE(test_support::QueryService(common::kHelperServiceName).dwProcessId, first_process);
  EXPECT_EQ(common::ReadWholeFile(test_support::kConfigPath), test_support::TunnelConfig());
  EXPECT_EQ(app::SendHelperRequest({.command = "status", .config = {}}).statusRaw, 3);
  EXPECT_EQ(common::ReadWholeFile(test_support::kWireGuardExe), own_wireguard);
}

// The uninstaller stops the tunnel through the service, or with WireGuard when the service cannot
// answer; the second time it also finds the links a user planted. Where the service answers,
// WireGuard is in "Program Files (x86)", where the uninstaller's own fallback does not look: only
// the service's stop can end the tunnel.
class UninstallTest : public InstallerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(UninstallTest, RemovesEverythingButWireGuard) {
  ASSERT_TRUE(RunSetup());
  const bool service_answers = GetParam();
  const wchar_t* wireguard =
      service_answers ? test_support::kWireGuardExeX86 : test_support::kWireGuardExe;
  if (service_answers) {
    test_support::CreateFolders(test_support::ParentOf(wireguard));
    ASSERT_TRUE(MoveFileW(test_support::kWireGuardExe, wireguard));
  }
  ASSERT_TRUE(
      app::SendHelperRequest({.command = "start", .config = test_support::TunnelConfig()}).ok);
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kLinkProtocolKey, L"URL Protocol", REG_SZ, L"", 2),
            ERROR_SUCCESS);
  if (!service_answers) {
    ASSERT_TRUE(test_support::StopServiceAndWait(common::kHelperServiceName));
    for (const wchar_t* link : kPlantedLinks) {
      test_support::RemoveTree(link);
      test_support::CreateFolders(LinkTarget(link));
      ASSERT_TRUE(test_support::WriteFileBytes(LinkTarget(link) + L"\\tunnel.conf", "the user's"));
      ASSERT_TRUE(test_support::PlantDirectoryLink(link, LinkTarget(link)));
    }
  }
  const auto uninstall = RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString");
  ASSERT_TRUE(uninstall);
  const common::UniqueHandle app = StartInstalledApp();

  ASSERT_TRUE(RunSilently(*uninstall));
  // It goes on in a copy of itself ("Un.exe" in the temporary folder), whose last step removes
  // the Apps & features entry.
  EXPECT_TRUE(PollUntil(
      [] { return !RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName"); }, 60000));

  EXPECT_TRUE(EndedAsClosed(app.get()));
  EXPECT_EQ(test_support::QueryService(common::kHelperServiceName).dwCurrentState, 0u);
  EXPECT_TRUE(PollUntil([] { return test_support::TunnelServiceState() == 0; }, 5000));
  // Only the links may stay, and what they point to does.
  EXPECT_FALSE(PathExists(service_answers ? kInstallFolder : Installed(L"zeq_vpn.exe")));
  EXPECT_FALSE(PathExists(service_answers ? test_support::kProductDataDirectory
                                          : test_support::kConfigDirectory));
  if (!service_answers) {
    for (const wchar_t* link : kPlantedLinks) {
      EXPECT_EQ(common::ReadWholeFile(LinkTarget(link) + L"\\tunnel.conf"), "the user's");
    }
  }
  EXPECT_FALSE(PathExists(kShortcut));
  EXPECT_FALSE(RegistryText(HKEY_CURRENT_USER, kLinkProtocolKey, L"URL Protocol"));
  EXPECT_FALSE(test_support::IsProcessRunning(L"tunnel_helper.exe"));
  EXPECT_FALSE(test_support::IsProcessRunning(L"wireguard.exe"));
  EXPECT_TRUE(PathExists(wireguard));
}

INSTANTIATE_TEST_SUITE_P(ServiceAnswers, UninstallTest, ::testing::Values(true, false));

// The package as administrators deploy it, after WireGuard's own: an older version, the upgrade to
// this one over the running tunnel and app, and the uninstall.
TEST_F(InstallerTest, PackageUpgradesInPlaceAndUninstallsAllItsOwn) {
  ASSERT_TRUE(test_support::PlaceWireGuardStandIn(test_support::kWireGuardExe));
  const std::optional<std::string> wireguard = common::ReadWholeFile(test_support::kWireGuardExe);
  ASSERT_TRUE(RunPackage(L"/i", test_support::BuiltProgram(L"ZEQ-VPN-previous.msi")));
  EXPECT_TRUE(PathExists(test_support::kConfigDirectory));
  ASSERT_TRUE(
      app::SendHelperRequest({.command = "start", .config = test_support::TunnelConfig()}).ok);
  const common::UniqueHandle app = StartInstalledApp();

  ASSERT_TRUE(RunPackage(L"/i", test_support::BuiltProgram(L"ZEQ-VPN.msi")));

  ASSERT_EQ(InstalledPackages().size(), 1u);
  EXPECT_EQ(InstalledPackages()[0].second, L"" ZEQ_VERSION_TEXT);
  EXPECT_TRUE(EndedAsClosed(app.get()));
  const std::optional<test_support::ServiceConfig> config =
      test_support::QueryServiceConfiguration(common::kHelperServiceName);
  ASSERT_TRUE(config);
  EXPECT_EQ(
      std::tuple(config->type, config->start_type, config->account, config->binary_path),
      std::tuple(DWORD{SERVICE_WIN32_OWN_PROCESS}, DWORD{SERVICE_AUTO_START},
                 std::wstring(L"LocalSystem"), L"\"" + Installed(L"tunnel_helper.exe") + L"\""));
  EXPECT_NE(config->description, L"");
  EXPECT_EQ(common::ReadWholeFile(test_support::kConfigPath), test_support::TunnelConfig());
  EXPECT_EQ(app::SendHelperRequest({.command = "status", .config = {}}).statusRaw, 3);

  const common::UniqueHandle upgraded_app = StartInstalledApp();
  // A link a user planted in place of the config folder, which the service holds only while it
  // writes there: the uninstall must not delete through it.
  const std::wstring users_folder = LinkTarget(test_support::kConfigDirectory);
  test_support::RemoveTree(test_support::kConfigDirectory);
  test_support::CreateFolders(users_folder);
  ASSERT_TRUE(test_support::WriteFileBytes(users_folder + L"\\daviza.conf", "the user's"));
  ASSERT_TRUE(test_support::PlantDirectoryLink(test_support::kConfigDirectory, users_folder));
  ASSERT_TRUE(RunPackage(L"/x", test_support::BuiltProgram(L"ZEQ-VPN.msi")));

  EXPECT_TRUE(EndedAsClosed(upgraded_app.get()));
  EXPECT_TRUE(InstalledPackages().empty());
  EXPECT_EQ(test_support::QueryService(common::kHelperServiceName).dwCurrentState, 0u);
  EXPECT_TRUE(PollUntil([] { return test_support::TunnelServiceState() == 0; }, 5000));
  EXPECT_FALSE(PathExists(kInstallFolder));
  EXPECT_FALSE(PathExists(test_support::kProductDataDirectory + std::wstring(L"\\logs")));
  EXPECT_EQ(common::ReadWholeFile(users_folder + L"\\daviza.conf"), "the user's");
  EXPECT_FALSE(RegistryText(HKEY_CURRENT_USER, kLinkProtocolKey, L"URL Protocol"));
  EXPECT_EQ(common::ReadWholeFile(test_support::kWireGuardExe), wireguard);
}

}  // namespace

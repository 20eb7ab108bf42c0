#include "tunnel_helper/tunnel_config_store.h"

#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "common/file_bytes.h"
#include "common/unique_handle.h"
#include "common/windows_error.h"
#include "tests/support/dacl.h"
#include "tests/support/files.h"
#include "tests/support/tunnel_machine.h"
#include "tunnel_helper/store_security.h"

namespace tunnel_helper {
namespace {

using common::ReadWholeFile;
using test_support::kConfigDirectory;
using test_support::kConfigPath;
using test_support::kConfigTempPath;
using test_support::kProductDataDirectory;
using test_support::PathExists;

constexpr char kDirectoryFailure[] = "Failed to prepare the WireGuard config directory: ";

class TunnelConfigStoreTest : public test_support::CleanMachineTest {
 protected:
  void SetUp() override {
    CleanMachineTest::SetUp();
    std::string error;
    std::optional<ConfigStorePaths> paths = ResolveConfigStorePaths(error);
    ASSERT_TRUE(paths.has_value()) << error;
    paths_ = std::move(*paths);
  }
  bool Write(std::string_view config, std::string& error) {
    return WriteWireGuardConfig(paths_, config, error).has_value();
  }
  // An earlier config in place, as a previous "start" left it.
  void StoreEarlierConfig() {
    std::string error;
    ASSERT_TRUE(Write(kEarlier, error)) << error;
  }
  const std::string kEarlier = test_support::TunnelConfig("# the earlier config\r\n");
  ConfigStorePaths paths_;
};

// On a clean machine the folders are created under the machine's ProgramData folder, then the
// file, byte for byte; a later config replaces it, and a temporary file left by a crash too.
TEST_F(TunnelConfigStoreTest, StoresBytesUnchangedAndReplacesEarlierFiles) {
  const std::string cases[] = {
      // CR LF and LF stay as they are, and so do NUL, high bytes and a BOM inside.
      std::string("[Interface]\r\nPrivateKey = a\nnul\0byte \xff\xfe \xef\xbb\xbf", 43),
      "x",
  };
  for (const std::string& config : cases) {
    if (PathExists(kConfigDirectory)) {  // A temporary file left by a crash.
      ASSERT_TRUE(test_support::WriteFileBytes(kConfigTempPath, std::string(100000, 'L')));
    }
    std::string error;
    const std::optional<HeldConfigFolders> held = WriteWireGuardConfig(paths_, config, error);
    ASSERT_TRUE(held) << error;
    EXPECT_EQ(error, "");
    EXPECT_EQ(ReadWholeFile(kConfigPath), config);
    EXPECT_FALSE(PathExists(kConfigTempPath));
    // While the folders are held, no one can move them with the config inside.
    for (const wchar_t* folder : {kConfigDirectory, kProductDataDirectory}) {
      EXPECT_FALSE(MoveFileW(folder, L"C:\\ProgramData\\elsewhere"));
    }
  }
}

// Here the config file is held open by a reader that does not share its deletion.
TEST_F(TunnelConfigStoreTest, FailuresKeepTheEarlierConfigAndLeaveNoTemporaryFile) {
  const std::string prefix = "Failed to replace the WireGuard config file: ";
  StoreEarlierConfig();
  const common::UniqueFileHandle holder(CreateFileW(kConfigPath, GENERIC_READ,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder.valid());
  std::string error;
  EXPECT_FALSE(Write("new config", error));
  ASSERT_EQ(error.rfind(prefix, 0), 0u) << error;
  EXPECT_GT(error.size(), prefix.size());
  EXPECT_FALSE(PathExists(kConfigTempPath));
  EXPECT_EQ(ReadWholeFile(kConfigPath), kEarlier);
}

// What someone else put in the store's place is never adopted, changed or written through: a
// file or a folder that is not ours is moved aside whole and the config lands in a fresh folder;
// a config file that shares its data with another file (a hard link) is replaced as a name.
TEST_F(TunnelConfigStoreTest, WhatOthersPutThereIsMovedAsideOrReplacedNeverAdopted) {
  const std::wstring marker = L"\\wireguard\\planted.txt";
  const std::wstring outside = L"C:\\users\\Public\\someone-else.txt";
  // What is planted, and how.
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"a file in the folder's place",
       [] { ASSERT_TRUE(test_support::WriteFileBytes(kProductDataDirectory, "a file")); }},
      {"a folder someone else made, readable and held open by them",
       [&] {
         // Wine shows a folder made without a descriptor as readable by everyone.
         test_support::CreateFolders(kConfigDirectory);
         ASSERT_TRUE(test_support::WriteFileBytes(kProductDataDirectory + marker, "theirs"));
       }},
      {"a config file hard-linked to a file elsewhere",
       [&] {
         StoreEarlierConfig();
         ASSERT_TRUE(DeleteFileW(kConfigPath));
         ASSERT_TRUE(test_support::WriteFileBytes(outside, "not the config"));
         ASSERT_TRUE(CreateHardLinkW(kConfigPath, outside.c_str(), nullptr));
       }},
  };
  for (const auto& [what, plant] : cases) {
    SCOPED_TRACE(what);
    test_support::RemoveTree(kProductDataDirectory);
    plant();
    const std::wstring outside_sddl = test_support::DaclOf(outside);
    // Whoever opened the folder before may keep the handle; it must not reach the new config.
    const common::UniqueFileHandle held(
        CreateFileW(kConfigDirectory, READ_CONTROL | WRITE_DAC,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));

    std::string error;
    ASSERT_TRUE(Write(test_support::TunnelConfig(), error)) << error;
    EXPECT_EQ(ReadWholeFile(kConfigPath), test_support::TunnelConfig());
    EXPECT_FALSE(PathExists(kProductDataDirectory + marker));
    EXPECT_EQ(test_support::DaclOf(kConfigPath).find(L";WD)"), std::wstring::npos)
        << "readable by everyone";
    EXPECT_EQ(test_support::DaclOf(outside), outside_sddl);
    EXPECT_EQ(ReadWholeFile(outside).value_or("not the config"), "not the config");
  }
  // The two planted ones went aside whole, with what they held.
  std::vector<std::string> aside;
  for (const std::wstring& path : test_support::Matching(test_support::kMovedAsidePattern)) {
    aside.push_back(ReadWholeFile(path).value_or(ReadWholeFile(path + marker).value_or("?")));
  }
  std::sort(aside.begin(), aside.end());
  EXPECT_EQ(aside, (std::vector<std::string>{"a file", "theirs"}));
  DeleteFileW(outside.c_str());
}

// A link planted where a folder or file of the store belongs is refused before anything is
// written, through it or beside it.
TEST_F(TunnelConfigStoreTest, PlantedLinksAreRefusedAndNothingIsWritten) {
  const std::wstring elsewhere = L"C:\\planted-link-target";
  for (const std::wstring link :
       {kProductDataDirectory, kConfigDirectory, kConfigPath, kConfigTempPath}) {
    SCOPED_TRACE(common::WideToUtf8(link));
    test_support::RemoveTree(kProductDataDirectory);
    test_support::RemoveTree(elsewhere);
    test_support::CreateFolders(elsewhere);
    // Inside folders of ours: one someone else made would be moved aside, link and all.
    if (link != kProductDataDirectory) StoreEarlierConfig();
    if (link == kConfigDirectory || link == kConfigPath) test_support::RemoveTree(link);
    ASSERT_TRUE(test_support::PlantDirectoryLink(link, elsewhere));

    std::string error;
    EXPECT_FALSE(Write(test_support::TunnelConfig(), error));
    EXPECT_EQ(error, kDirectoryFailure + common::WideToUtf8(link) +
                         " is a junction or symbolic link, which is not followed.");
    EXPECT_FALSE(PathExists(elsewhere + L"\\daviza.conf"));
    EXPECT_FALSE(PathExists(elsewhere + L"\\wireguard"));
    if (link == kConfigTempPath) {
      EXPECT_EQ(ReadWholeFile(kConfigPath), kEarlier);
    }
  }
  test_support::RemoveTree(kProductDataDirectory);  // The links first: then what they point to.
  test_support::RemoveTree(elsewhere);
}

// Wine stores no owner or DACL, so whether a folder or file found in the store's place is ours is
// decided on descriptors as Windows would report them.
TEST(IsTrustedStoreDescriptor, OwnedByTheSystemAndChangedByNoOneElse) {
  constexpr StoreObject kFolder = StoreObject::kFolder;
  constexpr StoreObject kFile = StoreObject::kFile;
  // The descriptor, what it is found on, and whether it is trusted.
  const std::tuple<const wchar_t*, StoreObject, bool> cases[] = {
      {kConfigStoreSddl, kFolder, true},
      {kConfigStoreSddl, kFile, true},
      {L"O:SYD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", kFolder, true},
      {L"O:S-1-5-21-1-2-3-1001D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", kFolder, false},
      {L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;FW;;;BU)", kFolder, false},
      {L"O:BAD:PAI(A;OICI;FA;;;SY)(A;;0x4;;;BU)", kFolder, false},   // add subfolders
      {L"O:BAD:PAI(A;OICI;FA;;;SY)(A;;0x40;;;BU)", kFolder, false},  // delete what is inside
      {L"O:BAD:PAI(A;OICI;FA;;;SY)(A;;WD;;;WD)", kFolder, false},    // Everyone: change the DACL
      {L"O:BAD:PAI(A;OICI;FA;;;SY)(A;;WO;;;WD)", kFile, false},      // Everyone: take ownership
      {L"O:BAD:AI(A;OICI;FA;;;SY)(A;OICIID;0x1301bf;;;BU)", kFolder, false},  // inherited modify
      {L"O:BAD:PAI(A;OICI;FA;;;SY)(A;CI;FR;;;BU)", kFolder, true},            // listing the folder
      {L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FR;;;BU)", kFolder, false},         // reading its files
      {L"O:BAD:PAI(A;;FA;;;SY)(A;;FR;;;WD)", kFile, false},
      {L"O:BAD:PAI(A;OICI;FA;;;SY)(D;OICI;FA;;;WD)", kFolder, true},  // a denial takes away
      {L"D:PAI(A;OICI;FA;;;SY)", kFolder, false},                     // no owner
      // The account the service runs as counts as the system; Wine reports every object as
      // owned by it, with the entries its mode bits give.
      {L"O:S-1-5-21-7-7-7-1000D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;S-1-5-21-7-7-7-1000)", kFolder,
       true},
      {L"O:S-1-5-21-7-7-7-1000D:(A;OICI;FA;;;S-1-5-21-7-7-7-1000)(A;OICI;0x1200a9;;;WD)", kFolder,
       false},
  };
  common::UniqueLocalMemory account;
  ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-5-21-7-7-7-1000", account.receive()));
  for (const auto& [sddl, kind, trusted] : cases) {
    common::UniqueLocalMemory descriptor;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        sddl, SDDL_REVISION_1, descriptor.receive(), nullptr));
    EXPECT_EQ(IsTrustedStoreDescriptor(descriptor.get(), kind, account.get()), trusted)
        << common::WideToUtf8(sddl);
  }
  // No DACL at all lets everyone in. (Wine reads "NO_ACCESS_CONTROL" as an empty DACL instead.)
  SECURITY_DESCRIPTOR no_dacl{};
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof(administrators);
  ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size));
  ASSERT_TRUE(InitializeSecurityDescriptor(&no_dacl, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorOwner(&no_dacl, administrators, FALSE));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&no_dacl, TRUE, nullptr, FALSE));
  EXPECT_FALSE(IsTrustedStoreDescriptor(&no_dacl, kFolder, account.get()));
}

}  // namespace
}  // namespace tunnel_helper

#include "tunnel_helper/tunnel_config_store.h"

#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "common/unique_handle.h"
#include "common/windows_error.h"
#include "tests/tunnel_helper/tunnel_test_support.h"
#include "tunnel_helper/store_security.h"
#include "tunnel_helper/system_category_message.h"

namespace tunnel_helper {
namespace {

using tunnel_test::kConfigDirectory;
using tunnel_test::kConfigPath;
using tunnel_test::kConfigTempPath;
using tunnel_test::kProductDataDirectory;
using tunnel_test::PathExists;
using tunnel_test::ReadFileBytes;

constexpr char kDirectoryFailure[] = "Failed to prepare the WireGuard config directory: ";

// The machine's paths, as the service resolves them; the tests compare them with literal ones.
ConfigStorePaths MachinePaths() {
  DWORD error = ERROR_SUCCESS;
  std::optional<ConfigStorePaths> paths = ResolveConfigStorePaths(error);
  EXPECT_TRUE(paths.has_value()) << error;
  return paths.value_or(ConfigStorePaths{});
}

bool WriteWireGuardConfig(std::string_view config, std::string& error) {
  return tunnel_helper::WriteWireGuardConfig(MachinePaths(), config, error);
}

class TunnelConfigStoreTest : public tunnel_test::CleanMachineTest {
 protected:
  // An earlier config in place, as a previous "start" left it.
  void StoreEarlierConfig() {
    std::string error;
    ASSERT_TRUE(WriteWireGuardConfig(kEarlier, error)) << error;
  }
  const std::string kEarlier = tunnel_test::TunnelConfig("# the earlier config\r\n");
};

TEST(ConfigStorePaths, UnderTheMachinesProgramDataFolder) {
  const ConfigStorePaths paths = MachinePaths();
  EXPECT_EQ(paths.product_folder, kProductDataDirectory);
  EXPECT_EQ(paths.config_folder, kConfigDirectory);
  EXPECT_EQ(paths.config_file, kConfigPath);
  EXPECT_EQ(paths.temporary_file, kConfigTempPath);
}

TEST_F(TunnelConfigStoreTest, FirstWriteCreatesTheFoldersAndTheExactFile) {
  const std::string config = tunnel_test::TunnelConfig();
  std::string error;
  ASSERT_TRUE(WriteWireGuardConfig(config, error)) << error;
  EXPECT_EQ(error, "");
  EXPECT_EQ(GetFileAttributesW(kProductDataDirectory) & FILE_ATTRIBUTE_DIRECTORY,
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesW(kConfigDirectory) & FILE_ATTRIBUTE_DIRECTORY,
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(ReadFileBytes(kConfigPath), config);
  EXPECT_FALSE(PathExists(kConfigTempPath));
}

TEST_F(TunnelConfigStoreTest, BytesAreStoredUnchanged) {
  const std::string cases[] = {
      "[Interface]\r\nPrivateKey = a\r\n",                 // CR LF stays CR LF
      "[Interface]\nPrivateKey = a\n",                     // LF stays LF
      "[Interface]\rA = b",                                // a lone CR, no final line break
      std::string("nul\0byte \xff\xfe \xef\xbb\xbf", 18),  // NUL, high bytes, a BOM inside
      "\xef\xbb\xbf[Interface]\r\n",                       // a leading BOM is kept, none is added
      "x",
  };
  for (const std::string& config : cases) {
    std::string error;
    ASSERT_TRUE(WriteWireGuardConfig(config, error)) << error;
    EXPECT_EQ(ReadFileBytes(kConfigPath), config);
  }
  EXPECT_FALSE(PathExists(kConfigTempPath));
}

TEST_F(TunnelConfigStoreTest, ReplacesALongerConfigAndALeftoverTemporaryFile) {
  StoreEarlierConfig();
  ASSERT_TRUE(tunnel_test::WriteFileBytes(kConfigTempPath, std::string(100000, 'L')));
  std::string error;
  ASSERT_TRUE(WriteWireGuardConfig("short", error)) << error;
  EXPECT_EQ(ReadFileBytes(kConfigPath), "short");
  EXPECT_FALSE(PathExists(kConfigTempPath));
}

TEST_F(TunnelConfigStoreTest, SomethingInTheWayOfAFolder) {
  struct Case {
    const wchar_t* blocked;
  };
  const Case cases[] = {{kProductDataDirectory}, {kConfigDirectory}};
  for (const Case& c : cases) {
    tunnel_test::RemoveTree(kProductDataDirectory);
    if (c.blocked == kConfigDirectory) {
      ASSERT_TRUE(CreateDirectoryW(kProductDataDirectory, nullptr));
    }
    ASSERT_TRUE(tunnel_test::WriteFileBytes(c.blocked, "a file, not a folder"));
    std::string error;
    EXPECT_FALSE(WriteWireGuardConfig(tunnel_test::TunnelConfig(), error));
    EXPECT_EQ(error, kDirectoryFailure + SystemCategoryMessage(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(ReadFileBytes(c.blocked), "a file, not a folder");
    EXPECT_FALSE(PathExists(kConfigPath));
  }
}

TEST_F(TunnelConfigStoreTest, TemporaryFileThatCannotBeOpenedWritesNothing) {
  StoreEarlierConfig();
  ASSERT_TRUE(CreateDirectoryW(kConfigTempPath, nullptr));
  std::string error;
  EXPECT_FALSE(WriteWireGuardConfig(tunnel_test::TunnelConfig(), error));
  EXPECT_EQ(error, "Failed to write the WireGuard config file.");
  EXPECT_EQ(ReadFileBytes(kConfigPath), kEarlier);
}

TEST_F(TunnelConfigStoreTest, FailedReplacementKeepsTheEarlierConfigAndRemovesTheTemporaryFile) {
  const std::string prefix = "Failed to replace the WireGuard config file: ";
  {
    SCOPED_TRACE("config file held open without sharing its deletion");
    StoreEarlierConfig();
    common::UniqueFileHandle holder(CreateFileW(kConfigPath, GENERIC_READ,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder.valid());
    std::string error;
    EXPECT_FALSE(WriteWireGuardConfig("new config", error));
    holder.reset();
    ASSERT_EQ(error.rfind(prefix, 0), 0u) << error;
    EXPECT_GT(error.size(), prefix.size());
    EXPECT_NE(error.back(), '\n');
    EXPECT_FALSE(PathExists(kConfigTempPath));
    EXPECT_EQ(ReadFileBytes(kConfigPath), kEarlier);
  }
  {
    SCOPED_TRACE("a folder where the config file goes");
    tunnel_test::RemoveTree(kConfigPath);
    ASSERT_TRUE(CreateDirectoryW(kConfigPath, nullptr));
    std::string error;
    EXPECT_FALSE(WriteWireGuardConfig("new config", error));
    ASSERT_EQ(error.rfind(prefix, 0), 0u) << error;
    EXPECT_FALSE(PathExists(kConfigTempPath));
    EXPECT_EQ(GetFileAttributesW(kConfigPath) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  }
}

// A link planted where a folder or file of the store belongs is refused before anything is
// written, through it or beside it.
TEST_F(TunnelConfigStoreTest, PlantedLinksAreRefusedAndNothingIsWritten) {
  constexpr wchar_t kElsewhere[] = L"C:\\planted-link-target";
  struct Case {
    const wchar_t* link;
    const char* link_text;
  };
  const Case cases[] = {
      {kProductDataDirectory, "C:\\ProgramData\\ZEQ VPN"},
      {kConfigDirectory, "C:\\ProgramData\\ZEQ VPN\\wireguard"},
      {kConfigPath, "C:\\ProgramData\\ZEQ VPN\\wireguard\\daviza.conf"},
      {kConfigTempPath, "C:\\ProgramData\\ZEQ VPN\\wireguard\\daviza.conf.tmp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link_text);
    tunnel_test::RemoveTree(kProductDataDirectory);
    tunnel_test::RemoveTree(kElsewhere);
    ASSERT_TRUE(CreateDirectoryW(kElsewhere, nullptr));
    if (c.link == kConfigPath || c.link == kConfigTempPath) {
      std::string error;
      ASSERT_TRUE(WriteWireGuardConfig("earlier", error)) << error;
    }
    if (c.link == kConfigPath) {
      ASSERT_TRUE(DeleteFileW(kConfigPath));
    }
    ASSERT_TRUE(tunnel_test::PlantDirectoryLink(c.link, kElsewhere));

    std::string error;
    EXPECT_FALSE(WriteWireGuardConfig(tunnel_test::TunnelConfig(), error));
    EXPECT_EQ(error, std::string(kDirectoryFailure) + c.link_text +
                         " is a junction or symbolic link, which is not followed.");
    WIN32_FIND_DATAW entry{};
    const HANDLE search = FindFirstFileW(L"C:\\planted-link-target\\*", &entry);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    int entries = 0;
    do {
      ++entries;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    EXPECT_EQ(entries, 2) << "only . and .. in the link's target";
    if (c.link == kConfigTempPath) {
      EXPECT_EQ(ReadFileBytes(kConfigPath), "earlier");
    }
  }
  tunnel_test::RemoveTree(kProductDataDirectory);
  tunnel_test::RemoveTree(kElsewhere);
}

// Descriptors as Windows would report them for folders and files found in the store's place.
TEST(IsTrustedStoreDescriptor, OwnedByTheSystemAndChangedByNoOneElse) {
  constexpr StoreObject kFolder = StoreObject::kFolder;
  constexpr StoreObject kFile = StoreObject::kFile;
  const struct {
    const wchar_t* sddl;
    StoreObject kind;
    bool trusted;
  } cases[] = {
      {kConfigStoreSddl, kFolder, true},
      {kConfigStoreSddl, kFile, true},
      {L"O:SYD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", kFolder, true},
      {L"O:S-1-5-21-1-2-3-1001D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", kFolder, false},
      {L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;FW;;;BU)", kFolder, false},
      {L"O:BAD:PAI(A;OICI;FA;;;SY)(A;;0x4;;;BU)", kFolder, false},  // add subfolders
      {L"O:BAD:PAI(A;OICI;FA;;;SY)(A;;WD;;;WD)", kFolder, false},   // Everyone: change the DACL
      {L"O:BAD:PAI(A;OICI;FA;;;SY)(A;;WO;;;WD)", kFile, false},     // Everyone: take ownership
      {L"O:BAD:AI(A;OICI;FA;;;SY)(A;OICIID;0x1301bf;;;BU)", kFolder, false},  // inherited modify
      {L"O:BAD:PAI(A;OICI;FA;;;SY)(A;CI;FR;;;BU)", kFolder, true},     // listing the folder only
      {L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FR;;;BU)", kFolder, false},  // reading its files
      {L"O:BAD:PAI(A;;FA;;;SY)(A;;FR;;;WD)", kFile, false},
      {L"O:BAD:PAI(A;OICI;FA;;;SY)(D;OICI;FA;;;WD)", kFolder, true},  // a denial takes away
      {L"D:PAI(A;OICI;FA;;;SY)", kFolder, false},                     // no owner
  };
  for (const auto& c : cases) {
    common::UniqueLocalMemory descriptor;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(c.sddl, SDDL_REVISION_1,
                                                                     descriptor.receive(), nullptr))
        << GetLastError();
    EXPECT_EQ(IsTrustedStoreDescriptor(descriptor.get(), c.kind), c.trusted)
        << common::WideToUtf8(c.sddl);
  }
  // No DACL at all lets everyone in. (Wine reads "NO_ACCESS_CONTROL" as an empty DACL instead.)
  SECURITY_DESCRIPTOR no_dacl{};
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof(administrators);
  ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size));
  ASSERT_TRUE(InitializeSecurityDescriptor(&no_dacl, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorOwner(&no_dacl, administrators, FALSE));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&no_dacl, TRUE, nullptr, FALSE));
  EXPECT_FALSE(IsTrustedStoreDescriptor(&no_dacl, kFolder));
}

TEST(SystemCategoryMessage, SystemTextWithoutTrailingSpaceOrUnknownError) {
  for (const DWORD code : {DWORD{ERROR_ACCESS_DENIED}, DWORD{ERROR_ALREADY_EXISTS}}) {
    const std::string text = SystemCategoryMessage(code);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(std::string(" \t\r\n").find(text.back()), std::string::npos) << text;
    // The same system text as the service's error texts give, in this English prefix; only the
    // trimming and the code page could tell them apart.
    EXPECT_EQ(text, DescribeWindowsError(code));
  }
  EXPECT_EQ(SystemCategoryMessage(0x2000FFFFu), "unknown error");
}

}  // namespace
}  // namespace tunnel_helper

#include "tunnel_helper/tunnel_config_store.h"

#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "common/unique_handle.h"
#include "common/windows_error.h"
#include "tests/tunnel_helper/tunnel_test_support.h"
#include "tunnel_helper/config_directory.h"
#include "tunnel_helper/system_category_message.h"

namespace {

using tunnel_test::kConfigDirectory;
using tunnel_test::kConfigPath;
using tunnel_test::kConfigTempPath;
using tunnel_test::kProductDataDirectory;
using tunnel_test::PathExists;
using tunnel_test::ReadFileBytes;

constexpr char kDirectoryFailure[] = "Failed to prepare the WireGuard config directory: ";

class TunnelConfigStoreTest : public tunnel_test::CleanMachineTest {
 protected:
  // An earlier config in place, as a previous "start" left it.
  void StoreEarlierConfig() {
    std::string error;
    ASSERT_TRUE(WriteWireGuardConfig(kEarlier, error)) << error;
  }
  const std::string kEarlier = tunnel_test::TunnelConfig("# the earlier config\r\n");
};

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
      "[Interface]\r\nPrivateKey = a\r\n",          // CR LF stays CR LF
      "[Interface]\nPrivateKey = a\n",              // LF stays LF
      "[Interface]\rA = b",                         // a lone CR, no final line break
      std::string("nul\0byte \xff\xfe \xef\xbb\xbf", 18),  // NUL, high bytes, a BOM inside
      "\xef\xbb\xbf[Interface]\r\n",                // a leading BOM is kept, none is added
      "x",
  };
  for (const std::string& config : cases) {
    std::string error;
    ASSERT_TRUE(WriteWireGuardConfig(config, error)) << error;
    EXPECT_EQ(ReadFileBytes(kConfigPath), config);
  }
  EXPECT_FALSE(PathExists(kConfigTempPath));
}

TEST_F(TunnelConfigStoreTest, ReplacesALongerConfigAndReusesALeftoverTemporaryFile) {
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
    SCOPED_TRACE("config file held open without sharing");
    StoreEarlierConfig();
    UniqueFileHandle holder(CreateFileW(kConfigPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
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

// Wine neither enforces nor stores the folders' descriptor, so the descriptor itself is checked.
TEST(ConfigDirectorySecurity, ProtectedFullAccessForLocalSystemAndAdministratorsOnly) {
  const UniqueLocalMemory descriptor = BuildConfigDirectorySecurity();
  ASSERT_TRUE(descriptor.valid()) << GetLastError();
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(descriptor.get(), &control, &revision));
  EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "nothing inherited from C:\\ProgramData";
  EXPECT_NE(control & SE_DACL_PRESENT, 0);

  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted));
  ASSERT_NE(dacl, nullptr);
  ACL_SIZE_INFORMATION size{};
  ASSERT_TRUE(GetAclInformation(dacl, &size, sizeof(size), AclSizeInformation));
  ASSERT_EQ(size.AceCount, 2u);

  const WELL_KNOWN_SID_TYPE expected_sids[] = {WinLocalSystemSid, WinBuiltinAdministratorsSid};
  for (DWORD index = 0; index < size.AceCount; ++index) {
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, index, &ace));
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(allowed->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    EXPECT_EQ(allowed->Mask, static_cast<DWORD>(FILE_ALL_ACCESS));
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sid_size = sizeof(sid);
    ASSERT_TRUE(CreateWellKnownSid(expected_sids[index], nullptr, sid, &sid_size));
    EXPECT_TRUE(EqualSid(const_cast<DWORD*>(&allowed->SidStart), sid)) << "entry " << index;
  }
}

TEST(SystemCategoryMessage, SystemTextWithoutTrailingSpaceOrUnknownError) {
  for (const DWORD code : {DWORD{ERROR_ACCESS_DENIED}, DWORD{ERROR_ALREADY_EXISTS}}) {
    const std::string text = SystemCategoryMessage(code);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(std::string(" \t\r\n").find(text.back()), std::string::npos) << text;
    // The same system text as the service's error texts give, in this English prefix; only the
    // trimming and the code page could tell them apart.
    EXPECT_EQ(text, tunnel_helper::DescribeWindowsError(code));
  }
  EXPECT_EQ(SystemCategoryMessage(0x2000FFFFu), "unknown error");
}

}  // namespace

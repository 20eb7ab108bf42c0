#include "common/unique_handle.h"

#include <gtest/gtest.h>

#include <utility>

namespace common {
namespace {

bool IsOpenHandle(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

HANDLE NewEvent() { return CreateEventW(nullptr, TRUE, FALSE, nullptr); }

TEST(UniqueHandle, ClosesOnDestructionAndReset) {
  HANDLE raw = NewEvent();
  ASSERT_NE(raw, nullptr);
  {
    UniqueHandle owner(raw);
    EXPECT_TRUE(IsOpenHandle(raw));
  }
  EXPECT_FALSE(IsOpenHandle(raw));

  HANDLE second = NewEvent();
  UniqueHandle owner(NewEvent());
  HANDLE first = owner.get();
  owner.reset(second);
  EXPECT_FALSE(IsOpenHandle(first));
  EXPECT_EQ(owner.get(), second);
  owner.reset();
  EXPECT_FALSE(IsOpenHandle(second));
  EXPECT_FALSE(owner);
}

TEST(UniqueHandle, ReleaseAndMoveHandOverWithoutClosing) {
  UniqueHandle owner(NewEvent());
  HANDLE raw = owner.get();
  UniqueHandle moved(std::move(owner));
  EXPECT_FALSE(owner.valid());
  EXPECT_EQ(moved.get(), raw);
  UniqueHandle assigned;
  assigned = std::move(moved);
  EXPECT_TRUE(IsOpenHandle(raw));
  HANDLE released = assigned.release();
  EXPECT_FALSE(assigned.valid());
  EXPECT_TRUE(IsOpenHandle(released));
  CloseHandle(released);
}

TEST(UniqueHandle, ResetKeepsTheLastError) {
  UniqueHandle owner(NewEvent());
  SetLastError(ERROR_PIPE_BUSY);
  owner.reset();
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PIPE_BUSY));
}

TEST(UniqueFileHandle, IsEmptyAtInvalidHandleValue) {
  UniqueFileHandle empty;
  EXPECT_FALSE(empty.valid());
  EXPECT_EQ(empty.get(), INVALID_HANDLE_VALUE);
  UniqueFileHandle failed(CreateFileW(L"C:\\no\\such\\folder\\file", GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(failed.valid());
}

TEST(UniqueRegistryKey, ClosesTheKey) {
  UniqueRegistryKey key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.receive()),
            ERROR_SUCCESS);
  EXPECT_TRUE(key.valid());
  HKEY raw = key.get();
  key.reset();
  DWORD subkeys = 0;
  EXPECT_NE(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
}

TEST(UniqueServiceHandle, OpensAndClosesTheServiceManager) {
  UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  ASSERT_TRUE(manager.valid()) << GetLastError();
  manager.reset();
  EXPECT_FALSE(manager.valid());
}

TEST(UniqueLocalMemory, ReceiveFreesWhatItHeld) {
  UniqueLocalMemory memory(LocalAlloc(LMEM_FIXED, 16));
  ASSERT_TRUE(memory.valid());
  void** slot = memory.receive();
  EXPECT_EQ(*slot, nullptr);
  *slot = LocalAlloc(LMEM_FIXED, 32);
  EXPECT_TRUE(memory.valid());
}

}  // namespace
}  // namespace common

// The queue file shared by real processes under Wine: appenders racing each other and a drainer,
// and a lock holder that dies.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/auth_queue_lock.h"
#include "app/shared_auth_callbacks.h"
#include "tests/app/auth_queue_test_folder.h"
#include "tests/support/child_process.h"

namespace {

std::wstring ClientCommand(const std::wstring& arguments) {
  return L"\"" + test_support::ProgramFolder() + L"\\auth_queue_client.exe\" " + arguments;
}

TEST(AuthQueueAcrossProcesses, EveryLinkAppendedWhileDrainingArrivesExactlyOnce) {
  auth_queue_test::UseFreshLocalAppData();
  constexpr int kClients = 3;
  constexpr int kLinksEach = 30;
  // Each link takes a unit and each drained link gives one back: at most four links wait in the
  // file at once, so the limit of five drops none.
  constexpr wchar_t kCredits[] = L"Local\\DAVIZA.Test.AuthQueueCredits";
  const UniqueHandle credits(CreateSemaphoreW(nullptr, 4, 4, kCredits));
  ASSERT_TRUE(credits);
  std::vector<test_support::ChildProcess> clients;
  std::vector<HANDLE> handles;
  std::vector<std::string> expected;
  for (int client = 0; client < kClients; ++client) {
    const std::wstring name = L"client" + std::to_wstring(client);
    clients.emplace_back(
        ClientCommand(L"append " + name + L" " + std::to_wstring(kLinksEach) + L" " + kCredits));
    ASSERT_TRUE(clients.back().started());
    handles.push_back(clients.back().handle());
    for (int index = 0; index < kLinksEach; ++index) {
      expected.push_back("daviza://client" + std::to_string(client) + "/" + std::to_string(index));
    }
  }

  std::vector<std::string> drained;
  const ULONGLONG deadline = GetTickCount64() + 60000;
  bool ended = false;
  while (!ended && GetTickCount64() < deadline) {
    // The clients' end, waited for briefly, paces the drains; the drain after it takes the rest.
    ended = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE, 2) ==
            WAIT_OBJECT_0;
    const std::vector<std::string> links = app::DrainSharedAuthCallbacks();
    drained.insert(drained.end(), links.begin(), links.end());
    if (!links.empty()) ReleaseSemaphore(credits.get(), static_cast<LONG>(links.size()), nullptr);
  }
  for (test_support::ChildProcess& client : clients) {
    const test_support::ProcessOutcome outcome = client.Wait(0);
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exit_code, 0u) << outcome.output;
  }
  std::sort(drained.begin(), drained.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(drained, expected);
}

TEST(AuthQueueAcrossProcesses, AHolderThatEndsWithoutReleasingDoesNotBlockTheQueue) {
  auth_queue_test::UseFreshLocalAppData();
  // Held open here, the mutex outlives its holder and is abandoned rather than destroyed.
  const UniqueHandle mutex = app::CreateAuthQueueMutex();
  ASSERT_TRUE(mutex);
  const test_support::ProcessOutcome holder = test_support::RunProcess(ClientCommand(L"hold"));
  ASSERT_TRUE(holder.finished);
  ASSERT_EQ(holder.exit_code, 0u) << "the holder got the lock";

  app::EnqueueSharedAuthCallback("daviza://after");
  EXPECT_EQ(app::DrainSharedAuthCallbacks(), std::vector<std::string>{"daviza://after"});
}

}  // namespace

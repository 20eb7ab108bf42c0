// The queue file under Wine, each test with its own LOCALAPPDATA (which child processes inherit):
// appends and the App channel's drains, a save cut short, no folder at all, and real processes
// racing and dying. ctest runs these with files limited to 1 KiB (see CMakeLists.txt).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/app_channel.h"
#include "app/auth_callback_queue.h"
#include "app/shared_auth_callbacks.h"
#include "common/file_bytes.h"
#include "tests/flutter_glue/glue_test_support.h"
#include "tests/support/files.h"
#include "tests/support/process.h"

namespace {

namespace fs = std::filesystem;
using flutter::EncodableValue;
using Links = std::vector<std::string>;
using common::ReadWholeFile;

// The queue file of a fresh folder named after the running test, and nothing pending (the
// pending links live as long as the test program, also across repeated runs).
fs::path UseFreshQueueFile() {
  while (!app::PendingAuthCallbacks().Empty()) app::PendingAuthCallbacks().PopFront();
  const fs::path folder = fs::path(test_support::ProgramFolder()).parent_path() / "auth queues" /
                          testing::UnitTest::GetInstance()->current_test_info()->name();
  test_support::RemoveTree(folder.wstring());
  SetEnvironmentVariableW(L"LOCALAPPDATA", folder.c_str());
  return folder / "ZEQ VPN" / "auth_callbacks.txt";
}

std::wstring Client(const std::wstring& arguments) {
  return test_support::BuiltProgram(L"auth_queue_client.exe") + L" " + arguments;
}

glue_test::Answer Call(const char* method, EncodableValue* arguments = nullptr) {
  auto answers = std::make_shared<std::vector<glue_test::Answer>>();
  app::HandleAppMethodCall(
      flutter::MethodCall<>(method,
                            arguments ? std::make_unique<EncodableValue>(*arguments) : nullptr),
      std::make_unique<glue_test::RecordingResult>(answers));
  EXPECT_EQ(answers->size(), 1u);
  return answers->at(0);
}

TEST(AuthQueueFile, ConsumeTakesPendingLinksFirstAndTheFileOnlyWhenNoneArePending) {
  const fs::path file = UseFreshQueueFile();
  for (const char* link : {"daviza://a", "daviza://b\r\n", "daviza://a", "https://a"}) {
    app::EnqueueSharedAuthCallback(link);
  }
  EXPECT_EQ(ReadWholeFile(file), "daviza://b\ndaviza://a\n");
  EXPECT_EQ(Call("consumeAuthCallback").value, EncodableValue("daviza://b"));
  EXPECT_EQ(ReadWholeFile(file), std::nullopt);
  app::EnqueueSharedAuthCallback("daviza://c");
  EXPECT_EQ(Call("ConsumeAuthCallback").kind, glue_test::Answer::kNotImplemented);
  EncodableValue ignored("daviza://x");
  EXPECT_EQ(Call("consumeAuthCallback", &ignored).value, EncodableValue("daviza://a"));
  EXPECT_EQ(ReadWholeFile(file), "daviza://c\n") << "untouched while links were pending";
  EXPECT_EQ(Call("consumeAuthCallback").value, EncodableValue("daviza://c"));
  EXPECT_EQ(Call("consumeAuthCallback"), glue_test::Answer::Success());
}

TEST(AuthQueueFile, ASaveCutShortKeepsTheEarlierFile) {
  const fs::path file = UseFreshQueueFile();
  app::EnqueueSharedAuthCallback("daviza://old");
  app::EnqueueSharedAuthCallback("daviza://" + std::string(4000, 'x'));
  EXPECT_EQ(ReadWholeFile(file), "daviza://old\n") << "run through ctest, which limits file sizes";
  EXPECT_FALSE(fs::exists(file.wstring() + L".tmp"));
}

TEST(AuthQueueFile, WithoutLocalAppDataOrATemporaryFolderNoLinkIsStoredOrRead) {
  const fs::path missing = UseFreshQueueFile().parent_path();
  SetEnvironmentVariableW(L"LOCALAPPDATA", nullptr);
  SetEnvironmentVariableW(L"TMP", missing.c_str());
  SetEnvironmentVariableW(L"TEMP", missing.c_str());
  EXPECT_EQ(app::AuthQueueFilePath(), std::nullopt);
  app::EnqueueSharedAuthCallback("daviza://nowhere");
  EXPECT_EQ(app::DrainSharedAuthCallbacks(), Links{});
  EXPECT_FALSE(fs::exists(missing));
}

TEST(AuthQueueAcrossProcesses, EveryLinkAppendedWhileDrainingArrivesExactlyOnce) {
  UseFreshQueueFile();
  // Each link takes a unit and each drained link gives one back: at most four links wait in the
  // file at once, so the limit of five drops none.
  const std::wstring name = L"Local\\DAVIZA.Test.Credits." + std::to_wstring(GetCurrentProcessId());
  const common::UniqueHandle credits(CreateSemaphoreW(nullptr, 4, 4, name.c_str()));
  std::vector<common::UniqueHandle> clients;
  std::vector<HANDLE> handles;
  Links expected;
  for (const char* client : {"one", "two", "three"}) {
    clients.push_back(test_support::StartProcess(
        Client(std::wstring(client, client + strlen(client)) + L" 30 " + name)));
    ASSERT_TRUE(clients.back());
    handles.push_back(clients.back().get());
    for (int index = 0; index < 30; ++index) {
      expected.push_back("daviza://" + std::string(client) + "/" + std::to_string(index));
    }
  }
  Links drained;
  bool ended = false;
  for (ULONGLONG deadline = GetTickCount64() + 60000; !ended && GetTickCount64() < deadline;) {
    // Waiting briefly for the clients' end paces the drains; the drain after it takes the rest.
    ended = WaitForMultipleObjects(3, handles.data(), TRUE, 2) == WAIT_OBJECT_0;
    const Links links = app::DrainSharedAuthCallbacks();
    drained.insert(drained.end(), links.begin(), links.end());
    ReleaseSemaphore(credits.get(), static_cast<LONG>(links.size()), nullptr);
  }
  ASSERT_TRUE(ended);
  std::sort(drained.begin(), drained.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(drained, expected);
}

TEST(AuthQueueAcrossProcesses, AHolderThatEndsWithoutReleasingDoesNotBlockTheQueue) {
  UseFreshQueueFile();
  // Open here, the mutex outlives its holder and is abandoned rather than destroyed.
  const common::UniqueHandle mutex = app::CreateAuthQueueMutex();
  ASSERT_EQ(test_support::RunProcess(Client(L"hold")).exit_code, 0u) << "got the lock";
  app::EnqueueSharedAuthCallback("daviza://after");
  EXPECT_EQ(app::DrainSharedAuthCallbacks(), Links{"daviza://after"});
}

}  // namespace

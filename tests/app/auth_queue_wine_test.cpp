// The queue file under Wine, each test with its own LOCALAPPDATA (which child processes inherit):
// appends and the App channel's drains, real processes racing and dying, a save cut short, and a
// queue with no folder at all. ctest runs these with files limited to 1 KiB (see links.cmake).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/app_channel.h"
#include "app/auth_callback_queue.h"
#include "app/auth_queue_file.h"
#include "app/auth_queue_lock.h"
#include "app/shared_auth_callbacks.h"
#include "tests/flutter_glue/recording_result.h"
#include "tests/support/child_process.h"
#include "tests/support/windows_service.h"

namespace {

namespace fs = std::filesystem;
using flutter::EncodableValue;
using Links = std::vector<std::string>;

// The queue file of a fresh folder named after the running test.
fs::path UseFreshQueueFile() {
  const fs::path folder = fs::path(test_support::ProgramFolder()).parent_path() / "auth queues" /
                          testing::UnitTest::GetInstance()->current_test_info()->name();
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  fs::create_directories(folder, ignored);
  SetEnvironmentVariableW(L"LOCALAPPDATA", folder.c_str());
  return folder / "ZEQ VPN" / "auth_callbacks.txt";
}

std::optional<std::string> ReadBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::wstring ClientCommand(const std::wstring& arguments) {
  return L"\"" + test_support::ProgramFolder() + L"\\auth_queue_client.exe\" " + arguments;
}

TEST(AuthQueueFile, ConsumeTakesPendingLinksFirstAndTheFileOnlyWhenNoneArePending) {
  const fs::path file = UseFreshQueueFile();
  for (const char* link : {"daviza://a", "daviza://b\r\n", "daviza://a", "https://a"}) {
    app::EnqueueSharedAuthCallback(link);
  }
  EXPECT_EQ(ReadBytes(file), "daviza://b\ndaviza://a\n");
  const auto consume = [](const char* method, std::unique_ptr<EncodableValue> arguments) {
    std::shared_ptr<glue_test::AnswerRecord> record;
    app::HandleAppMethodCall(flutter::MethodCall<>(method, std::move(arguments)),
                             glue_test::RecordingResult::Make(record));
    EXPECT_EQ(record->answers.size(), 1u);
    return record->answers.at(0);
  };
  EXPECT_EQ(consume("consumeAuthCallback", nullptr).value, EncodableValue("daviza://b"));
  EXPECT_EQ(ReadBytes(file), std::nullopt) << "drained";
  app::EnqueueSharedAuthCallback("daviza://c");
  EXPECT_EQ(consume("ConsumeAuthCallback", nullptr).kind, glue_test::Answer::kNotImplemented);
  EXPECT_EQ(consume("consumeAuthCallback", std::make_unique<EncodableValue>("daviza://x")).value,
            EncodableValue("daviza://a"));
  EXPECT_EQ(ReadBytes(file), "daviza://c\n") << "untouched while links were pending";
  EXPECT_EQ(consume("consumeAuthCallback", std::make_unique<EncodableValue>()).value,
            EncodableValue("daviza://c"));
  const glue_test::Answer last = consume("consumeAuthCallback", nullptr);
  EXPECT_EQ(last.kind, glue_test::Answer::kSuccess);
  EXPECT_EQ(last.value, std::nullopt);
}

TEST(AuthQueueFile, ASaveCutShortKeepsTheEarlierFile) {
  const fs::path file = UseFreshQueueFile();
  app::EnqueueSharedAuthCallback("daviza://old");
  app::EnqueueSharedAuthCallback("daviza://" + std::string(4000, 'x'));
  EXPECT_EQ(ReadBytes(file), "daviza://old\n") << "run through ctest, which limits file sizes";
  EXPECT_FALSE(fs::exists(file.wstring() + L".tmp"));
}

TEST(AuthQueueFile, WithoutLocalAppDataOrATemporaryFolderNoLinkIsStoredOrRead) {
  const fs::path missing = UseFreshQueueFile().parent_path() / "missing";
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
  constexpr wchar_t kCredits[] = L"Local\\DAVIZA.Test.AuthQueueCredits";
  const UniqueHandle credits(CreateSemaphoreW(nullptr, 4, 4, kCredits));
  std::vector<UniqueHandle> clients;
  std::vector<HANDLE> handles;
  Links expected;
  for (const std::string name : {"one", "two", "three"}) {
    clients.push_back(test_support::StartProcess(
        ClientCommand(std::wstring(name.begin(), name.end()) + L" 30 " + kCredits)));
    ASSERT_TRUE(clients.back());
    handles.push_back(clients.back().get());
    for (int index = 0; index < 30; ++index) {
      expected.push_back("daviza://" + name + "/" + std::to_string(index));
    }
  }
  Links drained;
  bool ended = false;
  for (const ULONGLONG deadline = GetTickCount64() + 60000; !ended && GetTickCount64() < deadline;) {
    // Waiting briefly for the clients' end paces the drains; the drain after it takes the rest.
    ended = WaitForMultipleObjects(3, handles.data(), TRUE, 2) == WAIT_OBJECT_0;
    const Links links = app::DrainSharedAuthCallbacks();
    drained.insert(drained.end(), links.begin(), links.end());
    ReleaseSemaphore(credits.get(), static_cast<LONG>(links.size()), nullptr);
  }
  for (const UniqueHandle& client : clients) {
    DWORD exit_code = 1;
    EXPECT_TRUE(GetExitCodeProcess(client.get(), &exit_code) && exit_code == 0) << exit_code;
  }
  std::sort(drained.begin(), drained.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(drained, expected);
}

TEST(AuthQueueAcrossProcesses, AHolderThatEndsWithoutReleasingDoesNotBlockTheQueue) {
  UseFreshQueueFile();
  // Open here, the mutex outlives its holder and is abandoned rather than destroyed.
  const UniqueHandle mutex = app::CreateAuthQueueMutex();
  ASSERT_EQ(test_support::RunProcess(ClientCommand(L"hold")).exit_code, 0u) << "got the lock";
  app::EnqueueSharedAuthCallback("daviza://after");
  EXPECT_EQ(app::DrainSharedAuthCallbacks(), Links{"daviza://after"});
}

}  // namespace

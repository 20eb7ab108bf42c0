// The queue file under Wine: where it lives, what an append and a drain do to it, and the App
// channel taking links from it.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/app_channel.h"
#include "app/auth_queue_file.h"
#include "app/shared_auth_callbacks.h"
#include "tests/app/auth_queue_test_folder.h"
#include "tests/flutter_glue/recording_result.h"

namespace {

namespace fs = std::filesystem;
using auth_queue_test::kQueueFile;
using auth_queue_test::ReadBytes;
using Links = std::vector<std::string>;

void SetVariable(const wchar_t* name, const std::optional<std::wstring>& value) {
  SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
}

TEST(AuthQueueFile, LivesInLocalAppDataOrElseTheTemporaryFolderOrNowhere) {
  const std::wstring base = auth_queue_test::UseFreshLocalAppData().wstring();
  const std::wstring missing = base + L"\\missing";
  const std::wstring in_base = base + L"\\" + kQueueFile;
  const struct {
    std::optional<std::wstring> local_app_data;
    std::wstring temporary;
    std::optional<std::wstring> path;
  } cases[] = {
      {base, missing, in_base},
      {base + L"\\", missing, in_base},
      {std::nullopt, base, in_base},
      {L"", base, in_base},
      {std::nullopt, missing, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.local_app_data) + " " + testing::PrintToString(c.temporary));
    SetVariable(L"LOCALAPPDATA", c.local_app_data);
    SetVariable(L"TMP", c.temporary);
    SetVariable(L"TEMP", c.temporary);
    EXPECT_EQ(app::AuthQueueFilePath(), c.path);
  }
  // Left unavailable by the last case: no link is stored or read, and nothing throws.
  app::EnqueueSharedAuthCallback("daviza://nowhere");
  EXPECT_EQ(app::DrainSharedAuthCallbacks(), Links{});
  EXPECT_FALSE(fs::exists(missing));
}

TEST(AuthQueueFile, AppendKeepsOneCopyAtTheEndAndDrainTakesAllInFileOrder) {
  const fs::path file = auth_queue_test::UseFreshLocalAppData() / kQueueFile;
  EXPECT_EQ(app::DrainSharedAuthCallbacks(), Links{});
  EXPECT_TRUE(fs::is_directory(file.parent_path()));
  EXPECT_EQ(ReadBytes(file), std::nullopt);

  for (const char* link : {"daviza://a", "daviza://b\r\n", "daviza://a", "https://a"}) {
    app::EnqueueSharedAuthCallback(link);
  }
  EXPECT_EQ(ReadBytes(file), "daviza://b\ndaviza://a\n");

  app::AddPendingAuthCallback("daviza://a");
  app::AddPendingAuthCallback("daviza://c");
  EXPECT_EQ(app::DrainSharedAuthCallbacks(), (Links{"daviza://b", "daviza://a"}));
  const app::AuthCallbackQueue& pending = app::PendingAuthCallbacks();
  EXPECT_EQ(Links(pending.begin(), pending.end()),
            (Links{"daviza://c", "daviza://b", "daviza://a"}));
  EXPECT_EQ(ReadBytes(file), std::nullopt);
  EXPECT_FALSE(fs::exists(file.wstring() + L".tmp"));
}

TEST(AuthQueueFile, ConsumeAuthCallbackTakesTheFilesLinksWhenNothingIsPending) {
  const fs::path file = auth_queue_test::UseFreshLocalAppData() / kQueueFile;
  app::EnqueueSharedAuthCallback("daviza://left-by-a-later-start");
  for (const std::optional<flutter::EncodableValue>& expected :
       {std::optional(flutter::EncodableValue("daviza://left-by-a-later-start")),
        std::optional<flutter::EncodableValue>()}) {
    std::shared_ptr<glue_test::AnswerRecord> record;
    app::HandleAppMethodCall(flutter::MethodCall<>("consumeAuthCallback", nullptr),
                             glue_test::RecordingResult::Make(record));
    ASSERT_EQ(record->answers.size(), 1u);
    EXPECT_EQ(record->answers[0].value, expected);
  }
  EXPECT_EQ(ReadBytes(file), std::nullopt);
}

}  // namespace

// Run by ctest with the process's files limited to 1 KiB (see links.cmake): a save that cannot
// write all its bytes must not replace the queue file with what it wrote.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/shared_auth_callbacks.h"
#include "tests/app/auth_queue_test_folder.h"

namespace {

TEST(AuthQueueSave, ASaveCutShortKeepsTheEarlierFile) {
  const std::filesystem::path file =
      auth_queue_test::UseFreshLocalAppData() / auth_queue_test::kQueueFile;
  app::EnqueueSharedAuthCallback("daviza://old");
  app::EnqueueSharedAuthCallback("daviza://" + std::string(4000, 'x'));
  EXPECT_EQ(auth_queue_test::ReadBytes(file), "daviza://old\n")
      << "run through ctest, which limits the file size";
  EXPECT_FALSE(std::filesystem::exists(file.wstring() + L".tmp"));
}

}  // namespace

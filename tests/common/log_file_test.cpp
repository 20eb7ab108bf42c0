// The log file on a real file system under Wine: its bound, and what it refuses to write through.
#include "common/log_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace common {
namespace {

namespace fs = std::filesystem;

std::vector<UniqueFileHandle> Hold(const fs::path& folder) {
  std::vector<UniqueFileHandle> held;
  held.emplace_back(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!held.back()) held.clear();
  return held;
}

TEST(LogFile, KeepsOnePreviousGenerationEachWithinTheBound) {
  const fs::path folder = fs::temp_directory_path() / L"zeq-log-file-test";
  fs::remove_all(folder);
  fs::create_directories(folder);
  {
    LogFile log((folder / L"x.log").wstring(), [&] { return Hold(folder); }, nullptr);
    const std::string detail(3000, 'd');
    for (std::uint64_t line = 0; line < 1000; ++line) {
      log.Write(LogLevel::kInfo, "line", {{"n", line}, {"detail", detail}});
    }
  }
  std::vector<std::wstring> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().wstring());
    EXPECT_LE(entry.file_size(), kMaxLogFileBytes);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"x.log", L"x.log.1"}));
  EXPECT_GT(fs::file_size(folder / L"x.log.1"), kMaxLogFileBytes - kMaxLogLineBytes);

  // A name that is a hard link to another file is not written through; the log is skipped.
  const fs::path elsewhere = folder / L"elsewhere.txt";
  fs::remove(folder / L"x.log");
  { std::ofstream(elsewhere) << "not a log"; }
  ASSERT_TRUE(CreateHardLinkW((folder / L"x.log").c_str(), elsewhere.c_str(), nullptr));
  LogFile linked((folder / L"x.log").wstring(), [&] { return Hold(folder); }, nullptr);
  linked.Write(LogLevel::kInfo, "line", {});
  EXPECT_EQ(fs::file_size(elsewhere), 9u);
  fs::remove_all(folder);
}

// Opening the folder may log what it found in the way; that line comes first, and the log does
// not wait on itself.
TEST(LogFile, KeepsTheLinesItsFolderOpenerLogs) {
  const fs::path folder = fs::temp_directory_path() / L"zeq-log-file-opener-test";
  fs::remove_all(folder);
  fs::create_directories(folder);
  SetProcessLog(std::make_unique<LogFile>((folder / L"x.log").wstring(),
                                          [&] {
                                            Log(LogLevel::kWarning, "link refused");
                                            return Hold(folder);
                                          },
                                          nullptr));
  Log(LogLevel::kInfo, "service started");
  SetProcessLog(nullptr);
  std::ifstream file(folder / L"x.log");
  std::string first;
  std::string second;
  std::getline(file, first);
  std::getline(file, second);
  EXPECT_TRUE(first.ends_with("WARN link refused")) << first;
  EXPECT_TRUE(second.ends_with("INFO service started")) << second;
  file.close();
  fs::remove_all(folder);
}

}  // namespace
}  // namespace common

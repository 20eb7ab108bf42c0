// Windows error texts and the handle owners, against the real system under Wine.
#include <gtest/gtest.h>

#include <string>

#include "common/unique_handle.h"
#include "common/windows_error.h"

namespace common {
namespace {

using namespace std::string_literals;

TEST(DescribeWindowsError, GivesTheSystemTextTrimmedOrElseTheNumber) {
  for (const auto describe : {&DescribeWindowsError, &DescribeWindowsErrorKeepingBlanks}) {
    // Wine's wording differs from Windows': look at the shape of the text, not its words.
    const std::string denied = describe(ERROR_ACCESS_DENIED);
    EXPECT_TRUE(denied.size() > 1 && denied.back() == '.' && !denied.starts_with("Windows"))
        << denied;
    EXPECT_NE(describe(ERROR_MR_MID_NOT_FOUND).find("%1"), std::string::npos) << "kept literally";
    EXPECT_EQ(describe(0xE0001234u), "Windows error 3758101044");
  }
  // The service trims every trailing blank, the app only line breaks.
  const std::tuple<std::optional<std::wstring>, std::string, std::string> cases[] = {
      {L"  Inner  blanks. \t \r\n", "  Inner  blanks.", "  Inner  blanks. \t "},
      {L"Text.\r\n \t", "Text.", "Text.\r\n \t"},
      {L"\u00fc\u20ac\U0001F600\0"s, "\u00fc\u20ac\U0001F600\0"s, "\u00fc\u20ac\U0001F600\0"s},
      {L" \r\n", "", " "},
      {L"\r\n", "", "Windows error 5"},
      {std::nullopt, "Windows error 5", "Windows error 5"},
  };
  for (const auto& [text, service, app] : cases) {
    EXPECT_EQ(DescribeSystemErrorText(text, 5), service);
    EXPECT_EQ(DescribeSystemErrorTextKeepingBlanks(text, 5), app);
  }
  EXPECT_EQ(SystemCategoryMessage(ERROR_ACCESS_DENIED), DescribeWindowsError(ERROR_ACCESS_DENIED));
  EXPECT_EQ(SystemCategoryMessage(0x2000FFFFu), "unknown error");
}

bool IsOpen(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(UniqueHandle, ClosesOnceOnResetOrDestructionAndNeverAfterRelease) {
  HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE second = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  {
    UniqueHandle owner(first);
    owner.reset(first);
    EXPECT_TRUE(IsOpen(first)) << "a reset to the same value";
    owner.reset(second);
    EXPECT_FALSE(IsOpen(first));
    const UniqueHandle moved(std::move(owner));
    EXPECT_TRUE(IsOpen(second) && !owner.valid());
  }
  EXPECT_FALSE(IsOpen(second));
  UniqueHandle released(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const UniqueHandle kept(released.release());
  EXPECT_TRUE(IsOpen(kept.get()) && !released.valid());
}

TEST(UniqueHandle, ResetKeepsTheLastErrorEvenWhenTheCloseFails) {
  // No handle table reaches this value, so closing it fails and sets an error of its own.
  UniqueHandle unclosable(reinterpret_cast<HANDLE>(std::uintptr_t{0x7ffffff0}));
  SetLastError(ERROR_PIPE_BUSY);
  unclosable.reset();
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PIPE_BUSY));
  // A file handle that failed to open is empty, and closes nothing.
  const UniqueFileHandle missing(
      CreateFileW(L"C:\\no\\such\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(missing.valid());
}

}  // namespace
}  // namespace common

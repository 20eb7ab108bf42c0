#include "common/windows_error.h"

#include <gtest/gtest.h>

#include <string>

namespace common {
namespace {

// Wine's wording differs from Windows': these tests check the shape of the text, not its words.
void ExpectSystemText(const std::string& text) {
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.rfind("Windows error ", 0), std::string::npos) << text;
  EXPECT_NE(text.back(), '\n') << text;
  EXPECT_NE(text.back(), '\r') << text;
  EXPECT_NE(text.back(), ' ') << text;
}

TEST(DescribeWindowsError, AccessDeniedIsSystemTextWithoutLineBreak) {
  for (const std::string& text : {tunnel_helper::DescribeWindowsError(ERROR_ACCESS_DENIED),
                                  app::DescribeWindowsError(ERROR_ACCESS_DENIED)}) {
    ExpectSystemText(text);
    EXPECT_EQ(text.back(), '.') << "the final period stays: " << text;
  }
}

TEST(DescribeWindowsError, CodeZeroIsLookedUpLikeAnyOther) {
  ExpectSystemText(tunnel_helper::DescribeWindowsError(ERROR_SUCCESS));
  ExpectSystemText(app::DescribeWindowsError(ERROR_SUCCESS));
}

TEST(DescribeWindowsError, UnknownCodesFallBackToTheNumber) {
  struct Case {
    DWORD code;
    const char* text;
  };
  const Case cases[] = {
      {0x2000FFFFu, "Windows error 536936447"},
      {0xE0001234u, "Windows error 3758101044"},
      {0xFFFFFFFFu, "Windows error 4294967295"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tunnel_helper::DescribeWindowsError(c.code), c.text);
    EXPECT_EQ(app::DescribeWindowsError(c.code), c.text);
  }
}

TEST(DescribeWindowsError, InsertionMarkersStayLiteral) {
  // The text of ERROR_MR_MID_NOT_FOUND names the message number and the file as %1 and %2.
  const std::string text = tunnel_helper::DescribeWindowsError(ERROR_MR_MID_NOT_FOUND);
  EXPECT_NE(text.find("%1"), std::string::npos) << text;
  EXPECT_NE(text.find("%2"), std::string::npos) << text;
}

TEST(TrimErrorText, ServiceTrimsAllTrailingBlanksAppOnlyLineBreaks) {
  struct Case {
    std::wstring raw;
    std::wstring service;
    std::wstring app;
  };
  const Case cases[] = {
      {L"Access is denied.\r\n", L"Access is denied.", L"Access is denied."},
      {L"Text. \t \r\n", L"Text.", L"Text. \t "},
      {L"Text.\r\n \t", L"Text.", L"Text.\r\n \t"},
      {L"  inner  spaces stay.", L"  inner  spaces stay.", L"  inner  spaces stay."},
      {L"\r\n \r\n", L"", L"\r\n "},
      {L"", L"", L""},
      {L"No period", L"No period", L"No period"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TrimErrorText(c.raw, ErrorTextTrim::kTrailingSpace), c.service);
    EXPECT_EQ(TrimErrorText(c.raw, ErrorTextTrim::kTrailingLineBreaks), c.app);
  }
}

TEST(WideToUtf8, ConvertsWithoutTerminator) {
  EXPECT_EQ(WideToUtf8(L""), "");
  EXPECT_EQ(WideToUtf8(L"plain"), "plain");
  EXPECT_EQ(WideToUtf8(L"Gr\u00fc\u00dfe \u20ac \U0001F600"),
            "Gr\xc3\xbc\xc3\x9f"
            "e \xe2\x82\xac \xf0\x9f\x98\x80");
  const std::wstring with_nul(L"a\0b", 3);
  EXPECT_EQ(WideToUtf8(with_nul), std::string("a\0b", 3));
}

TEST(WindowsErrorFallbackText, IsUnsignedDecimal) {
  EXPECT_EQ(WindowsErrorFallbackText(0), "Windows error 0");
  EXPECT_EQ(WindowsErrorFallbackText(0x80000000u), "Windows error 2147483648");
}

}  // namespace
}  // namespace common

// The client's reader and its reading of answers, against pipes this test serves itself.
#include <gtest/gtest.h>

#include <string>

#include "app/tunnel_helper_client.h"
#include "tests/support/pipes.h"

namespace {

// A message pipe of this test's own: the server end writes, the client end reads in message
// mode, as the app's does.
const std::wstring kPipeName = L"\\\\.\\pipe\\zeq-test-" + std::to_wstring(GetCurrentProcessId());

TEST(ReadPipeMessage, ReadsOneWholeMessageUpToTheLimit) {
  const std::string too_long = "Tunnel helper response exceeded the maximum supported size.";
  const struct {
    std::size_t size;
    std::size_t limit;
    bool read;
  } cases[] = {
      {1, 131072, true},       {4096, 131072, true}, {10000, 131072, true}, {131072, 131072, true},
      {131073, 131072, false}, {5000, 4999, false},  // the limit falls inside the last 4096-byte
                                                     // piece
  };
  for (const auto& c : cases) {
    const test_support::PipeServer server(kPipeName);
    const common::UniqueFileHandle client = test_support::ConnectRawClient(kPipeName.c_str());
    std::string message(c.size, '\0');
    for (std::size_t i = 0; i < c.size; ++i) message[i] = static_cast<char>(i * 7 + 3);
    ASSERT_TRUE(test_support::WriteMessages(server.get(), {message, "next"}));
    std::string error = "untouched";
    EXPECT_EQ(app::ReadPipeMessage(client.get(), c.limit, &error),
              c.read ? std::optional<std::string>(message) : std::nullopt)
        << c.size;
    EXPECT_EQ(error, c.read ? "untouched" : too_long);
    if (c.read) {
      EXPECT_EQ(app::ReadPipeMessage(client.get(), c.limit, nullptr), "next");
    }
  }
}

TEST(ReadPipeMessage, EmptyMessageAndBrokenPipeAreFailures) {
  test_support::PipeServer server(kPipeName);
  const common::UniqueFileHandle client = test_support::ConnectRawClient(kPipeName.c_str());
  ASSERT_TRUE(test_support::WriteMessages(server.get(), {""}));
  std::string error;
  EXPECT_FALSE(app::ReadPipeMessage(client.get(), 100, &error).has_value());
  EXPECT_EQ(error, "Tunnel helper returned an empty response.");

  server.ListenAgain();  // The service goes away without answering.
  EXPECT_FALSE(app::ReadPipeMessage(client.get(), 100, &error).has_value());
  const std::string prefix = "Failed to read from the tunnel helper pipe: ";
  ASSERT_EQ(error.rfind(prefix, 0), 0u) << error;
  EXPECT_GT(error.size(), prefix.size()) << "the system's text follows";
  EXPECT_NE(error.back(), '\n');
}

TEST(InterpretHelperResponse, FoldsEveryAnswerIntoOneShape) {
  constexpr char kInvalid[] = "Received an invalid response from the tunnel helper.";
  constexpr char kFailed[] = "ZEQ VPN tunnel helper request failed.";
  const struct {
    std::string answer;
    bool ok;
    std::string message;
    std::optional<std::int32_t> status;
  } cases[] = {
      {R"({"ok":true,"statusRaw":3})", true, "", 3},
      {R"({"ok":true,"message":"note"})", true, "note", std::nullopt},
      {R"({"ok":false})", false, kFailed, std::nullopt},
      {R"({"ok":false,"message":""})", false, kFailed, std::nullopt},
      {R"({"ok":false,"message":"a\nb\"c\\"})", false, "a\nb\"c\\", std::nullopt},
      {R"({"ok":"true","statusRaw":3})", false, kInvalid, std::nullopt},
      {R"({"ok":true,"statusRaw":-1})", true, "", -1},
  };
  for (const auto& c : cases) {
    const common::ReceivedHelperResponse response = app::InterpretHelperResponse(c.answer);
    EXPECT_EQ(response.ok, c.ok) << c.answer;
    EXPECT_EQ(response.message, c.message) << c.answer;
    EXPECT_EQ(response.statusRaw, c.status) << c.answer;
  }
}

}  // namespace

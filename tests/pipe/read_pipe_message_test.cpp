// The client's reader and its reading of answers, against pipes this test serves itself.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "app/tunnel_helper_client.h"
#include "tests/support/pipes.h"

namespace {

// A message pipe of this test's own: the server end writes, the client end reads in message
// mode, as the app's does.
const std::wstring kPipeName = L"\\\\.\\pipe\\zeq-test-" + std::to_wstring(GetCurrentProcessId());

TEST(ReadPipeMessage, ReadsOneWholeMessageUpToTheLimit) {
  const std::string too_long = "Tunnel helper response exceeded the maximum supported size.";
  // The message's size, the reader's limit, and whether it is read.
  const std::tuple<std::size_t, std::size_t, bool> cases[] = {
      {1, 131072, true},       {4096, 131072, true}, {10000, 131072, true}, {131072, 131072, true},
      {131073, 131072, false}, {5000, 4999, false},  // the limit falls inside the last 4096-byte
                                                     // piece
  };
  for (const auto& [size, limit, read] : cases) {
    const test_support::PipeServer server(kPipeName);
    const common::UniqueFileHandle client = test_support::ConnectRawClient(kPipeName.c_str());
    std::string message(size, '\0');
    for (std::size_t i = 0; i < size; ++i) message[i] = static_cast<char>(i * 7 + 3);
    ASSERT_TRUE(test_support::WriteMessages(server.get(), {message, "next"}));
    std::string error = "untouched";
    EXPECT_EQ(app::ReadPipeMessage(client.get(), limit, &error),
              read ? std::optional<std::string>(message) : std::nullopt)
        << size;
    EXPECT_EQ(error, read ? "untouched" : too_long);
    if (read) {
      EXPECT_EQ(app::ReadPipeMessage(client.get(), limit, nullptr), "next");
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
  EXPECT_EQ(error.rfind(prefix, 0), 0u) << error;
  EXPECT_GT(error.size(), prefix.size())
      << "the system's text follows, trimmed as tests/common check";
}

// What the decoder reads is tested with it (tests/common); here what the client adds to it.
TEST(InterpretHelperResponse, NamesAFailureWithoutAMessageAndRefusesWhatItCannotRead) {
  constexpr char kFailed[] = "ZEQ VPN tunnel helper request failed.";
  const std::tuple<std::string, bool, std::string, std::optional<std::int32_t>> cases[] = {
      {R"({"ok":true,"statusRaw":3})", true, "", 3},
      {R"({"ok":false})", false, kFailed, std::nullopt},
      {R"({"ok":false,"message":"","statusRaw":3})", false, kFailed, 3},
      {R"({"ok":"true","statusRaw":3})", false,
       "Received an invalid response from the tunnel helper.", std::nullopt},
  };
  for (const auto& [answer, ok, message, status] : cases) {
    const common::ReceivedHelperResponse response = app::InterpretHelperResponse(answer);
    EXPECT_EQ(std::tuple(response.ok, response.message, response.statusRaw),
              std::tuple(ok, message, status))
        << answer;
  }
}

}  // namespace
